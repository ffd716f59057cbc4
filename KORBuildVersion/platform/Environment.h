// Process environment and console: the library's only two ways of talking to its process.
#ifndef KORFLOWID_PLATFORM_ENVIRONMENT_H
#define KORFLOWID_PLATFORM_ENVIRONMENT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korflowid::platform {

// Two kinds of text cross the library. Its own text names files: bytes as they are on POSIX, and on
// Windows UTF-8 of the UTF-16 the system holds, so that every name, in any script, reaches the file
// it names. Callers' text is what the exports hand out: the same bytes on POSIX, and on Windows the
// process's ANSI code page, as callers of a narrow-string interface there expect.

/// What the environment readers give for a variable that is not set; one set to the empty string
/// gives an empty value.
inline constexpr std::size_t kUnset = SIZE_MAX;

/// The variable's value in the library's own text into `value`, with room for `more` bytes after it;
/// false when it is unset.
bool readEnvironment(const char* name, std::string& value, std::size_t more = 0);

/// The variable's value in the library's own text, terminated, into `buffer`. Returns its length;
/// `size` or more when value and terminator do not fit (the buffer then holds nothing of use); kUnset
/// when unset. Allocates nothing while `size` is at most 1024.
std::size_t copyEnvironment(const char* name, char* buffer, std::size_t size);

/// The variable's value followed by `tail`, as callers' text, copied by the caller-buffer rule
/// (at most `size` bytes, zero-filled when shorter, unterminated when not). Returns the whole text's
/// full length, or kUnset when the variable is unset (and then writes nothing).
std::size_t copyEnvironmentForCaller(const char* name, std::string_view tail, char* buffer, unsigned int size);

/// `text`, the library's own, as callers' text, copied by the caller-buffer rule; returns the full
/// length of the converted text. Allocates nothing.
std::size_t copyForCaller(std::string_view text, char* buffer, unsigned int size);

/// Writes `message` and an end-of-line to standard output and flushes.
void printConsoleMessage(std::string_view message);

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_ENVIRONMENT_H
