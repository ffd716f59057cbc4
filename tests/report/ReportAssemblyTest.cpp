// KORFlowID(): the fallback file, the order of the blocks and the report buffer's limit.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "report/InstallTree.h"

using korflowid::test::InstallTree;
using korflowid::test::patchBlock;
using korflowid::test::report;
using korflowid::test::ScopedEnvironment;

namespace {

const std::string kPatches = patchBlock({"1", "2"});
const std::string kDirectory = "(a directory)";

TEST(ReportAssembly, FallbackOnlyWhenTheVersionTextIsShort) {
  const struct {
    const char* what;
    std::optional<std::string> versionFile;
    std::optional<std::string> fallback;  // InstallVersion.txt
    bool patches;
    std::string text;
  } cases[] = {
      {"fallback alone", {}, "Install Id: 17\nFlow Id: 2\n", false, "Install Id: 17\r\nFlow Id: 2\r\n\r\n"},
      {"single empty version file", "", "Install Id: 17\n", true, "Install Id: 17\r\n\r\n\r\n" + kPatches},
      {"version file of one empty line", "\n", "Install Id: 17\n", false, "\r\n\r\n"},
      {"version line of a zero byte", std::string("\0\n", 2), "Install Id: 17\n", false, "\r\n\r\n"},
      {"first version line too long", std::string(200, 'y') + "\nb\n", "F\n", false, "F\r\n\r\n\r\n"},
      {"three bytes of version text", "x\n", "Install Id: 17\n", true, "x\r\n\r\n" + kPatches},
      {"fallback read as text", {}, "A\r\nB\rC\x1a\nD\n", false, "A\r\nB\rC\r\n\r\n"},
      {"fallback long line", {}, "A\n" + std::string(250, 'z') + "\nB\n", false, "A\r\n\r\n"},
      {"empty fallback", {}, "", true, "\r\n" + kPatches},
      {"no version file, patches", {}, {}, true, kPatches},
      {"empty version file, patches", "", {}, true, "\r\n" + kPatches},
      {"unopenable fallback, patches", {}, kDirectory, true, kPatches},
      {"unopenable fallback alone", {}, kDirectory, false, ""},
      {"nothing at all", {}, {}, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InstallTree tree;
    if (c.versionFile) tree.version("1", *c.versionFile);
    if (c.fallback == kDirectory) {
      tree.makeDirectory("InstallVersion.txt");
    } else if (c.fallback) {
      tree.write("InstallVersion.txt", *c.fallback);
    }
    if (c.patches) {
      tree.write("patch_2.txt", "");
      tree.write("patch_1.txt", "");
    }
    EXPECT_EQ(report(), c.text);
  }
}

/// File bytes whose lines, each with CR LF, and the closing CR LF fill exactly `reportBytes`.
std::string fileFilling(std::size_t reportBytes) {
  std::string bytes;
  for (std::size_t left = reportBytes - 2; left > 0;) {
    std::size_t line = std::min<std::size_t>(left, 150);
    if (left - line == 1) line -= 2;  // no line is a single byte long
    bytes += std::string(line - 2, 'x') + "\n";
    left -= line;
  }
  return bytes;
}

TEST(ReportAssembly, ReportsOf20000BytesOrMoreAreNotDelivered) {
  const std::size_t patchBytes = patchBlock({"1"}).size();
  const struct {
    bool fallback;  // the lines come from InstallVersion.txt instead of a version file
    bool patch;
    std::size_t total;
  } cases[] = {{false, false, 19999}, {false, false, 20000}, {false, true, 19999},
               {false, true, 20000},  {true, false, 19999},  {true, false, 20000},
               {true, true, 19999},   {true, true, 20001},   {false, true, 500000}};
  InstallTree tree;
  char* const buffer = KORFlowID();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "fallback " << c.fallback << ", patch " << c.patch << ", " << c.total);
    tree.write(c.fallback ? "InstallVersions/InstallVersion_1.txt" : "InstallVersion.txt", "");
    tree.write(c.fallback ? "InstallVersion.txt" : "InstallVersions/InstallVersion_1.txt",
               fileFilling(c.total - (c.patch ? patchBytes : 0) - (c.fallback ? 2 : 0)));
    if (c.patch) tree.write("patch_1.txt", "");
    const char* const text = KORFlowID();
    EXPECT_EQ(text, buffer);
    EXPECT_EQ(std::string(text).size(), c.total < 20000 ? c.total : 0);  // also after a filled buffer
    std::filesystem::remove(tree.root() + "patch_1.txt");
  }
}

TEST(ReportAssembly, UnsetHomeEmptiesTheSameBuffer) {
  InstallTree tree;
  tree.version("1", "Install Id: 1\n");
  char* const filled = KORFlowID();
  EXPECT_EQ(std::string(filled), "Install Id: 1\r\n\r\n");
  ScopedEnvironment unset("KOR_HOME", std::nullopt);
  EXPECT_EQ(KORFlowID(), filled);
  EXPECT_EQ(filled[0], '\0');
}

}  // namespace
