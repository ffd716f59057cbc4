// The Windows text boundary: UTF-8 inside the library, UTF-16 for the system, the ANSI code page for callers.
#ifndef KORFLOWID_PLATFORM_WINDOWS_WIDETEXT_H
#define KORFLOWID_PLATFORM_WINDOWS_WIDETEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korflowid::platform {

/// UTF-16 text ended by a zero unit, as the system's calls take it. Not std::wstring: with the C++
/// runtime linked in statically, that brings every member of the wide string along, a sixth of the DLL.
using WideText = std::vector<wchar_t>;

/// UTF-16 as the library's own text, UTF-8. An unpaired surrogate, which Windows names may hold, is
/// written as its own three bytes, so that toWide gives back the very name.
std::string toUtf8(std::wstring_view text);

/// Copies toUtf8(text) by the caller-buffer rule; returns its full length. Allocates nothing.
std::size_t copyAsUtf8(std::wstring_view text, char* buffer, std::size_t size);

/// The library's text as UTF-16; a byte that starts no UTF-8 sequence becomes U+FFFD.
WideText toWide(std::string_view text);

/// UTF-16 in the process's ANSI code page, the text callers get. A character the page lacks becomes
/// "?", never a look-alike that could name another file.
std::string toAnsi(std::wstring_view text);

/// `text` and then `tail` in the ANSI code page, copied by the caller-buffer rule; returns the whole
/// converted length. Allocates nothing.
std::size_t copyAsAnsi(std::wstring_view text, std::string_view tail, char* buffer, std::size_t size);
std::size_t copyAsAnsi(std::string_view text, char* buffer, std::size_t size);

/// `path` as the wide path handed to the file system. While it stays below 248 UTF-16 units, the limit
/// of a directory path, as the system completes it below the working directory, it goes as it is. A
/// longer one becomes absolute, with "." and ".." resolved and backslashes only, behind the "\\?\"
/// prefix that lifts the limit: Windows takes such a path literally, so nothing may be left for it to
/// resolve. A path given in that form already has its "." and ".." resolved the same way, without
/// climbing above its volume.
///   "Z:/i/<300 characters>/kor/../patch_*.txt"  =>  "\\?\Z:\i\<300 characters>\patch_*.txt"
///   "\\?\UNC\server\share\i\kor/../patch_*.txt"  =>  "\\?\UNC\server\share\i\patch_*.txt"
WideText fileSystemPath(std::string_view path);

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_WINDOWS_WIDETEXT_H
