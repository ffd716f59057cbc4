// An installation tree gives the same report wherever it is read: the climb out of KOR_HOME, the case
// of the installer's names, and the order of files with equal keys.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "report/InstallTree.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#endif

using korflowid::test::InstallTree;
using korflowid::test::patchBlock;
using korflowid::test::report;

namespace {

TEST(TreeReading, KorHomeClimbsToTheDirectoryItNamesWhateverItIs) {
  for (const bool fallbackOnly : {false, true}) {
    for (const bool linked : {false, true}) {
#if defined(_WIN32)
      if (linked) continue;  // links need privileges there
#endif
      SCOPED_TRACE(std::string(linked ? "kor a link" : "kor missing") + (fallbackOnly ? ", fallback file only" : ""));
      InstallTree tree;
      tree.write(fallbackOnly ? "InstallVersion.txt" : "InstallVersions/InstallVersion_1.txt", "Install Id: 7\n");
      tree.write("patch_2.txt", "");
      std::filesystem::remove(tree.root() + "kor");
      if (linked) {  // into a directory whose parent holds no installation
        tree.makeDirectory("elsewhere/kor");
        std::filesystem::create_directory_symlink(tree.root() + "elsewhere/kor", tree.root() + "kor");
      }
      EXPECT_EQ(report(), "Install Id: 7\r\n\r\n" + patchBlock({"2"}));
    }
  }
}

TEST(TreeReading, InstallerNamesAreFoundWhateverTheirCase) {
  const struct {
    std::vector<const char*> files;  // below the root, each holding "Install Id: <its index>"
    std::string report;
  } cases[] = {
    {{"PATCH_3.TXT"}, patchBlock({"3.TXT"})},
    {{"installversions/INSTALLVERSION_1.TXT"}, "Install Id: 0\r\n\r\n"},
    {{"INSTALLVERSION.TXT"}, "Install Id: 0\r\n\r\n"},
#if !defined(_WIN32)  // a Windows directory cannot hold two names that differ only in case
    // Another spelling only where the exact name is missing; of several, the first in name order.
    {{"INSTALLVERSIONS/InstallVersion_1.txt", "InstallVersions/InstallVersion_1.txt"}, "Install Id: 1\r\n\r\n"},
    {{"installVersions/InstallVersion_1.txt", "INSTALLVERSIONS/InstallVersion_1.txt"}, "Install Id: 1\r\n\r\n"},
    {{"installversion.txt", "INSTALLVERSION.TXT"}, "Install Id: 1\r\n\r\n"},
    {{"installversions/InstallVersion_1.txt", "InstallVersions"}, ""},  // there, though no directory
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.files.back());
    InstallTree tree;
    for (std::size_t i = 0; i < c.files.size(); ++i) tree.write(c.files[i], "Install Id: " + std::to_string(i) + "\n");
    EXPECT_EQ(report(), c.report);
  }
}

#if !defined(_WIN32)  // the Windows build keeps its search's own order
/// The second a file was created in, as the scan reads it.
long long creationSecond(const std::string& path) {
  struct statx info;
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &info) != 0) return -1;
  return (info.stx_mask & STATX_BTIME) ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec;
}

TEST(TreeReading, EqualKeysComeInUpperCasedNameOrder) {
  std::vector<std::string> creationOrder = {"B", "a", "c"};  // byte order, not name order
  do {
    SCOPED_TRACE("created " + creationOrder[0] + creationOrder[1] + creationOrder[2]);
    for (int attempt = 0;; ++attempt) {
      InstallTree tree;
      std::vector<long long> seconds;
      for (const std::string& tag : creationOrder) {
        tree.version(tag, "UPDATE Name: " + tag + "\n");
        seconds.push_back(creationSecond(tree.root() + "InstallVersions/InstallVersion_" + tag + ".txt"));
      }
      if (seconds.front() != seconds.back() && attempt < 3) continue;  // a second ticked over: again
      ASSERT_EQ(seconds.front(), seconds.back());
      EXPECT_EQ(report(), "UPDATE Name: a\r\n\r\nUPDATE Name: B\r\n\r\nUPDATE Name: c\r\n\r\n");
      break;
    }
  } while (std::next_permutation(creationOrder.begin(), creationOrder.end()));

  InstallTree tree;
  for (const char* name : {"patch_5.txt", "patch_6.txt", "patch_05.txt", "patch_c.txt", "PATCH_B.txt", "patch_a.txt"}) {
    tree.write(name, "");
  }
  EXPECT_EQ(report(), patchBlock({"a", "B", "c", "05", "5", "6"}));
}
#endif

TEST(TreeReading, CreationTimeOrdersVersionFilesNotModificationTime) {
#if !defined(__linux__)
  GTEST_SKIP() << "birth times are read through statx; Wine reports the modification time as the creation time";
#else
  InstallTree tree;
  tree.version("2", "UPDATE Name: created first\n");
  const std::string older = tree.root() + "InstallVersions/InstallVersion_2.txt";
  struct statx info;
  if (::statx(AT_FDCWD, older.c_str(), 0, STATX_BTIME, &info) != 0 || !(info.stx_mask & STATX_BTIME)) {
    GTEST_SKIP() << "the file system under " << tree.root() << " keeps no birth times";
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // creation times count in whole seconds
  tree.version("1", "UPDATE Name: created second\n");
  // The older file is modified last, and its name sorts last too: only its birth time puts it first.
  const timespec later[2] = {{0, UTIME_OMIT}, {info.stx_btime.tv_sec + 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, older.c_str(), later, 0), 0);
  EXPECT_EQ(report(), "UPDATE Name: created first\r\n\r\nUPDATE Name: created second\r\n\r\n");
#endif
}

}  // namespace
