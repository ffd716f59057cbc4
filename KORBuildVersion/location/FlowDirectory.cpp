// The purely textual path reduction from KOR_HOME to the flow directory name; no file is touched.
#include "location/FlowDirectory.h"

#include <KORFlow.h>

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

  // A root that does not fit arrives unterminated; the reduction then leaves it unread.
  const RootReduction reduction = reduceRoot(root, getKORRoot(root, kRootBufferSize));
  if (!reduction.reducible) return notReducible();
  return {FlowDirectoryOutcome::Found, reduction.name};
}

}  // namespace korflowid
