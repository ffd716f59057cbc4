// Process environment and console: the library's only two ways of talking to its process.
#ifndef KORFLOWID_PLATFORM_ENVIRONMENT_H
#define KORFLOWID_PLATFORM_ENVIRONMENT_H

#include <string_view>

namespace korflowid::platform {

/// The variable's value as the environment holds it, or null when it is unset; a variable set to the
/// empty string gives an empty value, not null. Valid until the environment is next changed; nothing
/// is copied, so reading it cannot fail for lack of memory.
const char* readEnvironment(const char* name);

/// Writes `message` and an end-of-line to standard output and flushes.
void printConsoleMessage(std::string_view message);

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_ENVIRONMENT_H
