// Version files as Windows hands them over: held by another process without sharing, dated past
// 2038, or named like a file while they are directories. Each runs in a fresh module, whose report
// cache starts empty.
#include <windows.h>
// After windows.h, which they need.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace {

using korflowid::test::inFreshModule;
using korflowid::test::ScopedEnvironment;
using korflowid::test::TempTree;

std::string installId() {
  char line[128] = {};
  return KORFlow::GetInstallId(line, sizeof line);
}

std::wstring wide(const std::string& path) {
  return std::filesystem::u8path(path).wstring();
}

TEST(HeldFiles, VersionFileHeldWithoutSharingIsReadOnceLetGo) {
  inFreshModule([] {
    const TempTree tree;
    tree.makeDirectory("RJGQ.2.1/kor");
    const std::string version = tree.write("RJGQ.2.1/InstallVersions/InstallVersion_1.txt", "Install Id: 7\n");
    tree.write("RJGQ.2.1/InstallVersion.txt", "Install Id: older\n");
    const ScopedEnvironment home("KOR_HOME", tree.path() + "RJGQ.2.1/kor");
    // As an installer writing it holds it: no other process may read it meanwhile.
    const HANDLE installer = ::CreateFileW(wide(version).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(installer, INVALID_HANDLE_VALUE);
    // Held, the only version file is not missing: the older fallback must not speak for it, and what
    // this query read is not kept.
    EXPECT_EQ(installId(), "");
    ::CloseHandle(installer);
    EXPECT_EQ(installId(), "Install Id: 7\n");
  });
}

TEST(HeldFiles, DirectoriesNamedLikeVersionFilesAreNoFault) {
  inFreshModule([] {
    const TempTree tree;
    tree.makeDirectory("RJGQ.2.1/kor");
    // One listed, one opened by its path: Windows refuses both as it refuses a file held without sharing.
    tree.makeDirectory("RJGQ.2.1/InstallVersions/InstallVersion_1.txt");
    tree.makeDirectory("RJGQ.2.1/InstallVersion.txt");
    tree.write("RJGQ.2.1/patch_3.txt", "");
    const ScopedEnvironment home("KOR_HOME", tree.path() + "RJGQ.2.1/kor");
    const std::string report = "\r\nPatches installed in this flow:\r\nPatch #3\r\n\r\n";
    char text[256] = {};
    EXPECT_STREQ(KORFlow::GetVersionText(text, sizeof text), report.c_str());
    // Read without a fault, the report is the process's answer from now on.
    tree.write("RJGQ.2.1/InstallVersions/InstallVersion_2.txt", "Install Id: 8\n");
    EXPECT_STREQ(KORFlow::GetVersionText(text, sizeof text), report.c_str());
  });
}

/// Sets the creation and modification times of `path` to `unixSeconds`: Wine lists the modification
/// time as the creation time where the file system keeps none it can set.
void dateFile(const std::string& path, std::int64_t unixSeconds) {
  const HANDLE file = ::CreateFileW(wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  const auto ticks = static_cast<std::uint64_t>(unixSeconds + 11644473600) * 10000000u;  // since 1601, 100 ns
  const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  EXPECT_TRUE(::SetFileTime(file, &time, nullptr, &time));
  ::CloseHandle(file);
}

TEST(HeldFiles, FilesCreatedPast2038SortAfterOlderOnes) {
  inFreshModule([] {
    const TempTree tree;
    tree.makeDirectory("RJGQ.2.1/kor");
    // By name the 2040 file comes first; oldest first, the 2024 one does, and its Install Id wins.
    const std::string later = tree.write("RJGQ.2.1/InstallVersions/InstallVersion_1.txt", "Install Id: of 2040\n");
    const std::string earlier = tree.write("RJGQ.2.1/InstallVersions/InstallVersion_2.txt", "Install Id: of 2024\n");
    dateFile(later, 2209032000);    // 2040-01-01
    dateFile(earlier, 1717243200);  // 2024-06-01
    const ScopedEnvironment home("KOR_HOME", tree.path() + "RJGQ.2.1/kor");
    EXPECT_EQ(installId(), "Install Id: of 2024\n");
    EXPECT_STREQ(KORFlowID(), "Install Id: of 2024\r\n\r\nInstall Id: of 2040\r\n\r\n");
  });
}

}  // namespace
