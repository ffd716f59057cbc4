// Environment and console through the C and C++ runtimes, the same on every platform.
#include "platform/Environment.h"

#include <cstdlib>
#include <iostream>

namespace korflowid::platform {

std::optional<std::string> readEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void printConsoleMessage(std::string_view message) {
  // std::cout shares its buffer with C stdio, so the message lands in order with the application's
  // own printf output.
  std::cout << message << std::endl;
}

}  // namespace korflowid::platform
