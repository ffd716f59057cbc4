// The tool's only platform-dependent parts: the process environment and the standard output descriptor.
#ifndef KORFLOWID_TOOLS_CONSOLE_H
#define KORFLOWID_TOOLS_CONSOLE_H

#include <functional>
#include <string>

namespace korflowid::tool {

/// Runs `body` with file descriptor 1 sent into a pipe and returns what was written to it meanwhile.
/// The library prints its console messages there, in the middle of whatever the tool prints.
std::string captureStandardOutput(const std::function<void()>& body);

/// Sets an environment variable for this process; false when the runtime refuses.
bool setEnvironment(const char* name, const std::string& value);

/// Keeps CR LF as it is on standard output; a Windows console in text mode would write CR CR LF.
void useBinaryStandardOutput();

}  // namespace korflowid::tool

#endif  // KORFLOWID_TOOLS_CONSOLE_H
