// Descriptor redirection and the environment, through the C runtime of each platform; on Windows
// the wide system calls, which hold every character.
#include "Console.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
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

#if defined(_WIN32)
std::wstring toWide(std::string_view text, UINT codePage) {
  const int units =
      text.empty() ? 0 : ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  if (units > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
  return wide;
}

std::string toUtf8(std::wstring_view wide) {
  const int bytes = wide.empty() ? 0
                                 : ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                         nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  if (bytes > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes, nullptr, nullptr);
  }
  return text;
}

std::vector<std::string> utf8Arguments(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(toUtf8(argv[i]));
  return arguments;
}

std::optional<std::string> environmentValue(const char* name) {
  const std::wstring wideName = toWide(name, CP_UTF8);
  std::wstring value(64, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD got = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (got == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    if (got < value.size()) return toUtf8(std::wstring_view(value.data(), got));
    value.resize(got);  // the room needed, terminator included
  }
}

bool setEnvironment(const char* name, const std::string& value) {
  // The process's own environment, which the library reads; unlike _wputenv it holds an empty value.
  return ::SetEnvironmentVariableW(toWide(name, CP_UTF8).c_str(), toWide(value, CP_UTF8).c_str()) != 0;
}

std::string fromLibraryText(const std::string& text) {
  return toUtf8(toWide(text, CP_ACP));
}

void useBinaryStandardOutput() {
  _setmode(_fileno(stdout), _O_BINARY);
}

void writeText(std::string_view text, std::FILE* out) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
    std::fwrite(text.data(), 1, text.size(), out);
    return;
  }
  // A console shows characters, whatever its code page; what went into the stream before comes first.
  std::fflush(out);
  const std::wstring wide = toWide(text, CP_UTF8);
  DWORD written = 0;
  ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}
#else
std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

bool setEnvironment(const char* name, const std::string& value) {
  return ::setenv(name, value.c_str(), 1) == 0;
}

std::string fromLibraryText(const std::string& text) {
  return text;
}

void useBinaryStandardOutput() {}

void writeText(std::string_view text, std::FILE* out) {
  std::fwrite(text.data(), 1, text.size(), out);
}
#endif

}  // namespace korflowid::tool
