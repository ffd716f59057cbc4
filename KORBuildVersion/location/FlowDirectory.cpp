// The purely textual path reduction from KOR_HOME to the flow directory name; no file is touched.
#include "location/FlowDirectory.h"

#include <cstring>

#include "location/InstallRoot.h"
#include "platform/Environment.h"

namespace korflowid {
namespace {

FlowDirectory notReducible() {
  platform::printConsoleMessage("Cannot compute value of KORROOT using getKORRoot");
  return {FlowDirectoryOutcome::RootNotReducible, {}};
}

}  // namespace

FlowDirectory computeFlowDirectoryName(char (&root)[kRootBufferSize]) {
  // The library's own text, not the callers' that getKORRoot gives: on Windows it holds every
  // character of KOR_HOME, and its UTF-8 has no byte 0x5C but the backslash, where a double-byte
  // code page may end a character with one. Both texts agree wherever the code page holds the path.
  const std::size_t homeLength = platform::copyEnvironment("KOR_HOME", root, kRootBufferSize - kRootClimb.size());
  if (homeLength == platform::kUnset) {
    platform::printConsoleMessage("Cannot locate Trevix environment using environment variable KOR_HOME");
    return {FlowDirectoryOutcome::HomeMissing, {}};
  }
  // A root of 1024 bytes or more does not fit the buffer.
  if (homeLength >= kRootBufferSize - kRootClimb.size()) return notReducible();
  std::memcpy(root + homeLength, kRootClimb.data(), kRootClimb.size());

  const RootReduction reduction = reduceRoot(root, homeLength + kRootClimb.size());
  if (!reduction.reducible) return notReducible();
  return {FlowDirectoryOutcome::Found, reduction.name};
}

}  // namespace korflowid
