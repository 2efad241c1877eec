#pragma once
// Asks for the first address an assignment gives, in the program's
// IP-address field; OK with a blank field is refused.

#include <QDialog>
#include <QString>

class IpAddressCtrl;

class CFirstAddressDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFirstAddressDlg(QWidget* parent = nullptr);

    IpAddressCtrl* addressControl() const { return address_; }
    // The dotted address, once the window ended with OK.
    QString address() const { return chosen_; }

private:
    void onOk();

    IpAddressCtrl* address_;
    QString chosen_;
};
