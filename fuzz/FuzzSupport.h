// What the fuzz targets share: hard property checks, guarded caller buffers, a quiet console.
#ifndef KORFLOWID_FUZZ_FUZZSUPPORT_H
#define KORFLOWID_FUZZ_FUZZSUPPORT_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

// A failed property is a finding like a crash: abort so that libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "property violated: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (false)

namespace korflowid::fuzz {

/// The library prints its console messages to standard output; at fuzzing speed they would drown
/// libFuzzer's own report, which goes to standard error.
inline void silenceStandardOutput() {
  static const bool done = [] {
    std::fflush(stdout);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
      ::dup2(devNull, STDOUT_FILENO);
      ::close(devNull);
    }
    return true;
  }();
  (void)done;
}

/// Sets KOR_HOME without setenv, which keeps every value it was ever given: at fuzzing speed that
/// grows without bound. putenv takes our own storage instead, of which only the current one is kept.
inline void setHome(std::string_view home) {
  static std::vector<char> entries[2];
  static int current = 0;
  current ^= 1;
  std::vector<char>& entry = entries[current];
  entry.assign({'K', 'O', 'R', '_', 'H', 'O', 'M', 'E', '='});
  entry.insert(entry.end(), home.begin(), home.end());
  entry.push_back('\0');
  ::putenv(entry.data());
}

/// A caller buffer of `size` bytes with guard bytes on both sides. The caller's bytes start with a
/// known pattern, so that bytes a call must leave alone can be told from bytes it wrote.
class GuardedBuffer {
 public:
  static constexpr std::size_t kGuard = 32;
  static constexpr char kGuardByte = static_cast<char>(0xA5);
  static constexpr char kFillByte = static_cast<char>(0x5A);

  explicit GuardedBuffer(unsigned int size) : size_(size), bytes_(size + 2 * kGuard, kGuardByte) {
    std::memset(data(), kFillByte, size_);
  }

  char* data() { return bytes_.data() + kGuard; }
  unsigned int size() const { return size_; }

  bool guardsIntact() const {
    for (std::size_t i = 0; i < kGuard; ++i) {
      if (bytes_[i] != kGuardByte || bytes_[kGuard + size_ + i] != kGuardByte) return false;
    }
    return true;
  }

  /// The buffer holds `text` copied like strncpy (up to its first zero byte).
  bool holdsCopyOf(std::string_view text) {
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos) text = text.substr(0, zero);
    for (std::size_t i = 0; i < size_; ++i) {
      const char expected = i < text.size() ? text[i] : '\0';
      if (data()[i] != expected) return false;
    }
    return true;
  }

  /// Only the first byte was written, to zero; the rest still holds the pattern.
  bool onlyFirstByteCleared() {
    if (size_ == 0) return true;
    if (data()[0] != '\0') return false;
    for (std::size_t i = 1; i < size_; ++i) {
      if (data()[i] != kFillByte) return false;
    }
    return true;
  }

  /// Nothing at all was written.
  bool untouched() {
    for (std::size_t i = 0; i < size_; ++i) {
      if (data()[i] != kFillByte) return false;
    }
    return guardsIntact();
  }

  /// The text in the buffer: up to its first zero byte, or all `size` bytes when it has none.
  std::string_view text() {
    const void* zero = std::memchr(data(), '\0', size_);
    return std::string_view(data(), zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data()) : size_);
  }

 private:
  unsigned int size_;
  std::vector<char> bytes_;
};

/// Little-endian unsigned value of up to `count` leading bytes, consumed from the input.
inline unsigned int takeNumber(const unsigned char*& data, std::size_t& size, std::size_t count) {
  unsigned int value = 0;
  for (std::size_t i = 0; i < count && size > 0; ++i, ++data, --size)
    value |= static_cast<unsigned int>(*data) << (8 * i);
  return value;
}

}  // namespace korflowid::fuzz

#endif  // KORFLOWID_FUZZ_FUZZSUPPORT_H
