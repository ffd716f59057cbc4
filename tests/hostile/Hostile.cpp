// Child-process measurement for the hostile-installation tests.
#include "hostile/Hostile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace korflowid::test {
namespace {

#if !defined(_WIN32)  // only a forked child is measured, and Windows has no fork
/// The peak resident size in KiB, or -1 without /proc.
long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}
#endif

}  // namespace

std::optional<Measured> measureInChild(const std::function<std::string()>& body) {
#if defined(_WIN32)
  (void)body;
  return std::nullopt;
#else
  int channel[2];
  if (::pipe(channel) != 0) return std::nullopt;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    ::close(channel[0]);
    // A fresh child inherits the parent's peak; "5" resets it to what the child holds now.
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const long before = peakResidentKiB();
    std::string result;
    const double seconds = secondsFor([&] { result = body(); });
    const long after = peakResidentKiB();
    const long increase = before < 0 || after < 0 ? -1 : after - before;
    std::string message = std::to_string(seconds) + " " + std::to_string(increase) + " " + result;
    const char* out = message.data();
    std::size_t left = message.size();
    while (left > 0) {
      const ssize_t wrote = ::write(channel[1], out, left);
      if (wrote <= 0) break;
      out += wrote;
      left -= static_cast<std::size_t>(wrote);
    }
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string message;
  char chunk[4096];
  for (ssize_t got; (got = ::read(channel[0], chunk, sizeof chunk)) > 0;)
    message.append(chunk, static_cast<std::size_t>(got));
  ::close(channel[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  const std::size_t first = message.find(' '), second = message.find(' ', first + 1);
  if (second == std::string::npos) return std::nullopt;
  return Measured{std::stod(message.substr(0, first)), std::stol(message.substr(first + 1, second - first - 1)),
                  message.substr(second + 1)};
#endif
}

void expectBoundedCost(const char* what, const Measured& measured) {
  std::printf("%s: %.4f s, peak +%ld KiB\n", what, measured.seconds, measured.peakIncreaseKiB);
  EXPECT_LT(measured.seconds, 1.0) << what;
  EXPECT_LT(measured.peakIncreaseKiB, 64 * 1024) << what;
}

}  // namespace korflowid::test
