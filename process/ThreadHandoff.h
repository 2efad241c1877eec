#pragma once
// Marks an object handed from one thread to another through a library that
// ThreadSanitizer cannot see into, such as an event posted through Qt's own
// queue: the sender marks it after writing it, the receiver before reading
// it. Without ThreadSanitizer both are nothing.

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace orvane {

inline void HandoffSent([[maybe_unused]] const void* object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(object));
#endif
}

inline void HandoffReceived([[maybe_unused]] const void* object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(object));
#endif
}

}  // namespace orvane
