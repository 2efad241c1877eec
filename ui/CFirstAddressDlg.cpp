#include "ui/CFirstAddressDlg.h"

#include "ui/IpAddressCtrl.h"
#include "ui/Resources.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CFirstAddressDlg::CFirstAddressDlg(QWidget* parent) : QDialog(parent), address_(new IpAddressCtrl(this))
{
    setWindowTitle(QStringLiteral("Assign addresses"));
    setWindowIcon(ApplicationIcon());
    address_->setObjectName(QStringLiteral("firstAddressEdit"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFirstAddressDlg::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The selected cameras get this address and the ones after it:"), this));
    layout->addWidget(address_);
    layout->addWidget(buttons);
}

void CFirstAddressDlg::onOk()
{
    if (address_->isBlank()) {
        address_->setFocus();
        return;
    }
    chosen_ = address_->text();
    accept();
}
