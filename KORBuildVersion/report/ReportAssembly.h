// The installation report as KORFlowID() assembles it, for the report cache as well.
#ifndef KORFLOWID_REPORT_REPORTASSEMBLY_H
#define KORFLOWID_REPORT_REPORTASSEMBLY_H

#include <string>

namespace korflowid {

/// The whole report, or an empty text when it would not fit the report buffer, assembled privately
/// and then, as a call of KORFlowID() would, handed out through the module's report buffer.
/// Throws only std::bad_alloc, after emptying that buffer.
std::string deliverReport();

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTASSEMBLY_H
