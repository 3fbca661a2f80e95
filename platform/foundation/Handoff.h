#pragma once
// Work handed to another thread through Qt (thread pools, posted events) is ordered by Qt's own locks, which
// ThreadSanitizer cannot see in an uninstrumented Qt. The sender marks the hand-off object before giving it to Qt,
// the receiver acquires it before reading anything in it.

#if defined(__SANITIZE_THREAD__)
#define OX_HANDOFF_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OX_HANDOFF_TSAN 1
#endif
#endif

#ifdef OX_HANDOFF_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace ox::detail {

inline void handoffRelease([[maybe_unused]] const void* key) {
#ifdef OX_HANDOFF_TSAN
  __tsan_release(const_cast<void*>(key));
#endif
}

inline void handoffAcquire([[maybe_unused]] const void* key) {
#ifdef OX_HANDOFF_TSAN
  __tsan_acquire(const_cast<void*>(key));
#endif
}

}  // namespace ox::detail
