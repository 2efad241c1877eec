#pragma once
// A published window that other threads may address, the Linux stand-in for
// an HWND kept in a global. The user-interface thread publishes and
// withdraws it; any thread may post a report event to it. Posting happens
// under the lock, so an event is never posted to a window that has been
// withdrawn, and a window is always withdrawn before it is destroyed.

#include <QObject>

#include <mutex>

class QEvent;

class WindowHandle {
public:
    void publish(QObject* window);
    // Withdraws window if it is the one published (a stale close of an older
    // window leaves a newer one alone).
    void withdraw(QObject* window);
    QObject* get() const;

    // Queues event for the published window, which takes ownership; without
    // one the event is deleted and false returned.
    bool post(QEvent* event) const;

private:
    mutable std::mutex lock_;
    QObject* window_ = nullptr;
};
