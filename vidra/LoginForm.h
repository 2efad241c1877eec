#pragma once
// The login the control asks for in its own area when a camera refuses:
// the camera's address, a user field (focused when the form shows), a
// masked password field, Connect (also Enter) and Cancel. The password
// lives in its field and in the signal only; the form never keeps a copy.

#include <QWidget>

class QLabel;
class QLineEdit;

namespace vidra {

class LoginForm : public QWidget {
    Q_OBJECT
public:
    explicit LoginForm(QWidget* parent);

    // Shows the form for address; message is empty or "Wrong user or password".
    void ask(const QString& address, const QString& message);
    // Hides the form and empties the password field.
    void dismiss();

signals:
    void connectRequested(const QString& user, const QString& password);
    void cancelled();

private:
    void submit();

    QLabel* address_;
    QLabel* message_;
    QLineEdit* user_;
    QLineEdit* password_;
};

}  // namespace vidra
