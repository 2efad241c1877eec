#include "ui/CAboutDlg.h"

#include "ui_CAboutDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CAboutDlg>())
{
    ui_->setupUi(this);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;
