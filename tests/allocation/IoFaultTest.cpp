// Every export that reads the tree keeps its contract when one call of the file system fails, at any
// point of its path, and the same process answers right once the fault has passed: a descriptor limit
// or an I/O error is never taken for the state of the installation.

// The interposers below define read and openat themselves, which the fortified inline wrappers of a
// hardened build would define as well.
#undef _FORTIFY_SOURCE
#include <KORFlow.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <korflowid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <string>

#include "report/InstallTree.h"
#include "support/TestSupport.h"

namespace {

std::atomic<std::size_t> calls{0}, failing{0};
std::atomic<bool> reached{false};

/// Whether this call is the one to fail; it then sets errno to a descriptor limit or an I/O error, in turn.
bool injectFault() {
  if (failing == 0 || ++calls != failing) return false;
  reached = true;
  errno = failing % 2 == 0 ? EMFILE : EIO;
  return true;
}

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

// The library's objects are linked into this binary, so its calls reach these first.
extern "C" {
DIR* opendir(const char* name) {
  static const auto real = next<DIR* (*)(const char*)>("opendir");
  return injectFault() ? nullptr : real(name);
}

dirent* readdir(DIR* directory) {
  static const auto real = next<dirent* (*)(DIR*)>("readdir");
  return injectFault() ? nullptr : real(directory);
}

int openat(int directory, const char* path, int flags, ...) {
  static const auto real = next<int (*)(int, const char*, int, ...)>("openat");
  va_list more;
  va_start(more, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(more, mode_t) : 0;
  va_end(more);
  return injectFault() ? -1 : real(directory, path, flags, mode);
}

ssize_t read(int fd, void* buffer, size_t size) {
  static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
  return injectFault() ? -1 : real(fd, buffer, size);
}

int statx(int directory, const char* path, int flags, unsigned int mask, struct statx* facts) noexcept {
  static const auto real = next<int (*)(int, const char*, int, unsigned int, struct statx*)>("statx");
  return injectFault() ? -1 : real(directory, path, flags, mask, facts);
}
}

namespace {

constexpr const char* kOlderInstall = "1999";  // only the fallback file holds it

struct IoCase {
  const char* name;
  std::string (*answer)();
  bool secondVersionFile;         // beside the one that holds the id
  const char* whole;              // the answer once the id file was rewritten with 4712
  const char* faulted = nullptr;  // how an answer that met the fault begins, where it can tell
};

void PrintTo(const IoCase& c, std::ostream* out) {
  *out << c.name;
}

std::string installId() {
  char line[64];
  return KORFlow::GetInstallId(line, sizeof line);
}

std::string versionText() {
  char text[256];
  return KORFlow::GetVersionText(text, sizeof text);
}

/// The C interface's status, then its text.
template <typename Export>
std::string withStatus(Export&& call) {
  char text[512];
  const int status = call(text, sizeof text);
  return std::to_string(status) + " " + text;
}

std::string cInstallId() {
  return withStatus(
      [](char* text, size_t size) { return kor_value(nullptr, KOR_FIELD_INSTALL_ID, text, size, nullptr); });
}

std::string cReport() {
  return withStatus([](char* text, size_t size) { return kor_report(nullptr, text, size, nullptr); });
}

class IoFault : public ::testing::TestWithParam<IoCase> {};

/// In a fresh process per n, the export with its n-th file-system call failing, then again with none
/// failing. The fallback file's older id may never show, and nothing read with the fault may be kept:
/// the id file is rewritten after the fault, and the next answer must show it.
TEST_P(IoFault, AtEveryCallOfThePathAndNeverKept) {
  const IoCase& c = GetParam();
  const std::size_t length = korflowid::test::atEveryFault([&](std::size_t n) {
    korflowid::test::InstallTree tree;
    tree.version("1", "Install Id: 4711\nFlow Id: 3\n");
    if (c.secondVersionFile) tree.version("2", "UPDATE Name: U2\n");
    tree.write("InstallVersion.txt", std::string("Install Id: ") + kOlderInstall + "\n");
    tree.write("patch_3.txt", "");
    failing = n;
    const std::string first = c.answer();
    failing = 0;
    if (!reached) return false;  // past the path's end: a report read whole is rightly kept
    if (c.faulted != nullptr) {
      EXPECT_EQ(first.rfind(c.faulted, 0), 0u) << "call " << n << ": " << first;
    }
    EXPECT_EQ(first.find(kOlderInstall), std::string::npos) << "call " << n << ": " << first;
    tree.version("1", "Install Id: 4712\nFlow Id: 3\n");  // the same file, so it keeps its place
    EXPECT_EQ(c.answer(), c.whole) << "nothing of the fault stays behind, call " << n;
    return true;
  });
  EXPECT_NE(length, 1u) << "no fault was injected";
}

// The labelled queries, the whole text and the C interface share one path and one cache. The C
// interface says that a call met a fault.
const IoCase kIoCases[] = {
    {"GetInstallId", installId, true, "Install Id: 4712\n"},
    {"GetVersionText", versionText, true,
     "Install Id: 4712\r\nFlow Id: 3\r\n\r\nUPDATE Name: U2\r\n\r\nPatches installed in this flow:\r\nPatch "
     "#3\r\n\r\n"},
    {"kor_value", cInstallId, true, "0 4712", "-3 "},
    {"kor_report", cReport, true,
     "0 Install Id: 4712\r\nFlow Id: 3\r\n\r\nUPDATE Name: U2\r\n\r\nPatches installed in this flow:\r\nPatch "
     "#3\r\n\r\n",
     "-3 "},
    // The one version file failing is no reason to read the older fallback instead.
    {"GetInstallIdOneVersionFile", installId, false, "Install Id: 4712\n"},
    {"GetVersionTextOneVersionFile", versionText, false,
     "Install Id: 4712\r\nFlow Id: 3\r\n\r\nPatches installed in this flow:\r\nPatch #3\r\n\r\n"},
    {"kor_valueOneVersionFile", cInstallId, false, "0 4712", "-3 "},
};

INSTANTIATE_TEST_SUITE_P(Exports, IoFault, ::testing::ValuesIn(kIoCases),
                         [](const ::testing::TestParamInfo<IoCase>& param) { return param.param.name; });

}  // namespace
