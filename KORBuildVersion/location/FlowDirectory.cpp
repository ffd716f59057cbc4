// The purely textual path reduction from KOR_HOME to the flow directory name; no file is touched.
#include "location/FlowDirectory.h"

#include <cstring>

#include "location/InstallRoot.h"
#include "platform/Environment.h"

namespace korflowid {
namespace {

FlowDirectory notReducible(Console console) {
  if (console == Console::Print) platform::printConsoleMessage("Cannot compute value of KORROOT using getKORRoot");
  return {FlowDirectoryOutcome::RootNotReducible, {}};
}

/// `home` terminated into `buffer` as copyEnvironment copies a variable: its length, `size` or more
/// when it does not fit.
std::size_t copyHome(const char* home, char* buffer, std::size_t size) {
  const std::size_t length = std::strlen(home);
  if (length < size) std::memcpy(buffer, home, length + 1);
  return length;
}

}  // namespace

FlowDirectory computeFlowDirectoryName(char (&root)[kRootBufferSize], const char* home, Console console) {
  // The library's own text, not the callers' that getKORRoot gives: on Windows it holds every
  // character of KOR_HOME, and its UTF-8 has no byte 0x5C but the backslash, where a double-byte
  // code page may end a character with one. Both texts agree wherever the code page holds the path.
  constexpr std::size_t room = kRootBufferSize - kRootClimb.size();
  const std::size_t homeLength =
      home != nullptr ? copyHome(home, root, room) : platform::copyEnvironment("KOR_HOME", root, room);
  if (homeLength == platform::kUnset) {
    if (console == Console::Print) {
      platform::printConsoleMessage("Cannot locate Trevix environment using environment variable KOR_HOME");
    }
    return {FlowDirectoryOutcome::HomeMissing, {}};
  }
  // A root of 1024 bytes or more does not fit the buffer.
  if (homeLength >= room) return notReducible(console);
  std::memcpy(root + homeLength, kRootClimb.data(), kRootClimb.size());

  const RootReduction reduction = reduceRoot(root, homeLength + kRootClimb.size());
  if (!reduction.reducible) return notReducible(console);
  return {FlowDirectoryOutcome::Found, reduction.name};
}

}  // namespace korflowid
