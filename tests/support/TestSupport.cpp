// Shared test fixtures; the fresh-process helper re-runs this binary on the current test alone.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#endif

namespace korflowid::test {
namespace {

constexpr const char* kFreshChildVariable = "KORFLOWID_TEST_FRESH_CHILD";
std::string gTestBinary;

/// The file the library reaches under the same byte string. On Windows a KOR_HOME set through the C
/// runtime is taken in the ANSI code page, while std::filesystem would read the bytes otherwise.
std::filesystem::path asLibraryPath(const std::string& bytes) {
#if defined(_WIN32)
  const int size =
      bytes.empty() ? 0 : ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
  return std::filesystem::path(wide);
#else
  return std::filesystem::path(bytes);
#endif
}

}  // namespace

void rememberTestBinary(const char* argv0) {
  gTestBinary = argv0;
}

void setEnvironment(const char* name, const std::optional<std::string>& value) {
#if defined(_WIN32)
  // _putenv_s with an empty value would unset; "NAME=" through _putenv does so as well, so an
  // empty-but-set value is out of reach there. Tests that need it say so.
  _putenv_s(name, value ? value->c_str() : "");
#else
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
#endif
}

ScopedEnvironment::ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = std::getenv(name)) saved_ = old;
  setEnvironment(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
  setEnvironment(name_.c_str(), saved_);
}

TempTree::TempTree() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (;;) {
    std::filesystem::path candidate = base / ("korflowid-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate.generic_string() + "/";
      break;
    }
  }
}

TempTree::~TempTree() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempTree::write(const std::string& relative, std::string_view bytes) const {
  const std::filesystem::path file = asLibraryPath(path_ + relative);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path_ + relative;
}

std::string TempTree::makeDirectory(const std::string& relative) const {
  std::filesystem::create_directories(asLibraryPath(path_ + relative));
  return path_ + relative;
}

void inFreshModule(const std::function<void()>& body) {
  if (std::getenv(kFreshChildVariable) != nullptr) {
    body();
    return;
  }
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  ScopedEnvironment child(kFreshChildVariable, "1");
  std::fflush(nullptr);  // the child writes to the same streams; keep our output before its own
#if defined(_WIN32)
  const std::string program = "\"" + gTestBinary + "\"";
  const intptr_t status = _spawnl(_P_WAIT, gTestBinary.c_str(), program.c_str(), filter.c_str(), nullptr);
  EXPECT_EQ(status, 0) << "the test failed in its fresh process";
#else
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl(gTestBinary.c_str(), gTestBinary.c_str(), filter.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the test failed in its fresh process";
#endif
}

std::size_t atEveryFault(const std::function<bool(std::size_t n)>& body) {
  constexpr const char* kFailAt = "KORFLOWID_TEST_FAIL_AT";
  constexpr const char* kNote = "KORFLOWID_TEST_NOTE";
  if (const char* failAt = std::getenv(kFailAt)) {
    if (body(std::strtoul(failAt, nullptr, 10))) std::ofstream(std::getenv(kNote)) << "reached";
    return 0;
  }
  const TempTree notes;
  const std::string note = notes.path() + "note";
  const ScopedEnvironment noteVariable(kNote, note);
  std::size_t n = 0;
  do {
    if (++n == 2000) {
      ADD_FAILURE() << "the path never ends";
      break;
    }
    std::remove(note.c_str());  // a process that dies leaves none
    const ScopedEnvironment failAt(kFailAt, std::to_string(n));
    inFreshModule([] {});
  } while (std::ifstream(note));
  return n;
}

std::string captureStdout(const std::function<void()>& body) {
  std::fflush(stdout);
  ::testing::internal::CaptureStdout();
  body();
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

#if !defined(_WIN32)

namespace {

constexpr uid_t kNobody = 65534;

#if defined(__x86_64__)
constexpr std::uint32_t kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kAuditArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t kAuditArch = 0;
#endif

/// Installs a seccomp filter under which statx fails with EPERM; the reason where it cannot.
std::optional<std::string> refuseStatx() {
  if (kAuditArch == 0) return "no seccomp filter is written for this architecture";
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_statx, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return std::string("no_new_privs: ") + std::strerror(errno);
  if (::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    return std::string("the seccomp filter is refused (qemu-user takes none): ") + std::strerror(errno);
  }
  struct statx facts;
  if (::statx(AT_FDCWD, "/", 0, STATX_TYPE, &facts) == 0 || errno != EPERM) return "the filter lets statx pass";
  return std::nullopt;
}

/// Takes uid and gid 65534 as the effective ids, and no other groups, or a file of group root would
/// still be readable; the reason where it cannot.
std::optional<std::string> becomeNobody() {
  if (::setgroups(0, nullptr) == 0 && ::setegid(kNobody) == 0 && ::seteuid(kNobody) == 0) return std::nullopt;
  return std::string("cannot take uid and gid 65534: ") + std::strerror(errno);
}

}  // namespace

std::optional<std::string> whyUnavailable(Restriction restriction) {
  if (restriction == Restriction::None || (restriction == Restriction::Unprivileged && ::geteuid() != 0)) {
    return std::nullopt;
  }
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const auto why = restriction == Restriction::StatxRefused ? refuseStatx() : becomeNobody();
    if (why) std::fprintf(stderr, "%s\n", why->c_str());
    ::_exit(why ? 1 : 0);
  }
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return std::nullopt;
  return restriction == Restriction::StatxRefused ? "no seccomp filter can refuse statx here (qemu-user takes none)"
                                                  : "uid and gid 65534 cannot be taken here";
}

Restricted::Restricted(Restriction restriction) {
  if (restriction == Restriction::StatxRefused) {
    if (const auto why = refuseStatx()) ADD_FAILURE() << *why;
  }
  if (restriction == Restriction::Unprivileged && ::geteuid() == 0) drop();
}

Restricted::~Restricted() {
  if (dropped_) regain();
}

void Restricted::asOwner(const std::function<void()>& body) {
  const bool wasDropped = dropped_;
  if (wasDropped) regain();
  body();
  if (wasDropped) drop();
}

void Restricted::drop() {
  ownerGroup_ = ::getegid();
  const auto why = becomeNobody();
  ASSERT_FALSE(why) << *why;
  dropped_ = true;
}

void Restricted::regain() {
  // The real and saved ids are still root's: the effective ones come back.
  const bool done = ::seteuid(0) == 0 && ::setegid(ownerGroup_) == 0;
  ASSERT_TRUE(done) << "cannot become root again: " << std::strerror(errno);
  dropped_ = false;
}

unsigned int unprivilegedMode(unsigned int othersMode) {
  return ::geteuid() == 0 ? othersMode : (othersMode & 07) * 0111;
}

#endif

}  // namespace korflowid::test
