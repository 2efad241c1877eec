#pragma once
// What one OpenStream shares between the control and its decoding thread:
// the stop request, the size the control wants pictures in, and a mailbox
// holding the latest picture and the latest status line. The thread may
// outlive the control; once the control has detached, whatever the thread
// delivers is dropped.

#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <mutex>
#include <string>

namespace vidra {

class DecodeSession {
public:
    enum class State { Connecting, Playing, Failed, Ended };

    static constexpr int kDeliveredEvent = 1000 + 301;  // QEvent::User + 301

    DecodeSession(QObject* receiver, std::string url, std::string address);

    const std::string& url() const { return url_; }
    const std::string& address() const { return address_; }

    // Control side.
    void requestStop() { stop_ = true; }
    void detach();
    void setTargetSize(QSize size);
    // Takes the picture delivered since the last call, if any.
    bool takeFrame(QImage& frame);
    State state() const;
    std::string status() const;

    // Decoder side.
    bool stopRequested() const { return stop_; }
    QSize targetSize() const;
    // Whether the control has taken the last picture: a decoder that is
    // ahead of the window converts nothing and drops the frame instead.
    bool wantsFrame() const;
    void deliverFrame(QImage frame);
    void deliverState(State state, std::string status);

private:
    void notifyLocked();

    const std::string url_;
    const std::string address_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    QObject* receiver_;
    QSize targetSize_;
    QImage frame_;
    bool frameWaiting_ = false;
    bool notified_ = false;
    State state_ = State::Connecting;
    std::string status_;
};

}  // namespace vidra
