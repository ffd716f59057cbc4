// Directories with far more version and patch files than the report can hold: the scan itself
// must take every one of them, in order, and stay fast.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <string>

#include "report/VersionScan.h"
#include "support/TestSupport.h"

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace korflowid::test {
namespace {

#if defined(_WIN32)
constexpr int kFiles = 2000;  // Wine takes some 5 ms to create a file; the scan's share is what counts
#else
constexpr int kFiles = 10000;
#endif
constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

/// The scan's text; a tree that the test made is read without a fault.
std::string scanVersionFiles(const std::string& directory, ScanMode mode, std::size_t limit) {
  ScanFaults faults;
  std::string text = korflowid::scanVersionFiles(directory, mode, limit, faults);
  EXPECT_FALSE(faults.any);
  return text;
}

double secondsFor(const std::function<void()>& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ManyFilesScan, TenThousandPatchFilesAllListedByNumber) {
  TempTree tree;
  std::vector<int> numbers(kFiles);
  for (int i = 0; i < kFiles; ++i) numbers[static_cast<std::size_t>(i)] = i;
  std::shuffle(numbers.begin(), numbers.end(), std::mt19937(11));
  for (int number : numbers) std::ofstream(tree.path() + "patch_" + std::to_string(number) + ".txt");

  std::string text;
  const double seconds = secondsFor([&] { text = scanVersionFiles(tree.path(), ScanMode::Patches, kNoLimit); });
  std::printf("%d patch files listed in %.3f s\n", kFiles, seconds);
  EXPECT_LT(seconds, 2.0);
  std::string expected = "Patches installed in this flow:\r\n";
  for (int i = 0; i < kFiles; ++i) expected += "Patch #" + std::to_string(i) + "\r\n";
  EXPECT_EQ(text, expected + "\r\n");
}

TEST(ManyFilesScan, TextsAroundTheLimitAreExactOrAtLeastTheLimit) {
  TempTree tree;
  for (int i = 1; i <= 9; ++i) {
    tree.write("patch_" + std::to_string(i) + ".txt", "");
    tree.write("InstallVersions/InstallVersion_" + std::to_string(i) + ".txt",
               "Install Id: " + std::to_string(i) + "\n");
  }
  for (const ScanMode mode : {ScanMode::Patches, ScanMode::InstallVersions}) {
    const std::string exact = scanVersionFiles(tree.path(), mode, kNoLimit);
    for (std::size_t limit = 1; limit <= exact.size() + 20; ++limit) {
      const std::string text = scanVersionFiles(tree.path(), mode, limit);
      EXPECT_TRUE(exact.size() < limit ? text == exact : text.size() >= limit) << "limit " << limit;
    }
  }
}

#if defined(__linux__)
/// The creation second the scan orders by (the modification time where there is none).
long long creationSecond(const std::string& path) {
  struct statx info;
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &info) != 0) return -1;
  return (info.stx_mask & STATX_BTIME) ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec;
}
#endif

TEST(ManyFilesScan, TenThousandVersionFilesAllReadOldestFirst) {
  TempTree tree;
  const std::string directory = tree.makeDirectory("InstallVersions") + "/";
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i) {
    paths.push_back(directory + "InstallVersion_" + std::to_string(i) + ".txt");
    std::ofstream(paths.back()) << "V" << i << "\n";
  }

  std::string text;
  const double seconds = secondsFor([&] { text = scanVersionFiles(tree.path(), ScanMode::InstallVersions, kNoLimit); });
  std::printf("%d version files read in %.3f s\n", kFiles, seconds);
  EXPECT_LT(seconds, 5.0);

  // Every file exactly once; files made in the same second may come in any order.
  std::vector<int> order;
  for (std::size_t at = 0; at < text.size();) {
    ASSERT_EQ(text[at], 'V');
    const std::size_t end = text.find("\r\n\r\n", at);
    ASSERT_NE(end, std::string::npos);
    order.push_back(std::stoi(text.substr(at + 1, end - at - 1)));
    at = end + 4;
  }
  ASSERT_EQ(order.size(), static_cast<std::size_t>(kFiles));
  std::vector<int> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < kFiles; ++i) ASSERT_EQ(sorted[static_cast<std::size_t>(i)], i);
#if defined(__linux__)
  long long previous = -1;
  for (int file : order) {
    const long long second = creationSecond(paths[static_cast<std::size_t>(file)]);
    ASSERT_GE(second, previous) << "file " << file << " listed before an older one";
    previous = second;
  }
#endif
}

}  // namespace
}  // namespace korflowid::test
