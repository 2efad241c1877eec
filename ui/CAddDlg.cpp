#include "ui/CAddDlg.h"

#include "ui_CAddDlg.h"

#include "ui/IpAddressCtrl.h"
#include "ui/WindowMessage.h"

CAddDlg::CAddDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CAddDlg>())
{
    ui_->setupUi(this);
    OnInitDialog();
}

CAddDlg::~CAddDlg() = default;

IpAddressCtrl* CAddDlg::addressControl() const
{
    return ui_->addressEdit;
}

void CAddDlg::OnInitDialog()
{
    ui_->addLabel->setText(QStringLiteral("Add IP:"));
    ui_->okButton->setText(QStringLiteral("OK"));
    ui_->cancelButton->setText(QStringLiteral("Cancel"));
    ui_->addressEdit->clear();
    connect(ui_->okButton, &QPushButton::clicked, this, &CAddDlg::OnOK);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void CAddDlg::OnOK()
{
    if (ui_->addressEdit->isBlank()) {
        ShowWindowMessage(this, QStringLiteral("Please Enter IP"));
        reject();
        return;
    }
    quint32 address = 0;
    ui_->addressEdit->address(address);
    octet1 = static_cast<uint8_t>(address >> 24);
    octet2 = static_cast<uint8_t>(address >> 16);
    octet3 = static_cast<uint8_t>(address >> 8);
    octet4 = static_cast<uint8_t>(address);
    accept();
}
