// Builds the installation root from KOR_HOME.
#include "location/InstallRoot.h"

#include <KORFlow.h>

#include <climits>
#include <cstring>

#include "common/CallerBuffer.h"
#include "platform/Environment.h"

namespace korflowid {
namespace {

// The root only ever climbs one level textually; a later reduction decides what that means.
constexpr std::string_view kClimb = "/../";

}  // namespace

std::string computeKORRoot() {
  const char* home = platform::readEnvironment("KOR_HOME");
  if (home == nullptr) return {};
  const std::string_view value(home);
  std::string root;
  root.reserve(value.size() + kClimb.size());
  root.append(value).append(kClimb);
  return root;
}

}  // namespace korflowid

unsigned int getKORRoot(char* buffer, unsigned int size) {
  // Copied straight from the environment, so that the root can be handed out without memory of its own.
  const char* home = korflowid::platform::readEnvironment("KOR_HOME");
  if (home == nullptr) {
    korflowid::copyToCallerBuffer({}, buffer, size);
    return 0;
  }
  const std::string_view value(home);
  korflowid::copyPiecesToCallerBuffer(value, korflowid::kClimb, buffer, size);
  const std::size_t length = value.size() + korflowid::kClimb.size();
  return length < UINT_MAX ? static_cast<unsigned int>(length) : UINT_MAX;
}
