// The console, through the C runtime, the same on every platform.
#include "platform/Environment.h"

#include <cstdio>

namespace korflowid::platform {

void printConsoleMessage(std::string_view message) {
  // The application's own printf output goes through the same C stdio stream, so the message lands
  // in order with it. C stdio rather than iostreams: a Windows DLL links its C++ runtime statically,
  // and iostreams alone would make up most of the module's size.
  std::fwrite(message.data(), 1, message.size(), stdout);
  std::fwrite("\n", 1, 1, stdout);
  std::fflush(stdout);
}

}  // namespace korflowid::platform
