// README's marker and release tables are the library's own, row for row, so they cannot drift.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "flow/FlowTables.h"

namespace {

TEST(Readme, MarkerAndReleaseTablesAreTheLibrarys) {
#if !defined(KORFLOWID_README)
  GTEST_SKIP() << "README is read on the build machine only";
#else
  const auto code = [](std::string_view text) { return "`" + std::string(text) + "`"; };
  std::ostringstream readme;
  readme << std::ifstream(KORFLOWID_README).rdbuf();

  std::string markers =
      "| Marker | Flow code | `FlowId` | `GetFlowString()` |\n"
      "|---|---|---:|---|\n";
  for (const korflowid::FlowMarker& marker : korflowid::kFlowMarkers) {
    const std::string codeMarker = marker.codeMarker == marker.idMarker ? "" : " (" + code(marker.codeMarker) + ")";
    markers += "| " + code(marker.idMarker) + codeMarker + " | " + code(marker.code) + " | " +
               std::to_string(marker.id) + " | " + code(korflowid::kFlowStrings[marker.id]) + " |\n";
  }
  std::string releases =
      "| Release | `FlowVersionId` | `GetFlowVersionString()` |\n"
      "|---|---:|---|\n";
  for (const korflowid::Release& release : korflowid::kReleases) {
    releases += "| " + code(release.text) + " | " + std::to_string(release.id) + " | " +
                code(korflowid::kFlowVersionStrings[release.id]) + " |\n";
  }
  EXPECT_NE(readme.str().find(markers), std::string::npos) << "README should hold:\n" << markers;
  EXPECT_NE(readme.str().find(releases), std::string::npos) << "README should hold:\n" << releases;
#endif
}

}  // namespace
