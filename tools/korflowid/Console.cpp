// Descriptor redirection and the environment, through the C runtime of each platform.
#include "Console.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace korflowid::tool {
namespace {

#if defined(_WIN32)
bool openPipe(int ends[2]) {
  return _pipe(ends, 65536, _O_BINARY) == 0;
}
int duplicate(int fd) {
  return _dup(fd);
}
void duplicateTo(int from, int to) {
  _dup2(from, to);
}
void closeDescriptor(int fd) {
  _close(fd);
}
long readSome(int fd, char* into, unsigned int size) {
  return _read(fd, into, size);
}
#else
bool openPipe(int ends[2]) {
  return ::pipe(ends) == 0;
}
int duplicate(int fd) {
  return ::dup(fd);
}
void duplicateTo(int from, int to) {
  ::dup2(from, to);
}
void closeDescriptor(int fd) {
  ::close(fd);
}
long readSome(int fd, char* into, unsigned int size) {
  return ::read(fd, into, size);
}
#endif

constexpr int kStandardOutput = 1;

}  // namespace

std::string captureStandardOutput(const std::function<void()>& body) {
  // The pipe is drained only after `body` returns. That is safe because the library writes at most
  // a few short fixed messages per call, far below a pipe's capacity.
  std::fflush(stdout);
  int ends[2];
  if (!openPipe(ends)) {
    body();
    return {};
  }
  const int saved = duplicate(kStandardOutput);
  duplicateTo(ends[1], kStandardOutput);
  closeDescriptor(ends[1]);
  body();
  std::fflush(stdout);
  duplicateTo(saved, kStandardOutput);  // drops the last write end, so the reads below see the end
  closeDescriptor(saved);

  std::string captured;
  char chunk[512];
  for (long got; (got = readSome(ends[0], chunk, sizeof chunk)) > 0;) {
    captured.append(chunk, static_cast<std::size_t>(got));
  }
  closeDescriptor(ends[0]);
  return captured;
}

bool setEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
  return _putenv_s(name, value.c_str()) == 0;
#else
  return ::setenv(name, value.c_str(), 1) == 0;
#endif
}

void useBinaryStandardOutput() {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

}  // namespace korflowid::tool
