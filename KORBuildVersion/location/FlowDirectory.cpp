// The purely textual path reduction from KOR_HOME to the flow directory name; no file is touched.
#include "location/FlowDirectory.h"

#include <KORFlow.h>

#include <algorithm>

#include "platform/Environment.h"

namespace korflowid {
namespace {

constexpr unsigned int kRootBufferSize = 1024;

FlowDirectory notReducible() {
  platform::printConsoleMessage("Cannot compute value of KORROOT using getKORRoot");
  return {FlowDirectoryOutcome::RootNotReducible, {}};
}

}  // namespace

FlowDirectory computeFlowDirectoryName() {
  if (!platform::readEnvironment("KOR_HOME")) {
    platform::printConsoleMessage("Cannot locate Trevix environment using environment variable KOR_HOME");
    return {FlowDirectoryOutcome::HomeMissing, {}};
  }

  char root[kRootBufferSize] = {};
  // A root that does not fit arrives unterminated; reading on would run past the buffer.
  if (getKORRoot(root, kRootBufferSize) >= kRootBufferSize) return notReducible();
  std::string path(root);  // zero-terminated: the root is shorter than the buffer

  std::replace(path.begin(), path.end(), '\\', '/');
  if (!path.empty() && path.back() == '/') path.pop_back();

  // Any segment that starts with two dots ends the usable part, not only a ".." segment.
  const std::size_t up = path.find("/..");
  if (up == std::string::npos) return notReducible();
  path.resize(up);

  const std::size_t lastSegment = path.rfind('/');
  if (lastSegment == std::string::npos) return notReducible();
  path.resize(lastSegment);

  const std::size_t nameStart = path.rfind('/');
  if (nameStart != std::string::npos) path.erase(0, nameStart + 1);
  return {FlowDirectoryOutcome::Found, std::move(path)};
}

}  // namespace korflowid
