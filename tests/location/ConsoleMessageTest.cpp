// The library's console messages share the application's standard output stream: they land in order
// with its printf output, and the flush that ends each message delivers what came before it.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "support/TestSupport.h"

using korflowid::test::ScopedEnvironment;

namespace {

TEST(ConsoleMessage, LandsBetweenTheApplicationsOwnOutputAndIsFlushed) {
  const struct {
    std::optional<std::string> home;
    const char* message;
  } cases[] = {{std::nullopt, "Cannot locate Trevix environment using environment variable KOR_HOME\n"},
               {std::string("kor"), "Cannot compute value of KORROOT using getKORRoot\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    ScopedEnvironment home("KOR_HOME", c.home);
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    // Still in the stream's buffer (a redirected stdout is fully buffered) when the library writes.
    std::printf("before|");
    char code[8];
    KORFlowID(code, sizeof code);
    // Deliberately not flushed here: the library's own flush must already have written both.
    const std::string flushed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(flushed, std::string("before|") + c.message);

    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    KORFlowID(code, sizeof code);
    std::printf("|after\n");
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string(c.message) + "|after\n");
  }
}

}  // namespace
