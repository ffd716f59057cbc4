// The tool's only platform-dependent parts: the process environment, the command line and the
// standard streams. Text inside the tool is UTF-8 on Windows; elsewhere it is bytes as they come.
#ifndef KORFLOWID_TOOLS_CONSOLE_H
#define KORFLOWID_TOOLS_CONSOLE_H

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korflowid::tool {

#if defined(_WIN32)
/// The arguments of wmain as UTF-8.
std::vector<std::string> utf8Arguments(int argc, wchar_t** argv);
#endif

/// Runs `body` with file descriptor 1 sent into a pipe and returns what was written to it meanwhile.
/// The library prints its console messages there, in the middle of whatever the tool prints.
std::string captureStandardOutput(const std::function<void()>& body);

/// The variable's value, or nothing when it is unset. On Windows read from the wide environment, so
/// that it holds every character.
std::optional<std::string> environmentValue(const char* name);

/// Sets an environment variable for this process where the library reads it; false when refused.
bool setEnvironment(const char* name, const std::string& value);

/// A text the library handed out, as the tool holds text: on Windows decoded from the ANSI code page
/// the library writes in, elsewhere the bytes as they are.
std::string fromLibraryText(const std::string& text);

/// Keeps CR LF as it is on standard output; a Windows console in text mode would write CR CR LF.
void useBinaryStandardOutput();

/// Writes `text` to `out`: characters in a Windows console, bytes (UTF-8 there) anywhere else.
void writeText(std::string_view text, std::FILE* out);

}  // namespace korflowid::tool

#endif  // KORFLOWID_TOOLS_CONSOLE_H
