// The environment on POSIX: names are bytes, so the library's text and its callers' are one.
#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>

#include "common/CallerBuffer.h"

namespace korflowid::platform {

bool readEnvironment(const char* name, std::string& value, std::size_t more) {
  const char* found = std::getenv(name);
  if (found == nullptr) return false;
  const std::size_t length = std::strlen(found);
  value.reserve(length + more);
  value.assign(found, length);
  return true;
}

std::size_t copyEnvironment(const char* name, char* buffer, std::size_t size) {
  const char* found = std::getenv(name);
  if (found == nullptr) return kUnset;
  const std::size_t length = std::strlen(found);
  if (length < size) std::memcpy(buffer, found, length + 1);
  return length;
}

std::size_t copyEnvironmentForCaller(const char* name, std::string_view tail, char* buffer, unsigned int size) {
  const char* found = std::getenv(name);
  if (found == nullptr) return kUnset;
  const std::string_view value(found);
  copyPiecesToCallerBuffer(value, tail, buffer, size);
  return value.size() + tail.size();
}

std::size_t copyForCaller(std::string_view text, char* buffer, unsigned int size) {
  copyPiecesToCallerBuffer(text, {}, buffer, size);
  return text.size();
}

}  // namespace korflowid::platform
