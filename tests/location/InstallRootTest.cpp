// The installation root as getKORRoot hands it to callers.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/TestSupport.h"

using korflowid::test::ScopedEnvironment;

namespace {

constexpr unsigned char kGuard = 0xA5;

TEST(InstallRoot, ValueIsKeptAsGivenAndClimbsOneLevel) {
  ScopedEnvironment home("KOR_HOME", std::string("D:\\inst\\RJGQ.2.1\\kor"));
  char buffer[64];
  std::memset(buffer, kGuard, sizeof buffer);
  EXPECT_EQ(getKORRoot(buffer, 40), 24u);
  EXPECT_EQ(std::string(buffer), "D:\\inst\\RJGQ.2.1\\kor/../");
  for (int i = 24; i < 40; ++i) EXPECT_EQ(buffer[i], '\0') << "byte " << i;
  for (int i = 40; i < 64; ++i) EXPECT_EQ(static_cast<unsigned char>(buffer[i]), kGuard) << "byte " << i;
}

TEST(InstallRoot, CutCopyHasNoTerminatorAndReportsFullLength) {
  ScopedEnvironment home("KOR_HOME", std::string("D:\\inst\\RJGQ.2.1\\kor"));
  char buffer[16];
  std::memset(buffer, kGuard, sizeof buffer);
  EXPECT_EQ(getKORRoot(buffer, 10), 24u);
  EXPECT_EQ(std::string(buffer, 10), "D:\\inst\\RJ");
  for (int i = 10; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char>(buffer[i]), kGuard);
}

TEST(InstallRoot, UnsetGivesZeroFilledBufferAndZero) {
  ScopedEnvironment home("KOR_HOME", std::nullopt);
  char buffer[8];
  std::memset(buffer, kGuard, sizeof buffer);
  EXPECT_EQ(getKORRoot(buffer, 8), 0u);
  for (char c : buffer) EXPECT_EQ(c, '\0');
}

TEST(InstallRoot, NoBufferWritesNothingButTellsTheLength) {
  ScopedEnvironment home("KOR_HOME", std::string("/opt/inst/RJGQ.2.1/kor"));
  EXPECT_EQ(getKORRoot(nullptr, 0), 26u);
  EXPECT_EQ(getKORRoot(nullptr, 100), 26u);
  char one = static_cast<char>(kGuard);
  EXPECT_EQ(getKORRoot(&one, 0), 26u);
  EXPECT_EQ(static_cast<unsigned char>(one), kGuard);
}

}  // namespace
