// Builds the installation root from KOR_HOME.
#include "location/InstallRoot.h"

#include <KORFlow.h>

#include <climits>
#include <cstring>

#include "common/CallerBuffer.h"
#include "platform/Environment.h"

namespace korflowid {

std::string computeKORRoot(const char* home) {
  std::string root;
  if (home != nullptr) {
    root.reserve(std::strlen(home) + kRootClimb.size());
    root.assign(home);
  } else if (!platform::readEnvironment("KOR_HOME", root, kRootClimb.size())) {
    return {};
  }
  root.append(kRootClimb);
  return root;
}

}  // namespace korflowid

unsigned int getKORRoot(char* buffer, unsigned int size) {
  // Callers get the root in their own text (on Windows the ANSI code page), converted straight from
  // the environment. Only a value too long for the stack can fail, for lack of memory.
  const std::size_t length = korflowid::withoutExceptions(korflowid::platform::kUnset, [&] {
    return korflowid::platform::copyEnvironmentForCaller("KOR_HOME", korflowid::kRootClimb, buffer, size);
  });
  if (length == korflowid::platform::kUnset) {
    korflowid::copyToCallerBuffer({}, buffer, size);
    return 0;
  }
  return length < UINT_MAX ? static_cast<unsigned int>(length) : UINT_MAX;
}
