// The installation report as KORFlowID() assembles it, for the report cache as well.
#ifndef KORFLOWID_REPORT_REPORTASSEMBLY_H
#define KORFLOWID_REPORT_REPORTASSEMBLY_H

#include <string>

namespace korflowid {

/// The whole report as it can be read now, or an empty text when it would not fit the report buffer.
/// `faulted` tells whether anything but absence kept a file or directory from being read: such a
/// report may answer the call that read it, but is no state of the installation to keep. Throws only
/// std::bad_alloc.
std::string assembleReport(bool& faulted);

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTASSEMBLY_H
