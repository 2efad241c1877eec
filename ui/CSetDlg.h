#pragma once
// The settings window: one camera's address, MAC, UID, keyboard identifier
// and X/Y, each with its own Set button. A button checks its field, then
// calls its operation on the command channel, always towards cameraAddress,
// the address the window was opened for. OK and Cancel send nothing, and
// nothing goes back into the main window's list.

#include "job/JobContext.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class CSetDlg;
}
class IpAddressCtrl;
class QLineEdit;

class CSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSetDlg(QWidget* parent = nullptr);
    ~CSetDlg() override;

    // Texts are kept as the bytes the list holds.
    std::string macText;
    std::string ipText;
    std::string cameraAddress;
    std::string uidText;
    int x = 100;
    int y = 100;
    int keyId = 0;
    // What the Set buttons' operations run in: the process's own prompt,
    // and the way out to the camera the window was opened for.
    orvane::JobContext job = orvane::JobContext::Process();

    IpAddressCtrl* addressControl() const;
    QLineEdit* macEdit() const;
    QLineEdit* xEdit() const;
    QLineEdit* yEdit() const;
    QLineEdit* uidEdit() const;
    QLineEdit* keyIdEdit() const;

    void OnSetIp();     // 1011
    void OnSetMac();    // 1012
    void OnSetAll();    // 1014, hidden and disabled
    void OnSetXY();     // 1017
    void OnSetUid();    // 1021
    void OnSetKeyId();  // 1024
    void OnOK();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    // Writes x and y into their edits, or (saveAndValidate) reads them back;
    // a text that is not a whole number is refused with a message and the
    // edit gets the focus.
    bool DoDataExchange(bool saveAndValidate);
    bool readInteger(QLineEdit* edit, int& value);
    void readAddressIntoIpText();
    // Takes the MAC edit's text into macText; false, after the message, when
    // it is not twelve hexadecimal digits.
    bool takeCheckedMac();
    std::string editBytes(const QLineEdit* edit, const std::string& shownBytes) const;

    std::unique_ptr<Ui::CSetDlg> ui_;
    bool initialised_ = false;
};
