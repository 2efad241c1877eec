#include "ui/CSetDlg.h"

#include "ui_CSetDlg.h"

#include "control/SettingCommands.h"
#include "control/SettingFields.h"
#include "net/IPv4.h"
#include "process/Text.h"
#include "ui/IpAddressCtrl.h"
#include "ui/WindowMessage.h"

#include <arpa/inet.h>

#include <cstdio>

namespace {

inline constexpr char kNotAnInteger[] = "Please enter an integer.";

}  // namespace

CSetDlg::CSetDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CSetDlg>())
{
    ui_->setupUi(this);
    connect(ui_->ipSetButton, &QPushButton::clicked, this, &CSetDlg::OnSetIp);
    connect(ui_->macSetButton, &QPushButton::clicked, this, &CSetDlg::OnSetMac);
    connect(ui_->setAllButton, &QPushButton::clicked, this, &CSetDlg::OnSetAll);
    connect(ui_->xySetButton, &QPushButton::clicked, this, &CSetDlg::OnSetXY);
    connect(ui_->uidSetButton, &QPushButton::clicked, this, &CSetDlg::OnSetUid);
    connect(ui_->keyIdSetButton, &QPushButton::clicked, this, &CSetDlg::OnSetKeyId);
    connect(ui_->okButton, &QPushButton::clicked, this, &CSetDlg::OnOK);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CSetDlg::~CSetDlg() = default;

IpAddressCtrl* CSetDlg::addressControl() const { return ui_->addressEdit; }
QLineEdit* CSetDlg::macEdit() const { return ui_->macEdit; }
QLineEdit* CSetDlg::xEdit() const { return ui_->xEdit; }
QLineEdit* CSetDlg::yEdit() const { return ui_->yEdit; }
QLineEdit* CSetDlg::uidEdit() const { return ui_->uidEdit; }
QLineEdit* CSetDlg::keyIdEdit() const { return ui_->keyIdEdit; }

void CSetDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
}

void CSetDlg::OnInitDialog()
{
    DoDataExchange(false);
    // inet_addr keeps the octets in network order: the first is the lowest byte.
    const in_addr_t address = inet_addr(ipText.c_str());
    const unsigned char* octets = reinterpret_cast<const unsigned char*>(&address);
    ui_->addressEdit->setAddress(octets[0], octets[1], octets[2], octets[3]);
    ui_->macEdit->setText(QString::fromUtf8(macText.c_str()));
    ui_->uidEdit->setText(QString::fromUtf8(uidText.c_str()));
    char keyIdText[16];
    std::snprintf(keyIdText, sizeof keyIdText, "%d", keyId);
    ui_->keyIdEdit->setText(QString::fromLatin1(keyIdText));

    for (QPushButton* set : {ui_->ipSetButton, ui_->macSetButton, ui_->xySetButton, ui_->uidSetButton, ui_->keyIdSetButton})
        set->setText(QStringLiteral("Set"));
    ui_->okButton->setText(QStringLiteral("OK"));
    ui_->cancelButton->setText(QStringLiteral("Cancel"));
    ui_->noteLabel->setText(QStringLiteral("Note\uff1aThe IPC will  automatically restart  after setting "));
    DoDataExchange(false);
    ui_->okButton->setFocus();
}

bool CSetDlg::DoDataExchange(bool saveAndValidate)
{
    if (!saveAndValidate) {
        ui_->xEdit->setText(QString::number(x));
        ui_->yEdit->setText(QString::number(y));
        return true;
    }
    int newX = 0;
    int newY = 0;
    if (!readInteger(ui_->xEdit, newX) || !readInteger(ui_->yEdit, newY))
        return false;
    x = newX;
    y = newY;
    return true;
}

bool CSetDlg::readInteger(QLineEdit* edit, int& value)
{
    if (orvane::ParseWholeInt(edit->text().toUtf8().constData(), value))
        return true;
    ShowWindowMessage(this, QString::fromLatin1(kNotAnInteger));
    edit->setFocus();
    edit->selectAll();
    return false;
}

// The edit shows the list's bytes as UTF-8 text; while the operator leaves
// it as shown, the bytes themselves are sent, so nothing that did not survive
// the display is lost.
std::string CSetDlg::editBytes(const QLineEdit* edit, const std::string& shownBytes) const
{
    const QString text = edit->text();
    if (text == QString::fromUtf8(shownBytes.c_str()))
        return shownBytes;
    return text.toUtf8().toStdString();
}

void CSetDlg::readAddressIntoIpText()
{
    quint32 address = 0;
    ui_->addressEdit->address(address);
    ipText = orvane::FormatIPv4(address);
}

void CSetDlg::OnSetIp()
{
    if (!DoDataExchange(true))
        return;
    readAddressIntoIpText();
    orvane::SetNetwork(job, cameraAddress.c_str(), ipText.c_str(), nullptr);
}

bool CSetDlg::takeCheckedMac()
{
    macText = editBytes(ui_->macEdit, macText);
    if (orvane::IsMacField(macText.c_str()))
        return true;
    ShowWindowMessage(this, QString::fromLatin1(orvane::kMacFieldError));
    return false;
}

void CSetDlg::OnSetMac()
{
    if (!DoDataExchange(true) || !takeCheckedMac())
        return;
    orvane::SetNetwork(job, cameraAddress.c_str(), nullptr, macText.c_str());
}

void CSetDlg::OnSetAll()
{
    if (!DoDataExchange(true) || !takeCheckedMac())
        return;
    readAddressIntoIpText();
    orvane::SetNetwork(job, cameraAddress.c_str(), ipText.c_str(), macText.c_str());
}

void CSetDlg::OnSetXY()
{
    if (!DoDataExchange(true))
        return;
    if (!orvane::IsXField(x)) {
        ShowWindowMessage(this, QString::fromLatin1(orvane::kXFieldError));
        return;
    }
    if (!orvane::IsYField(y)) {
        ShowWindowMessage(this, QString::fromLatin1(orvane::kYFieldError));
        return;
    }
    orvane::SetXY(job, cameraAddress.c_str(), x, y);
}

void CSetDlg::OnSetUid()
{
    if (!DoDataExchange(true))
        return;
    uidText = editBytes(ui_->uidEdit, uidText);
    if (!orvane::IsUidField(uidText.c_str())) {
        ShowWindowMessage(this, QString::fromLatin1(orvane::kUidFieldError));
        return;
    }
    orvane::SetUid(job, cameraAddress.c_str(), uidText.c_str());
}

void CSetDlg::OnSetKeyId()
{
    if (!DoDataExchange(true))
        return;
    keyId = orvane::ReadDecimal(ui_->keyIdEdit->text().toUtf8().constData());
    orvane::SetKeyId(job, cameraAddress.c_str(), keyId);
}

void CSetDlg::OnOK()
{
    if (DoDataExchange(true))
        accept();
}
