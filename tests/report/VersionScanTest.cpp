// Version and patch files as they show in the installation report.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "report/InstallTree.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using korflowid::test::InstallTree;
using korflowid::test::patchBlock;
using korflowid::test::report;

namespace {

const std::string k199(199, 'x');
const std::string k200(200, 'y');
const std::string kControlZ = "\x1a";

TEST(VersionScan, OlderFileFirstWhateverItsName) {
  InstallTree tree;
  tree.version("2", "Install Id: 4711\nFlow Id: 3");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // creation times count in whole seconds
  tree.version("1", "UPDATE Name: U1\n");
  tree.write("patch_10.txt", "");
  tree.write("patch_2.txt", "");
  EXPECT_EQ(report(),
            "Install Id: 4711\r\n"
            "Flow Id: 3\r\n"
            "\r\n"
            "UPDATE Name: U1\r\n"
            "\r\n"
            "Patches installed in this flow:\r\n"
            "Patch #2\r\n"
            "Patch #10\r\n"
            "\r\n");
}

TEST(VersionScan, FileBytesBecomeCrLfLines) {
  const struct {
    const char* what;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"LF", "Install Id: 4711\nFlow Id: 3\n", "Install Id: 4711\r\nFlow Id: 3\r\n\r\n"},
      {"CR LF", "Install Id: 4711\r\nFlow Id: 3\r\n", "Install Id: 4711\r\nFlow Id: 3\r\n\r\n"},
      {"last line without LF", "a\nb", "a\r\nb\r\n\r\n"},
      {"empty lines", "\n\na\n", "\r\n\r\na\r\n\r\n"},
      {"lone CRs stay", "a\rb\r\r\nc\r", "a\rb\r\r\nc\r\r\n\r\n"},
      {"zero byte cuts its line", std::string("ab\0cd\nef\n", 9), "ab\r\nef\r\n\r\n"},
      {"control-Z ends the file", "a\nb" + kControlZ + "c\nd\n", "a\r\nb\r\n\r\n"},
      {"control-Z first", kControlZ + "a\n", "\r\n"},
      {"empty file", "", "\r\n"},
      {"199 characters", k199 + "\nb\n", k199 + "\r\nb\r\n\r\n"},
      {"199 characters and CR LF", k199 + "\r\nb", k199 + "\r\nb\r\n\r\n"},
      {"199 characters at the end", "a\n" + k199, "a\r\n" + k199 + "\r\n\r\n"},
      {"200 characters end the file", "a\n" + k200 + "\nb\n", "a\r\n\r\n"},
      {"200 characters at the end", "a\n" + k200, "a\r\n\r\n"},
      {"250-character third line", "a\nb\n" + std::string(250, 'z') + "\nc\n", "a\r\nb\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InstallTree tree;
    tree.version("1", c.bytes);
    EXPECT_EQ(report(), c.text);
  }
}

TEST(VersionScan, LongLineEndsOnlyItsOwnFile) {
  InstallTree tree;
  tree.version("long", "a\n" + k200 + "\nlost\n");
  tree.version("next", "b1\nb2\n");
  const std::string longFile = "a\r\n\r\n", nextFile = "b1\r\nb2\r\n\r\n";
  const std::string text = report();
  EXPECT_TRUE(text == longFile + nextFile || text == nextFile + longFile) << text;
}

TEST(VersionScan, EntriesThatAreNoRegularFileGiveOnlyTheirLineEnd) {
  InstallTree tree;
  tree.version("x", "x\n");
  tree.makeDirectory("InstallVersions/InstallVersion_dir.txt");
  std::size_t others = 1;
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo((tree.root() + "InstallVersions/InstallVersion_fifo.txt").c_str(), 0600), 0);
  ++others;  // a FIFO must neither block nor be read
#endif
  std::string text = report();
  ASSERT_EQ(std::count(text.begin(), text.end(), 'x'), 1) << text;
  text.erase(text.find('x'), 1);
  std::string lineEnds;  // the file's line and closing line end, and one from each other entry
  for (std::size_t i = 0; i < others + 2; ++i) lineEnds += "\r\n";
  EXPECT_EQ(text, lineEnds);
}

TEST(VersionScan, PatchNumbersOrderTheList) {
  const struct {
    std::vector<std::string> names;  // a trailing "/" makes a directory
    std::vector<std::string> listed;
  } cases[] = {
      {{"patch_10.txt", "patch_2.txt", "patch_007.txt", "patch_9.txt/"}, {"2", "007", "9", "10"}},
      {{"patch_1.txt", "patch_beta.txt", "patch_-3.txt"}, {"-3", "beta", "1"}},
      {{"patch_.txt"}, {""}},
      {{"patch_8.txt.txt", "patch_3x.txt", "patch_ 4.txt", "patch_+6.txt", "patch_a_b5.txt"},
       {"a_b5", "3x", " 4", "+6", "8"}},
      {{"patch_99999999999.txt", "patch_-99999999999.txt", "patch_2147483646.txt"},
       {"-99999999999", "2147483646", "99999999999"}},
      {{"patch_5.tx", "xpatch_6.txt", "patch_7.txt~", "patch.txt"}, {}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    InstallTree tree;
    for (const std::string& name : c.names) {
      if (name.back() == '/') {
        tree.makeDirectory(name);
      } else {
        tree.write(name, "not read");
      }
    }
    EXPECT_EQ(report(), patchBlock(c.listed))
        << c.names.size() << " names, first " << (c.names.empty() ? "" : c.names[0]);
  }
}

TEST(VersionScan, EqualPatchNumbersComeInNameOrder) {
  InstallTree tree;
  for (int zeros = 0; zeros < 40; ++zeros)
    tree.write("patch_" + std::string(static_cast<std::size_t>(zeros), '0') + "5.txt", "");
  tree.write("patch_4.txt", "");
  tree.write("patch_6.txt", "");
  std::vector<std::string> listed = {"4"};
#if defined(_WIN32)
  // The search's own order, which NTFS gives by name already.
  for (const auto& entry : std::filesystem::directory_iterator(tree.root())) {
    const std::string name = entry.path().filename().string();
    if (name != "patch_4.txt" && name != "patch_6.txt" && name.rfind("patch_", 0) == 0)
      listed.push_back(name.substr(6, name.size() - 10));
  }
#else
  for (int zeros = 39; zeros >= 0; --zeros) listed.push_back(std::string(static_cast<std::size_t>(zeros), '0') + "5");
#endif
  listed.push_back("6");
  EXPECT_EQ(report(), patchBlock(listed));
  EXPECT_EQ(report(), patchBlock(listed));
}

TEST(VersionScan, WildcardsMatchWithoutRegardToCase) {
  InstallTree tree;
  tree.version("1", "Flow Id: 1\n");
  tree.write("InstallVersions/INSTALLVERSION_2.TXT", "Flow Id: 2\n");
  tree.write("patch_3.TXT", "");
  tree.write("PATCH_4.txt", "");
  tree.write("patch_5.txt", "");
  std::string text = report();
  // The number text still ends only at a lower-case ".txt", so patch_3.TXT is listed as "3.TXT".
  const std::string expected = "Flow Id: 2\r\n\r\n" + patchBlock({"3.TXT", "4", "5"});
  const std::string firstVersion = "Flow Id: 1\r\n\r\n";
  // Both version files were made in the same second or not; either may come first.
  ASSERT_NE(text.find(firstVersion), std::string::npos) << text;
  text.erase(text.find(firstVersion), firstVersion.size());
  EXPECT_EQ(text, expected);
}

#if !defined(_WIN32)
// Windows names cannot hold control characters; here a line break in a name would forge a report line.
TEST(VersionScan, NamesWithControlCharactersAreNotListed) {
  InstallTree tree;
  tree.write("patch_1\r\nInstall Id: 666.txt", "");
  tree.write("patch_2\t.txt", "");
  tree.version("1\n", "Install Id: 666\n");
  tree.write("patch_3.txt", "");
  EXPECT_EQ(report(), patchBlock({"3"}));
}
#endif

TEST(VersionScan, MoreThan300NamesAreAllTaken) {
  InstallTree tree;
  std::vector<std::string> listed;
  for (int i = 1; i <= 305; ++i) {
    tree.write("patch_" + std::to_string(i) + ".txt", "");
    tree.version(std::to_string(i), "v\n");
    listed.push_back(std::to_string(i));
  }
  std::string versions;
  for (int i = 0; i < 305; ++i) versions += "v\r\n\r\n";
  EXPECT_EQ(report(), versions + patchBlock(listed));
}

}  // namespace
