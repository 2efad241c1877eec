#pragma once
// The add-address window: asks for one IPv4 address and hands its four
// octets back after OK. A blank address ends it as cancelled.

#include <QDialog>

#include <cstdint>
#include <memory>

namespace Ui {
class CAddDlg;
}
class IpAddressCtrl;

class CAddDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAddDlg(QWidget* parent = nullptr);
    ~CAddDlg() override;

    IpAddressCtrl* addressControl() const;

    // Valid only after the window ended with OK.
    uint8_t octet1 = 0;
    uint8_t octet2 = 0;
    uint8_t octet3 = 0;
    uint8_t octet4 = 0;

    void OnOK();

private:
    void OnInitDialog();

    std::unique_ptr<Ui::CAddDlg> ui_;
};
