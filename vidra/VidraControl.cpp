#include "vidra/VidraControl.h"

#include "platform/ThreadHandoff.h"

#include "vidra/SnapshotMenu.h"
#include "vidra/StreamDecoder.h"
#include "vidra/StreamUrl.h"
#include "vidra/VidraApi.h"

#include <QContextMenuEvent>
#include <QPainter>
#include <QResizeEvent>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace vidra {
namespace {

// Appends one line to the file VIDRA_LOG names; nothing when it is unset.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Trace(const char* format, ...)
{
    const char* path = std::getenv("VIDRA_LOG");
    if (path == nullptr || *path == '\0')
        return;
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    const size_t size = std::min(static_cast<size_t>(length), sizeof line - 2);
    line[size] = '\n';
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const ssize_t written = ::write(fd, line, size + 1);
    (void)written;
    ::close(fd);
}

const char* StateName(DecodeSession::State state)
{
    switch (state) {
    case DecodeSession::State::Connecting:
        return "connecting";
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

VidraControl::VidraControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setProperty(VIDRA_STATE_PROPERTY, QStringLiteral("closed"));
}

VidraControl::~VidraControl()
{
    stopSession();
}

void VidraControl::OpenStream(const std::string& address, int stream)
{
    stopSession();
    const std::string url = StreamUrl(address, stream);
    const std::string shown = UrlWithoutPassword(url);
    Trace("OpenStream address=%s stream=%d url=%s", address.c_str(), stream, shown.c_str());
    session_ = std::make_shared<DecodeSession>(this, url, address);
    session_->setTargetSize(size());
    picture_ = QImage();
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
    const DecodeSession::State state = session_->state();
    if (state == DecodeSession::State::Playing) {
        setStatus("playing", QString());
    } else {
        setStatus(StateName(state), QString::fromStdString(session_->status()));
        if ((state == DecodeSession::State::Failed || state == DecodeSession::State::Ended) && !failed_) {
            failed_ = true;
            Trace("failed text=%s", session_->status().c_str());
        }
    }
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

void VidraControl::contextMenuEvent(QContextMenuEvent* event)
{
    SnapshotMenu::Offer(this, picture_, event->globalPos());
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
    }
    if (!status_.isEmpty()) {
        painter.setPen(failed_ ? QColor(255, 140, 120) : QColor(220, 220, 220));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, status_);
    }
}

}  // namespace vidra
