// The label positions that the report cache finds once, seen through the getters against a plain
// search of the text.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

/// A report of exactly `size` bytes whose last line is `lastLine`, with nothing above it that
/// holds a label.
std::string largeReport(std::size_t size, const std::string& lastLine) {
  const std::string filler = "Note: nothing to see on this line at all\r\n";
  std::string report;
  while (report.size() + filler.size() + lastLine.size() + 2 <= size) report += filler;
  report += std::string(size - report.size() - lastLine.size() - 2, '-') + "\r\n" + lastLine;
  return report;
}

std::vector<std::string> reports() {
  return {
      "Install Id: 1\r\nExact Access Date: d\r\nFlow Id: 3\r\nFull Flow Name: F\r\nUPDATE Name: U\r\n",
      "UPDATE Name: U\r\nFull Flow Name: F\r\nFlow Id: 3\r\nExact Access Date: d\r\nInstall Id: 1\r\n",  // reversed
      "Install Id: 1\r\nInstall Id: 2\r\nUPDATE Name: first\r\nUPDATE Name: second\r\n",  // repeated labels
      "Flow Id: 3\r\nx\r\nUPDATE Name:",                                                  // label at the very end
      "Flow Id: 3\r\nFull Flow Name: no carriage return after it",
      "x Full Flow Name: Vantorium Enterprise TAVO Flow Id: 7\r\n",  // one label inside another's line
      "Install Id:\r\r\nFlow Id:\n3\r\n",                            // empty lines, a lone line feed
      largeReport(19990, "UPDATE Name: Update 7 (2024-06)\r\n"),
      largeReport(19999, "Install Id: 4711"),
      "no label here\r\n",
  };
}

TEST(ReportIndex, GettersCopyTheIndexedLine) {
  korflowid::test::inFreshModule([] {
    for (const std::string& report : reports()) {
      SCOPED_TRACE(report.substr(0, 60));
      delete korflowid::moduleState.reportCache.exchange(new korflowid::CachedReport(report));
      for (std::size_t i = 0; i < std::size(kGetters); ++i) {
        const std::string expected = searchedLine(report, korflowid::kReportLabels[i]);
        const auto length = static_cast<unsigned int>(expected.size());
        for (const unsigned int size : {1u, length > 1 ? length - 1 : 1u, length, length + 1, 200u}) {
          if (size == 0) continue;  // only an absent label has length 0
          char buffer[256];
          std::memset(buffer, 'g', sizeof buffer);
          ASSERT_EQ(kGetters[i](buffer, size), buffer);
          if (expected.empty()) {
            EXPECT_EQ(buffer[0], '\0');
            EXPECT_EQ(buffer[1], 'g') << "an absent label writes only the first byte";
            continue;
          }
          // strncpy of the expected line: cut without terminator, or zero-filled to `size`.
          std::string want(size, '\0');
          expected.copy(want.data(), size);
          EXPECT_EQ(std::string(buffer, size), want) << korflowid::kReportLabels[i] << " into " << size;
          EXPECT_EQ(buffer[size], 'g');
        }
      }
      char whole[20000];
      EXPECT_EQ(std::string(KORFlow::GetVersionText(whole, sizeof whole)), report);
    }
  });
}

}  // namespace
