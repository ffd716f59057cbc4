// KOR_HOME values no installer writes: huge, every byte value, line breaks, right at the root buffer.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "hostile/Hostile.h"
#include "support/TestSupport.h"

namespace korflowid::test {
namespace {

constexpr unsigned int kNotReducible = 0xFFFFFFFEu;

std::string flowCode(unsigned int* length = nullptr) {
  GuardedBuffer buffer(1100);
  const unsigned int result = KORFlowID(buffer.data(), buffer.size());
  EXPECT_TRUE(buffer.guardsIntact());
  if (length) *length = result;
  return result < buffer.size() ? std::string(buffer.data()) : std::string();
}

TEST(HostileHome, OneMebibyteIsRefusedQuicklyAndWholeRootStillCopies) {
  inFreshModule([] {
#if defined(_WIN32)
    const std::size_t fill = 32000;  // a Windows environment variable holds at most 32767 characters
#else
    const std::size_t fill = std::size_t{1} << 20;
#endif
    // Set here, inside the fresh process: no exec takes a variable of this size along.
    const std::string home = "/inst/RJGQ.2.1/" + std::string(fill, 'k');
    ScopedEnvironment env("KOR_HOME", home);
    const double seconds = secondsFor([&] {
      unsigned int length = 0;
      captureStdout([&] { EXPECT_EQ(flowCode(&length), ""); });
      EXPECT_EQ(length, kNotReducible);
      EXPECT_STREQ(KORFlowID(), "");
      char line[64];
      EXPECT_STREQ(KORFlow::GetInstallId(line, sizeof line), "");
      captureStdout([] { EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowUnknown); });
    });
    EXPECT_LT(seconds, 1.0);

    EXPECT_EQ(getKORRoot(nullptr, 0), home.size() + 4);
    GuardedBuffer root(home.size() + 4);
    EXPECT_EQ(getKORRoot(root.data(), root.size()), home.size() + 4);
    EXPECT_TRUE(root.holdsCopyOf(home + "/../"));
    EXPECT_TRUE(root.guardsIntact());
  });
}

TEST(HostileHome, EveryByteValueInTheFlowDirectoryName) {
  for (int value = 1; value <= 255; ++value) {
    const char byte = static_cast<char>(value);
    SCOPED_TRACE(value);
    ScopedEnvironment env("KOR_HOME", std::string("/inst/Q") + byte + "Z/kor");
    // A separator splits the name; a byte that starts ".." cannot follow a separator here.
    const std::string expected = byte == '/' || byte == '\\' ? "Z" : std::string("Q") + byte + "Z";
    EXPECT_EQ(flowCode(), expected);
  }
}

TEST(HostileHome, AllByteValuesAtOnce) {
  std::string bytes;
  for (int value = 1; value <= 255; ++value) {
    if (value != '/' && value != '\\') bytes += static_cast<char>(value);
  }
  ScopedEnvironment env("KOR_HOME", "/inst/" + bytes + "/kor");
  unsigned int length = 0;
  EXPECT_EQ(flowCode(&length), bytes);
  EXPECT_EQ(length, bytes.size());

  ScopedEnvironment raw("KOR_HOME", bytes);  // no separator before the "/..": nothing to reduce
  std::string out = captureStdout([&] { flowCode(&length); });
  EXPECT_EQ(length, kNotReducible);
  EXPECT_EQ(out, "Cannot compute value of KORROOT using getKORRoot\n");
}

TEST(HostileHome, LineBreaksInTheTreeAreJustBytes) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows names cannot hold line breaks";
#endif
  TempTree tree;
  const std::string flow = "RJ\nGQ.2.1\r\n";
  tree.write(flow + "/InstallVersion.txt", "Install Id: 4711\r\n");
  ScopedEnvironment env("KOR_HOME", tree.makeDirectory(flow + "/kor"));
  EXPECT_EQ(flowCode(), "RJ");
  EXPECT_STREQ(KORFlowID(), "Install Id: 4711\r\n\r\n");
}

/// A real directory whose path as KOR_HOME has exactly `length` bytes, ending in "RJGQ.2.1/kor".
std::string homeOfLength(const TempTree& tree, std::size_t length) {
  const std::string tail = "/RJGQ.2.1/kor";
  std::string middle;
  std::size_t fill = length - tree.path().size() - tail.size();
  while (fill > 0) {
    const std::size_t segment = std::min<std::size_t>(fill, 200);
    // A segment followed by "/" needs two bytes at least, so never leave a single byte over.
    const std::size_t take = fill - segment == 1 ? segment - 1 : segment;
    middle += std::string(take, 'd');
    fill -= take;
    if (fill > 0) {
      middle += '/';
      --fill;
    }
  }
  return tree.makeDirectory(middle + tail);
}

TEST(HostileHome, AtTheRootBufferLimit) {
  const struct {
    std::size_t length;
    bool fits;  // the root ("/../" added) still fits the reduction's 1024 bytes with its zero
  } cases[] = {{1019, true}, {1020, false}, {1023, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    TempTree tree;
    const std::string home = homeOfLength(tree, c.length);
    ASSERT_EQ(home.size(), c.length);
    std::filesystem::path root(home);
    tree.write(root.parent_path().generic_string().substr(tree.path().size()) + "/InstallVersion.txt",
               "Install Id: 7\n");
    ScopedEnvironment env("KOR_HOME", home);

    unsigned int length = 0;
    const std::string out = captureStdout([&] { EXPECT_EQ(flowCode(&length), c.fits ? "RJ" : ""); });
    EXPECT_EQ(length, c.fits ? 2u : kNotReducible);
    EXPECT_EQ(out, c.fits ? "" : "Cannot compute value of KORROOT using getKORRoot\n");
    // The report does not depend on the reduction's buffer.
    EXPECT_STREQ(KORFlowID(), "Install Id: 7\r\n\r\n");
    GuardedBuffer exact(c.length + 4);
    EXPECT_EQ(getKORRoot(exact.data(), exact.size()), c.length + 4);
    EXPECT_TRUE(exact.holdsCopyOf(home + "/../"));
    EXPECT_TRUE(exact.guardsIntact());
  }
}

}  // namespace
}  // namespace korflowid::test
