// The purely textual path reduction from KOR_HOME to the flow directory name; no file is touched.
#include "location/FlowDirectory.h"

#include <KORFlow.h>

#include <algorithm>
#include <cstring>

#include "platform/Environment.h"

namespace korflowid {
namespace {

FlowDirectory notReducible() {
  platform::printConsoleMessage("Cannot compute value of KORROOT using getKORRoot");
  return {FlowDirectoryOutcome::RootNotReducible, {}};
}

}  // namespace

FlowDirectory computeFlowDirectoryName(char (&root)[kRootBufferSize]) {
  if (platform::readEnvironment("KOR_HOME") == nullptr) {
    platform::printConsoleMessage("Cannot locate Trevix environment using environment variable KOR_HOME");
    return {FlowDirectoryOutcome::HomeMissing, {}};
  }

  // A root that does not fit arrives unterminated; reading on would run past the buffer.
  if (getKORRoot(root, kRootBufferSize) >= kRootBufferSize) return notReducible();
  char* const end = root + std::strlen(root);

  std::replace(root, end, '\\', '/');
  std::string_view path(root, static_cast<std::size_t>(end - root));
  if (!path.empty() && path.back() == '/') path.remove_suffix(1);

  // Any segment that starts with two dots ends the usable part, not only a ".." segment.
  const std::size_t up = path.find("/..");
  if (up == std::string_view::npos) return notReducible();
  path = path.substr(0, up);

  const std::size_t lastSegment = path.rfind('/');
  if (lastSegment == std::string_view::npos) return notReducible();
  path = path.substr(0, lastSegment);

  const std::size_t nameStart = path.rfind('/');
  if (nameStart != std::string_view::npos) path.remove_prefix(nameStart + 1);
  return {FlowDirectoryOutcome::Found, path};
}

}  // namespace korflowid
