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

#if defined(_WIN32)
  void lock() noexcept { ::AcquireSRWLockExclusive(&lock_); }
  void unlock() noexcept { ::ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
#else
  // A default mutex cannot fail to lock when used as here, never recursively and only by its holder.
  void lock() noexcept { ::pthread_mutex_lock(&mutex_); }
  void unlock() noexcept { ::pthread_mutex_unlock(&mutex_); }

 private:
  pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
#endif
};

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_LOCK_H
