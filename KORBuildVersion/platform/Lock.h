// A lock that static state can hold from load to unload.
#ifndef KORFLOWID_PLATFORM_LOCK_H
#define KORFLOWID_PLATFORM_LOCK_H

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace korflowid::platform {

/// The system's own statically initialised lock: zero bytes until first used, no allocation, nothing to
/// destroy at unload. A waiter sleeps until the holder lets go, so a holder of lower priority still
/// gets to run, which a lock that spins and yields cannot promise.
class Lock {
 public:
  Lock() = default;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock() noexcept;
  void unlock() noexcept;

 private:
#if defined(_WIN32)
  SRWLOCK lock_ = SRWLOCK_INIT;
#else
  pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
#endif
};

#if defined(_WIN32)
inline void Lock::lock() noexcept {
  ::AcquireSRWLockExclusive(&lock_);
}
inline void Lock::unlock() noexcept {
  ::ReleaseSRWLockExclusive(&lock_);
}
#else
// A default mutex cannot fail to lock when used as here: never recursively, and unlocked by its holder.
inline void Lock::lock() noexcept {
  ::pthread_mutex_lock(&lock_);
}
inline void Lock::unlock() noexcept {
  ::pthread_mutex_unlock(&lock_);
}
#endif

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_LOCK_H
