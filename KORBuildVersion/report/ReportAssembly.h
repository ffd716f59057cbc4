// The installation report as KORFlowID() assembles it, for the report cache as well.
#ifndef KORFLOWID_REPORT_REPORTASSEMBLY_H
#define KORFLOWID_REPORT_REPORTASSEMBLY_H

#include <string>

namespace korflowid {

/// The whole report, or an empty text when it would not fit the report buffer. As a call of
/// KORFlowID() would, it also rewrites the calling thread's report buffer when the thread has one.
/// Throws only std::bad_alloc, after emptying that buffer.
std::string deliverReport();

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTASSEMBLY_H
