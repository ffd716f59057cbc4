// Process environment and console: the library's only two ways of talking to its process.
#ifndef KORFLOWID_PLATFORM_ENVIRONMENT_H
#define KORFLOWID_PLATFORM_ENVIRONMENT_H

#include <optional>
#include <string>
#include <string_view>

namespace korflowid::platform {

/// The variable's value as the environment holds it, or nothing when it is unset; a variable set to
/// the empty string gives an empty value, not nothing.
std::optional<std::string> readEnvironment(const char* name);

/// Writes `message` and an end-of-line to standard output and flushes.
void printConsoleMessage(std::string_view message);

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_ENVIRONMENT_H
