#include "ui/WindowHandle.h"

#include <QCoreApplication>
#include <QEvent>

void WindowHandle::publish(QObject* window)
{
    std::lock_guard guard(lock_);
    window_ = window;
}

void WindowHandle::withdraw(QObject* window)
{
    std::lock_guard guard(lock_);
    if (window_ == window)
        window_ = nullptr;
}

QObject* WindowHandle::get() const
{
    std::lock_guard guard(lock_);
    return window_;
}

bool WindowHandle::post(QEvent* event) const
{
    std::lock_guard guard(lock_);
    if (window_ == nullptr) {
        delete event;
        return false;
    }
    QCoreApplication::postEvent(window_, event);
    return true;
}
