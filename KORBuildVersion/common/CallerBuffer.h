// The one copy rule for text handed to a caller's buffer, and the guard that keeps exceptions inside.
#ifndef KORFLOWID_COMMON_CALLERBUFFER_H
#define KORFLOWID_COMMON_CALLERBUFFER_H

#include <cstring>
#include <string_view>

namespace korflowid {

/// strncpy semantics for `text` followed by `tail`, both known to hold no zero byte: at most `size`
/// bytes, the rest of the first `size` bytes zero-filled, no terminating zero when the whole has
/// `size` bytes or more. Writes nothing when `buffer` is null.
inline void copyPiecesToCallerBuffer(std::string_view text, std::string_view tail, char* buffer, unsigned int size) {
  if (buffer == nullptr) return;
  std::size_t copied = 0;
  for (const std::string_view piece : {text, tail}) {
    const std::size_t room = size - copied;
    const std::size_t length = piece.size() < room ? piece.size() : room;
    // An empty view may carry a null pointer, which memmove must not see even for zero bytes. The
    // text may lie inside the buffer itself (a line cut down in place), hence memmove.
    if (length > 0) std::memmove(buffer + copied, piece.data(), length);
    copied += length;
  }
  std::memset(buffer + copied, 0, size - copied);
}

/// strncpy semantics: at most `size` bytes of `text` (up to its first zero byte), the rest of the
/// first `size` bytes zero-filled, no terminating zero when the text has `size` bytes or more.
/// Writes nothing when `buffer` is null.
inline void copyToCallerBuffer(std::string_view text, char* buffer, unsigned int size) {
  copyPiecesToCallerBuffer(text.substr(0, text.find('\0')), {}, buffer, size);
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
