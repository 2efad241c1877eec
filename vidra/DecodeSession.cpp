#include "vidra/DecodeSession.h"

#include "process/ThreadHandoff.h"

#include <QCoreApplication>
#include <QEvent>

#include <utility>

namespace vidra {

DecodeSession::DecodeSession(QObject* receiver, std::string url, std::string address, int stream)
    : url_(std::move(url)), address_(std::move(address)), stream_(stream), receiver_(receiver)
{
}

void DecodeSession::detach()
{
    stop_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    receiver_ = nullptr;
}

void DecodeSession::setTargetSize(QSize size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    targetSize_ = size;
}

QSize DecodeSession::targetSize() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return targetSize_;
}

bool DecodeSession::wantsFrame() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !frameWaiting_;
}

bool DecodeSession::takeFrame(QImage& frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    notified_ = false;
    if (!frameWaiting_)
        return false;
    frame = std::move(frame_);
    frame_ = QImage();
    frameWaiting_ = false;
    return true;
}

bool DecodeSession::takeFullFrame(QImage& frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (fullFrame_.isNull())
        return false;
    frame = std::move(fullFrame_);
    fullFrame_ = QImage();
    return true;
}

void DecodeSession::deliverFullFrame(QImage frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    fullFrame_ = std::move(frame);
    fullFrameWanted_ = false;
    notifyLocked();
}

DecodeSession::State DecodeSession::state() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

std::string DecodeSession::status() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

std::string DecodeSession::info() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return info_;
}

void DecodeSession::setInfo(std::string info)
{
    std::lock_guard<std::mutex> lock(mutex_);
    info_ = std::move(info);
}

void DecodeSession::deliverFrame(QImage frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    frame_ = std::move(frame);
    frameWaiting_ = true;
    if (state_ == State::Connecting)
        state_ = State::Playing;
    notifyLocked();
}

void DecodeSession::deliverState(State state, std::string status)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    status_ = std::move(status);
    notifyLocked();
}

// Posting under the lock: the control detaches under the same lock before it
// is destroyed, so the receiver is alive whenever an event is posted to it.
// One event at a time: a slow window skips pictures instead of queueing them.
void DecodeSession::notifyLocked()
{
    if (receiver_ == nullptr || notified_)
        return;
    notified_ = true;
    auto* delivered = new QEvent(QEvent::Type(kDeliveredEvent));
    orvane::HandoffSent(delivered);
    QCoreApplication::postEvent(receiver_, delivered);
}

}  // namespace vidra
