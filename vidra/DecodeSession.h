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
    // NeedsLogin: the camera refused; the status is empty on the first
    // refusal, "Wrong user or password" when a login was tried.
    enum class State { Connecting, Playing, Failed, Ended, NeedsLogin };

    static constexpr int kDeliveredEvent = 1000 + 301;  // QEvent::User + 301

    // An empty url: the decoder locates the stream (StreamLocator.h).
    DecodeSession(QObject* receiver, std::string url, std::string address, int stream = 0);

    const std::string& url() const { return url_; }
    const std::string& address() const { return address_; }
    int stream() const { return stream_; }

    // Control side.
    void requestStop() { stop_ = true; }
    void detach();
    void setTargetSize(QSize size);
    // Takes the picture delivered since the last call, if any.
    bool takeFrame(QImage& frame);
    // Asks for the next picture at the stream's own size, for a snapshot.
    void requestFullFrame() { fullFrameWanted_ = true; }
    bool takeFullFrame(QImage& frame);
    State state() const;
    std::string status() const;
    // Codec, size, frame rate and transport, once the first picture is in.
    std::string info() const;

    // Decoder side.
    bool stopRequested() const { return stop_; }
    QSize targetSize() const;
    // Whether the control has taken the last picture: a decoder that is
    // ahead of the window converts nothing and drops the frame instead.
    bool wantsFrame() const;
    void deliverFrame(QImage frame);
    bool fullFrameWanted() const { return fullFrameWanted_; }
    void deliverFullFrame(QImage frame);
    void deliverState(State state, std::string status);
    void setInfo(std::string info);

private:
    void notifyLocked();

    const std::string url_;
    const std::string address_;
    const int stream_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> fullFrameWanted_{false};
    mutable std::mutex mutex_;
    QObject* receiver_;
    QSize targetSize_;
    QImage frame_;
    bool frameWaiting_ = false;
    QImage fullFrame_;
    bool notified_ = false;
    State state_ = State::Connecting;
    std::string status_;
    std::string info_;
};

}  // namespace vidra
