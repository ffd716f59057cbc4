// The label positions that the report cache finds once, seen through the getters against a plain
// search of the text.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "location/ModuleState.h"
#include "report/ReportQueries.h"
#include "support/TestSupport.h"

namespace {

using Getter = char* (*)(char*, unsigned int);
constexpr Getter kGetters[] = {KORFlow::GetInstallId, KORFlow::GetExactAccessDate, KORFlow::GetFlowId_fromFile,
                               KORFlow::GetFullFlowName, KORFlow::GetUpdateName};

/// The label's line as a caller sees it: from the first occurrence to the next carriage return
/// after the label, with one line feed; empty when the label is absent.
std::string searchedLine(const std::string& report, std::string_view label) {
  const std::size_t begin = report.find(label);
  if (begin == std::string::npos) return "";
  const std::size_t end = report.find('\r', begin + label.size());
  return report.substr(begin, end == std::string::npos ? std::string::npos : end - begin) + "\n";
}

/// A report of exactly `size` bytes that ends with `lastLine`, with no label above it.
std::string largeReport(std::size_t size, const std::string& lastLine) {
  return std::string(size - lastLine.size() - 2, '-') + "\r\n" + lastLine;
}

TEST(ReportIndex, GettersCopyTheIndexedLine) {
  const std::string reports[] = {
      "Install Id: 1\r\nExact Access Date: d\r\nFlow Id: 3\r\nFull Flow Name: F\r\nUPDATE Name: U\r\n",
      "UPDATE Name: U\r\nFull Flow Name: F\r\nFlow Id: 3\r\nExact Access Date: d\r\nInstall Id: 1\r\n",  // reversed
      "Install Id: 1\r\nInstall Id: 2\r\nUPDATE Name: first\r\nUPDATE Name: second\r\n",  // repeated labels
      "Flow Id: 3\r\nx\r\nUPDATE Name:",                                                  // label at the very end
      "x Full Flow Name: Vantorium Enterprise TAVO Flow Id: 7\r\n",  // one label inside another's line
      "Install Id:\r\r\nFlow Id:\n3\r\n",                            // empty lines, a lone line feed
      largeReport(19990, "UPDATE Name: Update 7 (2024-06)\r\n"),
      largeReport(19999, "Install Id: 4711"),
  };
  korflowid::test::inFreshModule([&] {
    for (const std::string& report : reports) {
      SCOPED_TRACE(report.substr(0, 60));
      // The cache is filled once per process; a new one stands in for a fresh module.
      new (&korflowid::moduleState.reportCache) korflowid::ReportCache;
      korflowid::moduleState.reportCache.publish(report, korflowid::indexReport(report));
      for (std::size_t i = 0; i < std::size(kGetters); ++i) {
        const std::string line = searchedLine(report, korflowid::kReportLabels[i]);
        // A found line is zero-filled up to `size`; an absent label writes only the first byte.
        constexpr unsigned int kSize = 200;
        std::string expected = line.empty() ? std::string(1, '\0') : line;
        expected.resize(kSize, line.empty() ? 'g' : '\0');
        char buffer[kSize + 1];
        std::memset(buffer, 'g', sizeof buffer);
        ASSERT_EQ(kGetters[i](buffer, kSize), buffer);
        EXPECT_EQ(std::string(buffer, sizeof buffer), expected + 'g') << korflowid::kReportLabels[i];
      }
      char whole[20000];
      EXPECT_EQ(std::string(KORFlow::GetVersionText(whole, sizeof whole)), report);
    }
  });
}

}  // namespace
