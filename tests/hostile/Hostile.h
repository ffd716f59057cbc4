// Helpers for the hostile-installation tests: a guarded caller buffer, a stopwatch, and a call
// measured in a child process for its time and its peak memory.
#ifndef KORFLOWID_TESTS_HOSTILE_HOSTILE_H
#define KORFLOWID_TESTS_HOSTILE_HOSTILE_H

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestSupport.h"

namespace korflowid::test {

/// `size` caller bytes between guard bytes, filled with a pattern, so that writes outside the
/// caller's bytes and bytes a call had to leave alone both show.
class GuardedBuffer {
 public:
  static constexpr std::size_t kGuard = 64;
  static constexpr char kGuardByte = static_cast<char>(0xA5);
  static constexpr char kFillByte = static_cast<char>(0x5A);

  explicit GuardedBuffer(std::size_t size) : size_(size), bytes_(size + 2 * kGuard, kGuardByte) {
    std::memset(data(), kFillByte, size_);
  }
  char* data() { return bytes_.data() + kGuard; }
  unsigned int size() const { return static_cast<unsigned int>(size_); }

  bool guardsIntact() const {
    for (std::size_t i = 0; i < kGuard; ++i) {
      if (bytes_[i] != kGuardByte || bytes_[kGuard + size_ + i] != kGuardByte) return false;
    }
    return true;
  }
  /// The caller's bytes hold `text` copied like strncpy.
  bool holdsCopyOf(std::string_view text) {
    for (std::size_t i = 0; i < size_; ++i) {
      if (data()[i] != (i < text.size() ? text[i] : '\0')) return false;
    }
    return true;
  }
  bool untouched() {
    for (std::size_t i = 0; i < size_; ++i) {
      if (data()[i] != kFillByte) return false;
    }
    return true;
  }

 private:
  std::size_t size_;
  std::vector<char> bytes_;
};

inline double secondsFor(const std::function<void()>& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Measured {
  double seconds;
  long peakIncreaseKiB;  // -1 where the platform does not tell
  std::string result;
};

/// Runs `body` in a forked child whose peak resident size starts from its size at the call, and
/// reports the call's time, the increase of the peak, and the text `body` returns. Nothing where
/// the platform cannot fork.
std::optional<Measured> measureInChild(const std::function<std::string()>& body);

/// Prints the figures for the log and expects the bounds that every hostile input must keep: well
/// under a second and less than 64 MiB more peak memory.
void expectBoundedCost(const char* what, const Measured& measured);

}  // namespace korflowid::test

#endif  // KORFLOWID_TESTS_HOSTILE_HOSTILE_H
