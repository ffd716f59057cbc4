// The fixed tables of flow identification: flow markers, flow strings, release strings.
#ifndef KORFLOWID_FLOW_FLOWTABLES_H
#define KORFLOWID_FLOW_FLOWTABLES_H

#include <KORFlow.h>

#include <string_view>

namespace korflowid {

struct FlowMarker {
  std::string_view idMarker;  // what KORFlow::GetFlowId looks for and removes
  KORFlow::FlowId id;
  std::string_view codeMarker;  // what KORFlowID(char*, unsigned int) looks for
  std::string_view code;        // what KORFlowID(char*, unsigned int) writes
};

/// Searched in this order; the first marker that occurs anywhere in the name wins, so "TAVOPro"
/// must stay before "TAVO".
inline constexpr FlowMarker kFlowMarkers[] = {
    {"RJ", KORFlow::FlowRJ, "RJ", "RJ"},
    {"KW", KORFlow::FlowTAVOPro, "KW", "KW"},
    {"KOR", KORFlow::FlowTAVOPro, "KOR", "KW"},
    {"OPV", KORFlow::FlowOPV, "OPV", "OPV"},
    {"TAVOPro", KORFlow::FlowTAVOPro, "TAVOPro", "TAVOPro"},
    {"TAVO", KORFlow::FlowTAVO, "TAVO", "TAVO"},
    {"DOVQ", KORFlow::FlowTAVOPro, "DOVQ", "DOVQ"},
    {"MIRQ", KORFlow::FlowMIRQ, "MIRQ", "MIRQ"},
    {"ZAL", KORFlow::FlowZAL, "ZAL", "ZAL"},
    // The cached identification insists on the underscore; the flow code does not.
    {"zTorvik_", KORFlow::FlowZTorvik, "zTorvik", "zTorvik"},
};

/// Indexed by KORFlow::FlowId.
inline constexpr const char* kFlowStrings[] = {
    "UNKNOWN", "RJ", "TAVOPro", "OPV", "TAVO", "MIRQ", "YB", "UZ", "ZAL", "zTorvik",
};

/// Indexed by KORFlow::FlowVersionId.
inline constexpr const char* kFlowVersionStrings[] = {
    "UNKNOWN", "5.2.6",  "5.2.7",  "GQ.0", "GQ.1",     "GQ.2",   "GQ",
    "3.6",     "GQ.1.1", "GQ.1.2", "4.1",  "GQ.1.1.1", "GQ.2.1", "GQ.2.2",
};

struct Release {
  std::string_view text;
  KORFlow::FlowVersionId id;
};

/// Compared with the whole flow version text, in this order.
inline constexpr Release kReleases[] = {
    {"5.2.6", KORFlow::Version5_2_6},
    {"5.2.7", KORFlow::Version5_2_7},
    {"GQ.0", KORFlow::VersionGQ_0},
    {"GQ.1.1.1", KORFlow::VersionGQ_1_1_1},
    {"GQ.1.1", KORFlow::VersionGQ_1_1},
    {"GQ.1.2", KORFlow::VersionGQ_1_2},
    {"GQ.1", KORFlow::VersionGQ_1},
    {"GQ.2.1", KORFlow::VersionGQ_2_1},
    {"GQ.2.2", KORFlow::VersionGQ_2_2},
    {"GQ.2", KORFlow::VersionGQ_2},
    {"GQ", KORFlow::VersionGQ},
    // An older name of the GQ.1 release; it has no value of its own.
    {"14.2.0", KORFlow::VersionGQ_1},
    {"3.6", KORFlow::Version3_6},
    {"4.1", KORFlow::Version4_1},
};

/// The release that `text` names as a whole, or 0.
constexpr KORFlow::FlowVersionId releaseOf(std::string_view text) {
  for (const Release& release : kReleases) {
    if (text == release.text) return release.id;
  }
  return KORFlow::VersionUnknown;
}

/// The table entry for `value`, or entry 0 ("UNKNOWN") for anything outside the table.
template <std::size_t N>
const char* tableString(const char* const (&table)[N], int32_t value) {
  return value > 0 && static_cast<std::size_t>(value) < N ? table[value] : table[0];
}

}  // namespace korflowid

#endif  // KORFLOWID_FLOW_FLOWTABLES_H
