// Builds the installation root from KOR_HOME.
#include "location/InstallRoot.h"

#include <KORFlow.h>

#include <climits>

#include "common/CallerBuffer.h"
#include "platform/Environment.h"

namespace korflowid {

std::string computeKORRoot() {
  std::optional<std::string> home = platform::readEnvironment("KOR_HOME");
  if (!home) return {};
  // The root only ever climbs one level textually; a later reduction decides what that means.
  home->append("/../");
  return std::move(*home);
}

}  // namespace korflowid

unsigned int getKORRoot(char* buffer, unsigned int size) {
  return korflowid::withoutExceptions(0u, [&] {
    const std::string root = korflowid::computeKORRoot();
    korflowid::copyToCallerBuffer(root, buffer, size);
    return root.size() < UINT_MAX ? static_cast<unsigned int>(root.size()) : UINT_MAX;
  });
}
