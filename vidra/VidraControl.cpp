#include "vidra/VidraControl.h"

#include "process/ThreadHandoff.h"

#include "vidra/LoginStore.h"
#include "vidra/StreamDecoder.h"
#include "vidra/StreamUrl.h"
#include "vidra/Trace.h"
#include "vidra/VidraApi.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>


#include <algorithm>
#include <utility>
#include <cstdlib>

namespace vidra {

namespace {

// The state a host reads from VIDRA_STATE_PROPERTY.
const char* StateName(DecodeSession::State state)
{
    switch (state) {
    case DecodeSession::State::Connecting:
        return "connecting";
    case DecodeSession::State::NeedsLogin:
        return "login";
    case DecodeSession::State::Playing:
        return "playing";
    case DecodeSession::State::Failed:
        return "failed";
    case DecodeSession::State::Ended:
        return "ended";
    }
    return "failed";
}

}  // namespace

VidraControl::VidraControl(QWidget* parent) : QWidget(parent), login_(new LoginForm(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setProperty(VIDRA_STATE_PROPERTY, QStringLiteral("closed"));
    connect(login_, &LoginForm::connectRequested, this, &VidraControl::connectWithLogin);
    connect(login_, &LoginForm::cancelled, this, [this] {
        setStatus("login", QStringLiteral("%1 asks for a user and password").arg(QString::fromStdString(address_)));
        update();
    });
}

VidraControl::~VidraControl()
{
    stopSession();
}

void VidraControl::OpenStream(const std::string& address, int stream)
{
    stopSession();
    // VIDRA_URL is known at once; anything else the decoder asks the camera.
    const char* pattern = std::getenv("VIDRA_URL");
    const std::string url = pattern != nullptr && *pattern != '\0' ? StreamUrl(address, stream) : std::string();
    const std::string shown = url.empty() ? address : UrlWithoutPassword(url);
    if (url.empty())
        Trace("OpenStream address=%s stream=%d", address.c_str(), stream);
    else
        Trace("OpenStream address=%s stream=%d url=%s", address.c_str(), stream, shown.c_str());
    address_ = address;
    stream_ = stream;
    hideLogin();
    session_ = std::make_shared<DecodeSession>(this, url, address, stream);
    session_->setTargetSize(size());
    picture_ = QImage();
    info_.clear();
    failed_ = false;
    firstPictureLogged_ = false;
    openedAt_ = std::chrono::steady_clock::now();
    setStatus("connecting", QStringLiteral("Connecting to %1").arg(QString::fromStdString(shown)));
    StreamDecoder::Start(session_);
    update();
}

void VidraControl::CloseStream()
{
    Trace("CloseStream");
    stopSession();
    hideLogin();
    picture_ = QImage();
    setStatus("closed", QString());
    failed_ = false;
    update();
}

// The thread is not waited for: it notices the stop at its next check and
// ends on its own, holding the session until then.
void VidraControl::stopSession()
{
    if (session_) {
        session_->detach();
        session_.reset();
    }
}

bool VidraControl::event(QEvent* event)
{
    orvane::HandoffReceived(event);
    if (event->type() == QEvent::Type(DecodeSession::kDeliveredEvent)) {
        takeDelivery();
        return true;
    }
    return QWidget::event(event);
}

void VidraControl::takeDelivery()
{
    if (!session_)
        return;
    QImage frame;
    if (session_->takeFrame(frame))
        picture_ = std::move(frame);
    QImage full;
    if (session_->takeFullFrame(full))
        writeSnapshot(full);
    const DecodeSession::State state = session_->state();
    if (state == DecodeSession::State::NeedsLogin) {
        askLogin(session_->status());
    } else if (state == DecodeSession::State::Playing) {
        setStatus("playing", QString());
        if (info_.isEmpty() && !session_->info().empty()) {
            info_ = QString::fromStdString(session_->info());
            infoUntil_ = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            QTimer::singleShot(3100, this, [this] { update(); });
        }
    } else {
        setStatus(StateName(state), QString::fromStdString(session_->status()));
        if ((state == DecodeSession::State::Failed || state == DecodeSession::State::Ended) && !failed_) {
            failed_ = true;
            Trace("failed text=%s", session_->status().c_str());
        }
    }
    update();
}

void VidraControl::askLogin(const std::string& message)
{
    if (login_->isVisible())
        return;
    const QString address = QString::fromStdString(address_);
    Trace("login-asked address=%s wrong=%d", address_.c_str(), message.empty() ? 0 : 1);
    setStatus("login", message.empty() ? QStringLiteral("Log in to %1").arg(address) : QString::fromStdString(message));
    login_->ask(address, QString::fromStdString(message));
}

void VidraControl::hideLogin()
{
    login_->dismiss();
}

void VidraControl::connectWithLogin(const QString& user, const QString& password)
{
    LoginStore::remember(address_, {user.toStdString(), password.toStdString()});
    OpenStream(address_, stream_);
}

// Offered on a live picture only: there is no frame to save otherwise.
void VidraControl::contextMenuEvent(QContextMenuEvent* event)
{
    if (!session_ || picture_.isNull() || session_->state() != DecodeSession::State::Playing)
        return;
    QMenu menu(this);
    QAction* save = menu.addAction(QStringLiteral("Save snapshot..."));
    if (menu.exec(event->globalPos()) == save)
        saveSnapshot();
}

void VidraControl::saveSnapshot()
{
    QFileDialog dialog(this, QStringLiteral("Save snapshot"), QString(),
                       QStringLiteral("PNG picture (*.png);;JPEG picture (*.jpg *.jpeg)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty() || !session_)
        return;
    // The next decoded frame, at the stream's own size rather than the control's.
    snapshotPath_ = dialog.selectedFiles().first();
    session_->requestFullFrame();
}

void VidraControl::writeSnapshot(const QImage& frame)
{
    if (snapshotPath_.isEmpty())
        return;
    const QString path = std::exchange(snapshotPath_, QString());
    // The format follows the name: .jpg or .jpeg JPEG, anything else PNG.
    const bool jpeg = path.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive) ||
                      path.endsWith(QStringLiteral(".jpeg"), Qt::CaseInsensitive);
    const bool saved = frame.save(path, jpeg ? "JPEG" : "PNG", jpeg ? 90 : -1);
    Trace("snapshot saved=%d size=%dx%d", saved ? 1 : 0, frame.width(), frame.height());
    if (!saved) {
        setStatus("playing", QStringLiteral("Cannot write %1").arg(path));
        update();
    }
}

void VidraControl::paintInfo(QPainter& painter)
{
    if (info_.isEmpty() || (std::chrono::steady_clock::now() >= infoUntil_ && !underMouse()))
        return;
    const QFontMetrics metrics(painter.font());
    QRect box = metrics.boundingRect(info_).adjusted(-6, -3, 6, 3);
    box.moveBottomLeft(rect().bottomLeft() + QPoint(8, -8));
    painter.fillRect(box, QColor(0, 0, 0, 170));
    painter.setPen(QColor(230, 230, 230));
    painter.drawText(box, Qt::AlignCenter, info_);
}

void VidraControl::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    update();
}

void VidraControl::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    update();
}

void VidraControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (session_)
        session_->setTargetSize(event->size());
}

void VidraControl::setStatus(const char* state, const QString& text)
{
    status_ = text;
    // Read out by screen readers, and by tests through the plug-in's C interface.
    setAccessibleDescription(text);
    if (property(VIDRA_STATE_PROPERTY).toString() != QLatin1String(state))
        setProperty(VIDRA_STATE_PROPERTY, QString::fromLatin1(state));
}

void VidraControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) {
        // The decoder made the picture in the size it is shown in, so it is
        // drawn as it is; it is scaled here only for the moment between a
        // resize and the next picture.
        QSize fitted = picture_.size();
        fitted.scale(size(), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), fitted);
        target.moveCenter(rect().center());
        if (fitted == picture_.size())
            painter.drawImage(target.topLeft(), picture_);
        else
            painter.drawImage(target, picture_);
        if (!firstPictureLogged_) {
            firstPictureLogged_ = true;
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - openedAt_).count();
            Trace("first-picture ms=%.1f size=%dx%d", ms, picture_.width(), picture_.height());
        }
        if (failed_)
            painter.fillRect(rect(), QColor(0, 0, 0, 160));
        else
            paintInfo(painter);
    }
    if (!status_.isEmpty() && !login_->isVisible()) {
        painter.setPen(failed_ ? QColor(255, 140, 120) : QColor(220, 220, 220));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, status_);
    }
}

}  // namespace vidra
