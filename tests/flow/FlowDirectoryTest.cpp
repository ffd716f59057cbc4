// From KOR_HOME to the flow directory name, observed through the stateless flow code, and the buffer
// contract of KORFlowID(char*, unsigned int).
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"

using korflowid::test::captureStdout;
using korflowid::test::ScopedEnvironment;

namespace {

constexpr unsigned char kGuard = 0xA5;
constexpr unsigned int kHomeMissing = 0xFFFFFFFFu;
constexpr unsigned int kRootNotReducible = 0xFFFFFFFEu;
const std::string kHomeMissingMessage = "Cannot locate Trevix environment using environment variable KOR_HOME\n";
const std::string kNotReducibleMessage = "Cannot compute value of KORROOT using getKORRoot\n";

struct FlowCode {
  unsigned int result;
  std::string code;    // the buffer up to its first zero byte
  std::string output;  // console messages
};

// Names without a flow marker come back whole, so the flow code shows the reduced name.
FlowCode flowCodeFor(const std::optional<std::string>& home) {
  ScopedEnvironment environment("KOR_HOME", home);
  char buffer[64];
  std::memset(buffer, kGuard, sizeof buffer);
  FlowCode out{};
  out.output = captureStdout([&] { out.result = KORFlowID(buffer, 48); });
  for (std::size_t i = 48; i < sizeof buffer; ++i) EXPECT_EQ(static_cast<unsigned char>(buffer[i]), kGuard);
  if (out.result < 48) {
    out.code = buffer;
    for (std::size_t i = out.code.size(); i < 48; ++i) EXPECT_EQ(buffer[i], '\0') << "byte " << i;
  }
  return out;
}

TEST(FlowDirectory, ReducesTheRootTextually) {
  const struct {
    const char* home;
    const char* name;
  } cases[] = {
      {"D:\\inst\\GQ.2.1\\kor", "GQ.2.1"},
      {"D:/inst/GQ.2.1/kor", "GQ.2.1"},
      {"D:\\inst/GQ.2.1\\kor", "GQ.2.1"},
      {"/opt/inst/GQ.2.1/kor", "GQ.2.1"},
      {"D:\\inst\\GQ.2.1\\kor\\", "kor"},  // the trailing separator shifts the result down one level
      {"/opt/GQ.2.1/kor//", ""},           // only one trailing separator is dropped
      {"D:/inst/../GQ.2.1/kor", "D:"},     // the first "/.." wins
      {"/a/b/..c/d/kor", "a"},             // any segment that starts with two dots ends the usable part
      {"inst\\kor", "inst"},
      {"D:/inst//kor", ""},
      {"/kor", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.home);
    const FlowCode got = flowCodeFor(std::string(c.home));
    EXPECT_EQ(got.result, std::strlen(c.name));
    EXPECT_EQ(got.code, c.name);
    EXPECT_EQ(got.output, "");
  }
}

TEST(FlowDirectory, RootsWithoutASegmentToRemoveAreNotReducible) {
  // KOR_HOME of 1019 bytes gives a 1023-byte root, which still fits the 1024-byte root buffer.
  const std::string fits = "/" + std::string(1019 - std::strlen("//GQ.2.1/kor"), 'a') + "/GQ.2.1/kor";
  const std::string tooLong = "/a" + fits.substr(1);
  for (const auto& [home, rootLength] : {std::pair(fits, 1023u), std::pair(tooLong, 1024u)}) {
    ScopedEnvironment environment("KOR_HOME", home);
    ASSERT_EQ(getKORRoot(nullptr, 0), rootLength);
  }
  EXPECT_EQ(flowCodeFor(fits).code, "GQ.2.1");
  std::vector<std::string> homes = {"kor", "D:", tooLong, "/" + std::string(5000, 'b') + "/GQ.2.1/kor"};
#if !defined(_WIN32)
  homes.emplace_back();  // the Windows runtime cannot hold a variable set to the empty string
#endif
  for (const std::string& home : homes) {
    SCOPED_TRACE(home.substr(0, 20));
    const FlowCode got = flowCodeFor(home);
    EXPECT_EQ(got.result, kRootNotReducible);
    EXPECT_EQ(got.output, kNotReducibleMessage);
  }
  const FlowCode unset = flowCodeFor(std::nullopt);
  EXPECT_EQ(unset.result, kHomeMissing);
  EXPECT_EQ(unset.output, kHomeMissingMessage);
}

TEST(FlowCodeBuffer, FollowsTheCopyRuleAndTellsTheFullLength) {
  ScopedEnvironment home("KOR_HOME", std::string("/inst/TAVOProGQ.2/kor"));
  const struct {
    unsigned int size;
    const char* expected;  // the first `size` bytes
  } cases[] = {{0, ""}, {3, "TAV"}, {7, "TAVOPro"}, {8, "TAVOPro\0"}, {12, "TAVOPro\0\0\0\0\0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    char buffer[16];
    std::memset(buffer, kGuard, sizeof buffer);
    EXPECT_EQ(KORFlowID(buffer, c.size), 7u);
    EXPECT_EQ(std::string(buffer, c.size), std::string(c.expected, c.size));
    for (std::size_t i = c.size; i < sizeof buffer; ++i) EXPECT_EQ(static_cast<unsigned char>(buffer[i]), kGuard);
  }
  EXPECT_EQ(KORFlowID(nullptr, 0), 7u);
  EXPECT_EQ(KORFlowID(nullptr, 16), 7u);
}

TEST(FlowCodeBuffer, FailuresWriteOnlyTheFirstByte) {
  for (const std::optional<std::string>& value : {std::optional<std::string>(), std::optional<std::string>("kor")}) {
    ScopedEnvironment home("KOR_HOME", value);
    const unsigned int expected = value ? kRootNotReducible : kHomeMissing;
    char buffer[8];
    std::memset(buffer, kGuard, sizeof buffer);
    const std::string output = captureStdout([&] {
      EXPECT_EQ(KORFlowID(buffer, sizeof buffer), expected);
      EXPECT_EQ(buffer[0], '\0');
      for (std::size_t i = 1; i < sizeof buffer; ++i) EXPECT_EQ(static_cast<unsigned char>(buffer[i]), kGuard);
      // Without room for even one byte nothing is written, but the message still appears.
      std::memset(buffer, kGuard, sizeof buffer);
      EXPECT_EQ(KORFlowID(buffer, 0), expected);
      EXPECT_EQ(static_cast<unsigned char>(buffer[0]), kGuard);
      EXPECT_EQ(KORFlowID(nullptr, 0), expected);
    });
    EXPECT_EQ(output, value ? kNotReducibleMessage + kNotReducibleMessage + kNotReducibleMessage
                            : kHomeMissingMessage + kHomeMissingMessage + kHomeMissingMessage);
  }
}

}  // namespace
