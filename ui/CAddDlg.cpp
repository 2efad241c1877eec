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
    return ui_->c1004;
}

void CAddDlg::OnInitDialog()
{
    ui_->addLabel->setText(QStringLiteral("Add IP:"));
    ui_->c1->setText(QStringLiteral("OK"));
    ui_->c2->setText(QStringLiteral("Cancel"));
    ui_->c1004->clear();
    connect(ui_->c1, &QPushButton::clicked, this, &CAddDlg::OnOK);
    connect(ui_->c2, &QPushButton::clicked, this, &QDialog::reject);
}

void CAddDlg::OnOK()
{
    if (ui_->c1004->isBlank()) {
        ShowWindowMessage(this, QStringLiteral("Please Enter IP"));
        reject();
        return;
    }
    quint32 address = 0;
    ui_->c1004->address(address);
    octet1 = static_cast<uint8_t>(address >> 24);
    octet2 = static_cast<uint8_t>(address >> 16);
    octet3 = static_cast<uint8_t>(address >> 8);
    octet4 = static_cast<uint8_t>(address);
    accept();
}
