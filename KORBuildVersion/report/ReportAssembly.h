// The installation report as KORFlowID() assembles it, for the report cache as well.
#ifndef KORFLOWID_REPORT_REPORTASSEMBLY_H
#define KORFLOWID_REPORT_REPORTASSEMBLY_H

#include <string>

#include "report/VersionScan.h"

namespace korflowid {

/// How a report came to be what it is, beyond its text.
struct ReportReading {
  bool homeMissing = false;  // no KOR_HOME: the report is empty
  /// Whether anything but absence kept a file or directory from being read: such a report may answer
  /// the call that read it, but is no state of the installation to keep.
  bool faulted = false;
  bool tooLarge = false;  // it would reach kReportBufferSize bytes: the report is empty
};

/// The whole report of the installation `home` names, or of KOR_HOME's when it is null, with the patch
/// numbers in `names`, as it can be read now; an empty text when it would not fit the report buffer.
/// Throws only std::bad_alloc.
std::string assembleReport(const char* home, NameText names, ReportReading& reading);

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTASSEMBLY_H
