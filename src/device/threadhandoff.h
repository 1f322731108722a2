#pragma once

// Hand-over of an object from one thread to another through Qt: a posted
// event, or what a queued call carries. Qt orders such hand-overs with locks
// of its own, which ThreadSanitizer cannot see in a Qt that was not built
// for it; without help it would report every field of the object as raced.
// The sending thread publishes the object right before it lets Qt carry it,
// the receiving thread takes it over before reading it. Outside a
// ThreadSanitizer build both do nothing.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CVN_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define CVN_THREAD_SANITIZER 1
#endif

#ifdef CVN_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace CVNThreadHandoff {

inline void publish(const void* object)
{
#ifdef CVN_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(object));
#else
    (void)object;
#endif
}

inline void receive(const void* object)
{
#ifdef CVN_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(object));
#else
    (void)object;
#endif
}

} // namespace CVNThreadHandoff
