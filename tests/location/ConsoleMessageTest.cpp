// The library's console messages share the application's standard output stream: they land in order
// with its printf output.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/TestSupport.h"

using korflowid::test::ScopedEnvironment;

namespace {

TEST(ConsoleMessage, LandsBetweenTheApplicationsOwnOutput) {
  ScopedEnvironment home("KOR_HOME", std::nullopt);
  char code[8];
  std::fflush(stdout);
  ::testing::internal::CaptureStdout();
  // Still in the stream's buffer (a redirected stdout is fully buffered) when the library writes.
  std::printf("before|");
  KORFlowID(code, sizeof code);
  std::printf("|after\n");
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "before|Cannot locate Trevix environment using environment variable KOR_HOME\n|after\n");
}

}  // namespace
