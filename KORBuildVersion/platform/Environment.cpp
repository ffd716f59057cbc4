// Environment and console through the C and C++ runtimes, the same on every platform.
#include "platform/Environment.h"

#include <cstdlib>
#include <iostream>

namespace korflowid::platform {

const char* readEnvironment(const char* name) {
  return std::getenv(name);
}

void printConsoleMessage(std::string_view message) {
  // std::cout shares its buffer with C stdio, so the message lands in order with the application's
  // own printf output.
  std::cout << message << std::endl;
}

}  // namespace korflowid::platform
