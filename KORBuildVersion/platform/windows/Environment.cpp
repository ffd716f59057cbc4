// The environment on Windows, read as UTF-16 from the process itself. The C runtime's getenv holds
// a copy made in the code page, and even _wgetenv a copy of its own, which misses what an application
// built with another runtime sets; GetEnvironmentVariableW sees the process's one environment.
#include "platform/Environment.h"

#include <windows.h>

#include <cstring>

#include "platform/windows/WideText.h"

namespace korflowid::platform {
namespace {

/// A variable's value in UTF-16: on the stack while it is short, as KOR_HOME is.
class WideValue {
 public:
  /// Reads `name` (ASCII). A value of `limit` units or more is not read: it cannot fit where the
  /// caller wants it, since no unit takes less than a byte of UTF-8.
  WideValue(const char* name, std::size_t limit) {
    wchar_t wideName[64] = {};
    for (std::size_t i = 0; name[i] != '\0' && i + 1 < sizeof wideName / sizeof wideName[0]; ++i) {
      wideName[i] = static_cast<wchar_t>(name[i]);
    }
    wchar_t* into = local_;
    DWORD capacity = kLocalUnits;
    for (;;) {
      ::SetLastError(ERROR_SUCCESS);
      const DWORD got = ::GetEnvironmentVariableW(wideName, into, capacity);
      if (got == 0) {  // unset, or set to the empty string
        set_ = ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        return;
      }
      set_ = true;
      if (got < capacity) {
        text_ = std::wstring_view(into, got);
        return;
      }
      // `got` is the room needed, terminator included; the value may grow again before the next read.
      if (got - 1 >= limit) {
        tooLong_ = true;
        return;
      }
      heap_.resize(got);
      into = heap_.data();
      capacity = got;
    }
  }
  WideValue(const WideValue&) = delete;
  WideValue& operator=(const WideValue&) = delete;

  bool set() const { return set_; }
  bool tooLong() const { return tooLong_; }
  std::wstring_view text() const { return text_; }

 private:
  static constexpr DWORD kLocalUnits = 1024;
  wchar_t local_[kLocalUnits];
  WideText heap_;
  std::wstring_view text_;
  bool set_ = false;
  bool tooLong_ = false;
};

}  // namespace

bool readEnvironment(const char* name, std::string& value, std::size_t more) {
  const WideValue wide(name, SIZE_MAX);
  if (!wide.set()) return false;
  value = toUtf8(wide.text());
  value.reserve(value.size() + more);
  return true;
}

std::size_t copyEnvironment(const char* name, char* buffer, std::size_t size) {
  const WideValue wide(name, size);
  if (!wide.set()) return kUnset;
  if (wide.tooLong()) return size;
  const std::size_t length = copyAsUtf8(wide.text(), buffer, size);
  return length < size ? length : size;  // zero-filled, so terminated, when it fits
}

std::size_t copyEnvironmentForCaller(const char* name, std::string_view tail, char* buffer, unsigned int size) {
  const WideValue wide(name, SIZE_MAX);
  if (!wide.set()) return kUnset;
  return copyAsAnsi(wide.text(), tail, buffer, size);
}

std::size_t copyForCaller(std::string_view text, char* buffer, unsigned int size) {
  return copyAsAnsi(text, buffer, size);
}

}  // namespace korflowid::platform
