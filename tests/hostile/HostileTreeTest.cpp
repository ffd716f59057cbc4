// Installation trees that disks, users and broken installers leave behind.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "hostile/Hostile.h"
#include "support/TestSupport.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#endif

namespace korflowid::test {
namespace {

/// Gives the owner back what rows took from it, so that the tree can go.
void makeRemovable(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  if (fs::is_symlink(path, ignored)) return;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
  if (!fs::is_directory(path, ignored)) return;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, ignored)) makeRemovable(entry.path().string());
}

/// KOR_HOME is <tree>/RJGQ.2.1/kor, so files are written below <tree>/RJGQ.2.1/.
class Installation {
 public:
  Installation() : home_("KOR_HOME", tree_.makeDirectory("RJGQ.2.1/kor")) {}
  ~Installation() { makeRemovable(tree_.path()); }
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;
  std::string root() const { return tree_.path() + "RJGQ.2.1/"; }
  std::string write(const std::string& relative, std::string_view bytes) const {
    return tree_.write("RJGQ.2.1/" + relative, bytes);
  }
  std::string versionPath(const std::string& tag) const {
    return root() + "InstallVersions/InstallVersion_" + tag + ".txt";
  }

 private:
  TempTree tree_;
  ScopedEnvironment home_;
};

std::string report() {
  return KORFlowID();
}

const std::string kGoodFile = "Install Id: 4711\nFlow Id: 3\n";
const std::string kGoodLines = "Install Id: 4711\r\nFlow Id: 3\r\n\r\n";

TEST(HostileTree, SpecialFilesNamedLikeVersionFilesContributeOnlyTheirEmptyLine) {
#if defined(_WIN32)
  GTEST_SKIP() << "FIFOs, /dev/zero and /dev/urandom are POSIX-only";
#else
  Installation tree;
  tree.write("InstallVersions/InstallVersion_1.txt", kGoodFile);
  ASSERT_EQ(::mkfifo(tree.versionPath("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(tree.versionPath("directory"));
  std::filesystem::create_symlink(tree.root() + "nowhere", tree.versionPath("dangling"));
  std::filesystem::create_symlink(tree.versionPath("loop"), tree.versionPath("loop"));
  std::filesystem::create_symlink("/dev/zero", tree.versionPath("zero"));
  std::filesystem::create_symlink("/dev/urandom", tree.versionPath("urandom"));

  std::string text;
  EXPECT_LT(secondsFor([&] { text = report(); }), 1.0);
  // Six unreadable entries give one empty line each, wherever their creation time puts them.
  EXPECT_EQ(text.size(), kGoodLines.size() + 6 * 2);
  EXPECT_NE(text.find(kGoodLines), std::string::npos) << text;
  std::string rest = text;
  rest.erase(rest.find(kGoodLines), kGoodLines.size());
  EXPECT_EQ(rest, "\r\n\r\n\r\n\r\n\r\n\r\n");
#endif
}

TEST(HostileTree, SpecialFallbackFilesGiveNothing) {
#if defined(_WIN32)
  GTEST_SKIP() << "FIFOs and /dev/zero are POSIX-only";
#else
  for (const char* kind : {"fifo", "zero", "loop", "directory"}) {
    SCOPED_TRACE(kind);
    Installation tree;
    const std::string fallback = tree.root() + "InstallVersion.txt";
    if (std::string(kind) == "fifo") {
      ASSERT_EQ(::mkfifo(fallback.c_str(), 0600), 0);
    }
    if (std::string(kind) == "zero") std::filesystem::create_symlink("/dev/zero", fallback);
    if (std::string(kind) == "loop") std::filesystem::create_symlink(fallback, fallback);
    if (std::string(kind) == "directory") std::filesystem::create_directory(fallback);
    tree.write("patch_3.txt", "");
    std::string text;
    EXPECT_LT(secondsFor([&] { text = report(); }), 1.0);
    EXPECT_EQ(text, "Patches installed in this flow:\r\nPatch #3\r\n\r\n");
  }
#endif
}

TEST(HostileTree, HugeFilesCostNeitherTimeNorMemory) {
  Installation tree;
  // A sparse 4 GiB version file, a 1 MiB line without a line feed, and a good file between them.
  tree.write("InstallVersions/InstallVersion_1.txt", "");
  std::filesystem::resize_file(tree.versionPath("1"), std::uintmax_t{4} << 30);
  tree.write("InstallVersions/InstallVersion_2.txt", kGoodFile);
  tree.write("InstallVersions/InstallVersion_3.txt", std::string(1 << 20, 'x'));

  const std::optional<Measured> measured = measureInChild([] { return report(); });
#if defined(_WIN32)
  GTEST_SKIP() << "peak memory is measured in a forked child";
#endif
  ASSERT_TRUE(measured);
  expectBoundedCost("4 GiB sparse + 1 MiB unbroken version files", *measured);
  EXPECT_EQ(measured->result.size(), kGoodLines.size() + 2 * 2);
  EXPECT_NE(measured->result.find(kGoodLines), std::string::npos);
}

TEST(HostileTree, HugeFallbackCostsNeitherTimeNorMemory) {
  Installation tree;
  tree.write("InstallVersion.txt", "");
  std::filesystem::resize_file(tree.root() + "InstallVersion.txt", std::uintmax_t{4} << 30);
  tree.write("patch_1.txt", "");
  const std::optional<Measured> measured = measureInChild([] { return report(); });
#if defined(_WIN32)
  GTEST_SKIP() << "peak memory is measured in a forked child";
#endif
  ASSERT_TRUE(measured);
  expectBoundedCost("4 GiB sparse fallback", *measured);
  EXPECT_EQ(measured->result, "\r\nPatches installed in this flow:\r\nPatch #1\r\n\r\n");
}

TEST(HostileTree, ShortLinesOfZeroBytesStopAtTheReportLimit) {
  // The cheapest input per report byte: 199 zero bytes give an empty line. Reading must stop once
  // the report cannot fit any more, not run through the whole file.
  Installation tree;
  std::string line(199, '\0');
  line += '\n';
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += line;  // 4 MB, 20000 empty lines of report
  tree.write("InstallVersions/InstallVersion_1.txt", bytes);
  const std::optional<Measured> measured = measureInChild([] { return report(); });
#if defined(_WIN32)
  GTEST_SKIP() << "peak memory is measured in a forked child";
#endif
  ASSERT_TRUE(measured);
  expectBoundedCost("4 MB of empty zero-byte lines", *measured);
  EXPECT_EQ(measured->result, "");
}

TEST(HostileTree, TenThousandVersionAndPatchFiles) {
  Installation tree;
  tree.write("InstallVersions/InstallVersion_0.txt", "V0\n");
#if defined(_WIN32)
  const int files = 3000;  // Wine takes some 5 ms to create a file; 3000 of each still overflow the report
#else
  const int files = 10000;
#endif
  for (int i = 1; i < files; ++i) {
    std::ofstream(tree.versionPath(std::to_string(i))) << "V" << i << "\n";
    std::ofstream(tree.root() + "patch_" + std::to_string(i) + ".txt");
  }
  std::string text = "not called";
  const double seconds = secondsFor([&] { text = report(); });
  std::printf("%d version and %d patch files: %.3f s\n", files, files, seconds);
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(text, "") << "that many files cannot fit the report";
}

TEST(HostileTree, FifteenHundredPatchFilesAllTakenInOrder) {
  // As many as fit the report: every one listed once, by number, whatever order they were made in.
  Installation tree;
  std::vector<int> numbers(1500);
  for (int i = 0; i < 1500; ++i) numbers[static_cast<std::size_t>(i)] = i;
  std::shuffle(numbers.begin(), numbers.end(), std::mt19937(7));
  for (int number : numbers) std::ofstream(tree.root() + "patch_" + std::to_string(number) + ".txt");
  std::string expected = "Patches installed in this flow:\r\n";
  for (int i = 0; i < 1500; ++i) expected += "Patch #" + std::to_string(i) + "\r\n";
  expected += "\r\n";
  std::string text;
  EXPECT_LT(secondsFor([&] { text = report(); }), 1.0);
  EXPECT_EQ(text, expected);
}

TEST(HostileTree, LongAndUnusualNames) {
  Installation tree;
  const std::string longVersion = std::string(255 - 19, 'v');  // "InstallVersion_" + ".txt" make 255
  const std::string longPatch = "42" + std::string(255 - 12, 'z');
  tree.write("InstallVersions/InstallVersion_" + longVersion + ".txt", "Install Id: long\n");
  tree.write("InstallVersions/InstallVersion_ with spaces .txt", "Flow Id: spaced\n");
  tree.write("InstallVersions/InstallVersion_\xff\xfe\x80.txt", "UPDATE Name: \xff\xfe\n");
  tree.write("patch_" + longPatch + ".txt", "");
  tree.write("patch_ 5 .txt", "");
  tree.write("patch_\xfe\x33.txt", "");
  const std::string text = report();
  for (const char* line : {"Install Id: long\r\n\r\n", "Flow Id: spaced\r\n\r\n", "UPDATE Name: \xff\xfe\r\n\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_NE(
      text.find("Patches installed in this flow:\r\nPatch #\xfe\x33\r\nPatch # 5 \r\nPatch #" + longPatch + "\r\n\r\n"),
      std::string::npos)
      << text;
}

TEST(HostileTree, UnusualInstallationDirectoryNames) {
  TempTree tree;
  const std::string flow = "My Inst \xff\xfe/RJGQ.2.1 \x80";
  tree.write(flow + "/InstallVersions/InstallVersion_1.txt", kGoodFile);
  ScopedEnvironment env("KOR_HOME", tree.makeDirectory(flow + "/kor"));
  char code[16];
  EXPECT_EQ(KORFlowID(code, sizeof code), 2u);
  EXPECT_STREQ(code, "RJ");
  EXPECT_EQ(report(), kGoodLines);
}

#if !defined(_WIN32)
/// A tree whose first report either is its state, and kept for the process, or was read with a failure,
/// and answers only its own call: the tree changes after the first answer, and the second shows which.
struct KeptCase {
  const char* name;
  Restriction restriction;  // what the queries run under
  void (*build)(const Installation&);
  void (*change)(const Installation&);
  std::string first;   // GetVersionText
  std::string second;  // after the change: `first` where it was kept
};

void PrintTo(const KeptCase& c, std::ostream* out) {
  *out << c.name;
}

std::string versionText() {
  std::vector<char> text(20000);
  return KORFlow::GetVersionText(text.data(), static_cast<unsigned int>(text.size()));
}

class KeptOrNot : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptOrNot, FirstAnswerAndTheNext) {
  const KeptCase& c = GetParam();
  if (const auto why = whyUnavailable(c.restriction)) GTEST_SKIP() << *why;
  inFreshModule([&c] {
    ::umask(022);  // the tree stays passable for a caller who owns none of it
    Installation tree;
    tree.write("patch_3.txt", "");
    c.build(tree);
    Restricted restricted(c.restriction);
    EXPECT_EQ(versionText(), c.first);
    restricted.asOwner([&] { c.change(tree); });
    EXPECT_EQ(versionText(), c.second);
  });
}

const std::string kOlderLines = "Install Id: 1999\r\n\r\n";  // InstallVersion.txt of an older release
const std::string kPatch3 = "Patches installed in this flow:\r\nPatch #3\r\n\r\n";

void withOlderFallback(const Installation& tree) {
  tree.write("InstallVersion.txt", "Install Id: 1999\n");
}

/// The only version file a link to `target`, beside an older fallback.
void loneVersionLink(const Installation& tree, const std::string& target) {
  withOlderFallback(tree);
  std::filesystem::create_directory(tree.root() + "InstallVersions");
  std::filesystem::create_symlink(target, tree.versionPath("1"));
}

void addPatch(const Installation& tree) {
  tree.write("patch_4.txt", "");
}

void setModificationTime(const std::string& path, std::time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

const KeptCase kKeptCases[] = {
    // A link that loops, or leads to a name too long, stays so: no version file, and the fallback stands in.
    {"LoopingLink", Restriction::None, [](const Installation& tree) { loneVersionLink(tree, "InstallVersion_1.txt"); },
     addPatch, kOlderLines + "\r\n" + kPatch3, kOlderLines + "\r\n" + kPatch3},
    {"LinkToANameTooLong", Restriction::None,
     [](const Installation& tree) { loneVersionLink(tree, std::string(300, 'n')); }, addPatch,
     kOlderLines + "\r\n" + kPatch3, kOlderLines + "\r\n" + kPatch3},
    // A version file the user may not read is no reason to show an older release's id.
    {"UnreadableLoneVersionFile", Restriction::Unprivileged,
     [](const Installation& tree) {
       withOlderFallback(tree);
       tree.write("InstallVersions/InstallVersion_1.txt", "Install Id: 4711\n");
       ::chmod(tree.versionPath("1").c_str(), unprivilegedMode(0600));
     },
     [](const Installation& tree) { ::chmod(tree.versionPath("1").c_str(), 0644); }, "\r\n" + kPatch3,
     "Install Id: 4711\r\n\r\n" + kPatch3},
    // Execute-only, as on shared servers: its exact names open, its patches cannot be listed.
    {"ExecuteOnlyRoot", Restriction::Unprivileged,
     [](const Installation& tree) {
       tree.write("InstallVersion.txt", "Install Id: 4711\n");
       ::chmod(tree.root().c_str(), unprivilegedMode(0711));
     },
     [](const Installation& tree) { tree.write("InstallVersion.txt", "Install Id: 4712\n"); },
     "Install Id: 4711\r\n\r\n", "Install Id: 4712\r\n\r\n"},
    // Where statx is refused, files are ordered by modification time: by name or by birth, 1 is first.
    {"StatxRefused", Restriction::StatxRefused,
     [](const Installation& tree) {
       tree.write("InstallVersions/InstallVersion_1.txt", "Install Id: 1\n");
       tree.write("InstallVersions/InstallVersion_2.txt", "Install Id: 2\n");
       setModificationTime(tree.versionPath("1"), 1893456000);  // 2030
       setModificationTime(tree.versionPath("2"), 978307200);   // 2001
     },
     addPatch, "Install Id: 2\r\n\r\nInstall Id: 1\r\n\r\n" + kPatch3,
     "Install Id: 2\r\n\r\nInstall Id: 1\r\n\r\n" + kPatch3},
};

INSTANTIATE_TEST_SUITE_P(HostileTree, KeptOrNot, ::testing::ValuesIn(kKeptCases),
                         [](const ::testing::TestParamInfo<KeptCase>& param) { return param.param.name; });
#endif

}  // namespace
}  // namespace korflowid::test
