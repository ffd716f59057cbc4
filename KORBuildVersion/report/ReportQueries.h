// The common lookup behind the labelled report queries, reachable from tests and fuzz targets.
#ifndef KORFLOWID_REPORT_REPORTQUERIES_H
#define KORFLOWID_REPORT_REPORTQUERIES_H

#include <string_view>

namespace korflowid {

/// Copies the report line that begins with `label`, up to its carriage return and ended by "\n"
/// instead, into `buffer` (caller-buffer rule). Fills the report cache first, even for a null
/// `buffer` or `size` 0, which then write nothing and give null. An absent label sets only
/// buffer[0] to 0 and gives `buffer`.
///   report "Install Id: 4711\r\n", label "Install Id:"  =>  "Install Id: 4711\n"
char* lookupReportField(std::string_view label, char* buffer, unsigned int size);

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTQUERIES_H
