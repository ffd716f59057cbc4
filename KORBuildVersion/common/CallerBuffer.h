// The one copy rule for text handed to a caller's buffer, and the guard that keeps exceptions inside.
#ifndef KORFLOWID_COMMON_CALLERBUFFER_H
#define KORFLOWID_COMMON_CALLERBUFFER_H

#include <cstring>
#include <string_view>

namespace korflowid {

/// strncpy semantics: at most `size` bytes of `text` (up to its first zero byte), the rest of the
/// first `size` bytes zero-filled, no terminating zero when the text has `size` bytes or more.
/// Writes nothing when `buffer` is null.
inline void copyToCallerBuffer(std::string_view text, char* buffer, unsigned int size) {
  if (buffer == nullptr) return;
  std::size_t length = text.find('\0');
  if (length == std::string_view::npos) length = text.size();
  const std::size_t copied = length < size ? length : size;
  // An empty view may carry a null pointer, which memmove must not see even for zero bytes.
  if (copied > 0) std::memmove(buffer, text.data(), copied);
  std::memset(buffer + copied, 0, size - copied);
}

/// Runs `body` and turns any exception (in practice only an allocation failure) into `onFailure`,
/// so that nothing escapes an exported function.
template <typename Result, typename Body>
Result withoutExceptions(Result onFailure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace korflowid

#endif  // KORFLOWID_COMMON_CALLERBUFFER_H
