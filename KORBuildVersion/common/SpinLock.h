// A lock that static state can hold from load to unload.
#ifndef KORFLOWID_COMMON_SPINLOCK_H
#define KORFLOWID_COMMON_SPINLOCK_H

#include <atomic>
#include <thread>

namespace korflowid {

/// A lock for short critical sections that is nothing but an atomic flag: no OS object to create,
/// no allocation (a runtime's mutex may allocate on first use), nothing to destroy at unload.
class SpinLock {
 public:
  void lock() noexcept {
    while (locked_.exchange(true, std::memory_order_acquire)) {
      while (locked_.load(std::memory_order_relaxed)) std::this_thread::yield();
    }
  }
  void unlock() noexcept { locked_.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> locked_{false};
};

}  // namespace korflowid

#endif  // KORFLOWID_COMMON_SPINLOCK_H
