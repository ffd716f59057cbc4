// The shape of the installation report: its limits, the labels of its lines and its patch block.
// The module writes and queries the report by these; the korflowid tool reads it by the same ones.
#ifndef KORFLOWID_RULES_REPORTLAYOUT_H
#define KORFLOWID_RULES_REPORTLAYOUT_H

#include <cstddef>
#include <string_view>

namespace korflowid {

/// A report of this many bytes or more is never delivered, and no line cut out of it is as long.
inline constexpr std::size_t kReportBufferSize = 20000;

/// The longest line of a version file that is read; a longer one ends the reading of its file.
inline constexpr std::size_t kMaxLineLength = 199;

/// The labels of the five line getters, in the order of ReportLabel.
inline constexpr std::string_view kReportLabels[] = {
    "Install Id:", "Exact Access Date:", "Flow Id:", "Full Flow Name:", "UPDATE Name:"};

enum class ReportLabel { InstallId, ExactAccessDate, FlowId, FullFlowName, UpdateName };

constexpr std::string_view reportLabel(ReportLabel label) {
  return kReportLabels[static_cast<std::size_t>(label)];
}

/// Which text the patch numbers of a report are in: the C++ interface gives callers' text (on Windows
/// the ANSI code page), the C interface the library's own (UTF-8). On POSIX both are the same bytes.
enum class NameText { Callers, Own };

/// The patch block closes the report: this heading, one line of kPatchLinePrefix and the number
/// text per patch, then an empty line.
///   "Patches installed in this flow:\r\nPatch #2\r\nPatch #10\r\n\r\n"
inline constexpr std::string_view kPatchHeading = "Patches installed in this flow:\r\n";
inline constexpr std::string_view kPatchLinePrefix = "Patch #";

}  // namespace korflowid

#endif  // KORFLOWID_RULES_REPORTLAYOUT_H
