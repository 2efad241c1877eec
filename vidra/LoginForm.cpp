#include "vidra/LoginForm.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vidra {

LoginForm::LoginForm(QWidget* parent)
    : QWidget(parent), address_(new QLabel(this)), message_(new QLabel(this)), user_(new QLineEdit(this)),
      password_(new QLineEdit(this))
{
    setObjectName(QStringLiteral("vidraLogin"));
    setAutoFillBackground(true);
    user_->setObjectName(QStringLiteral("user"));
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    message_->setObjectName(QStringLiteral("message"));
    message_->setStyleSheet(QStringLiteral("color: #c0392b"));
    auto* connectButton = new QPushButton(QStringLiteral("Connect"), this);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    connectButton->setDefault(true);
    // Tab goes from the user to the password, then to the buttons.
    setTabOrder(user_, password_);
    setTabOrder(password_, connectButton);
    setTabOrder(connectButton, cancelButton);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("User"), user_);
    fields->addRow(QStringLiteral("Password"), password_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(connectButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(address_);
    layout->addWidget(message_);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(connectButton, &QPushButton::clicked, this, &LoginForm::submit);
    connect(user_, &QLineEdit::returnPressed, this, &LoginForm::submit);
    connect(password_, &QLineEdit::returnPressed, this, &LoginForm::submit);
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        dismiss();
        emit cancelled();
    });
    hide();
}

void LoginForm::ask(const QString& address, const QString& message)
{
    address_->setText(address);
    message_->setText(message);
    message_->setVisible(!message.isEmpty());
    password_->clear();
    adjustSize();
    const QSize wanted = sizeHint().expandedTo(QSize(260, 0)).boundedTo(parentWidget()->size());
    resize(wanted);
    move((parentWidget()->width() - wanted.width()) / 2, (parentWidget()->height() - wanted.height()) / 2);
    show();
    raise();
    user_->setFocus(Qt::OtherFocusReason);
    user_->selectAll();
}

void LoginForm::dismiss()
{
    password_->clear();
    hide();
}

void LoginForm::submit()
{
    if (user_->text().isEmpty()) {
        user_->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString password = password_->text();
    dismiss();
    emit connectRequested(user_->text(), password);
}

}  // namespace vidra
