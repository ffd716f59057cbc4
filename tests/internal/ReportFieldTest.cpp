// The labelled lookup on report texts that no installation tree can produce.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "location/ModuleState.h"
#include "report/ReportQueries.h"
#include "support/TestSupport.h"

namespace {

TEST(ReportField, LineEndsAtTheNextCarriageReturnOrTheEndOfTheText) {
  korflowid::test::inFreshModule([] {
    constexpr std::string_view report = "x Flow Id: 3\r\nFlow Id: 4\r\nInstall Id:\rUPDATE Name: U1";
    korflowid::moduleState.reportCache.publish(report, korflowid::indexReport(report));
    const struct {
      const char* label;
      const char* line;
    } cases[] = {{"Flow Id:", "Flow Id: 3\n"},
                 {"Install Id:", "Install Id:\n"},
                 {"UPDATE Name:", "UPDATE Name: U1\n"},
                 {"U1", "U1\n"},
                 {"update name:", ""}};
    for (const auto& c : cases) {
      char buffer[32];
      std::memset(buffer, 'g', sizeof buffer);
      EXPECT_EQ(korflowid::lookupReportField(c.label, buffer, 24), buffer);
      EXPECT_EQ(std::string(buffer), c.line) << c.label;
      EXPECT_EQ(buffer[1], *c.line == '\0' ? 'g' : c.line[1]) << "an absent label writes only the first byte";
    }
  });
}

}  // namespace
