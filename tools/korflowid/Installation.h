// Everything the library tells about the installation that KOR_HOME names, gathered in one pass.
#ifndef KORFLOWID_TOOLS_INSTALLATION_H
#define KORFLOWID_TOOLS_INSTALLATION_H

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/ReportLayout.h"

namespace korflowid::tool {

enum class Location { Found, HomeMissing, RootNotReducible };

/// The values the tool shows, in the order of the summary. `key` is the --field name and the JSON key;
/// `label` starts the report line that a labelled value comes from.
struct ValueKind {
  std::string_view key;
  std::string_view title;
  std::string_view label;
};
inline constexpr std::array<ValueKind, 11> kValueKinds{{
    {"kor-home", "KOR_HOME", {}},
    {"root", "Installation root", {}},
    {"flow-code", "Flow code", {}},
    {"flow", "Flow", {}},
    {"release", "Release", {}},
    {"install-id", "Install Id", reportLabel(ReportLabel::InstallId)},
    {"access-date", "Exact Access Date", reportLabel(ReportLabel::ExactAccessDate)},
    {"flow-id", "Flow Id (from file)", reportLabel(ReportLabel::FlowId)},
    {"full-flow-name", "Full Flow Name", reportLabel(ReportLabel::FullFlowName)},
    {"abbreviated-flow-name", "Abbreviated flow name", {}},
    {"update-name", "UPDATE Name", reportLabel(ReportLabel::UpdateName)},
}};

/// Index into kValueKinds, or kValueKinds.size() for an unknown key.
std::size_t valueIndex(std::string_view key);

/// The --field name and JSON key of the patch numbers, the one value that is a list.
inline constexpr std::string_view kPatchesKey = "patches";

/// Whether --field knows `key`.
inline bool isField(std::string_view key) {
  return valueIndex(key) < kValueKinds.size() || key == kPatchesKey;
}

struct Installation {
  Location location = Location::Found;
  std::array<std::optional<std::string>, kValueKinds.size()> values;  // nullopt: absent
  int flowValue = 0;
  int releaseValue = 0;
  std::vector<std::string> patches;  // number texts as the report lists them, in its order
  std::string report;
  std::vector<std::string> messages;  // the library's console messages, each once
  std::vector<std::string> hints;     // why values are unknown or absent, one line per cause

  const std::optional<std::string>& value(std::string_view key) const { return values[valueIndex(key)]; }
};

/// Asks the library about the installation while keeping its console messages off standard output.
Installation readInstallation();

/// The patch numbers listed in the report's closing patch block.
std::vector<std::string> patchesIn(std::string_view report);

}  // namespace korflowid::tool

#endif  // KORFLOWID_TOOLS_INSTALLATION_H
