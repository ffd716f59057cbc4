// The label index of a report and the common lookup behind the labelled report queries, reachable from
// tests and fuzz targets.
#ifndef KORFLOWID_REPORT_REPORTQUERIES_H
#define KORFLOWID_REPORT_REPORTQUERIES_H

#include <cstddef>
#include <iterator>
#include <string_view>

#include "location/ModuleState.h"
#include "rules/ReportLayout.h"

namespace korflowid {

ReportLine findReportLine(std::string_view report, std::string_view label);

/// `text` with the lines of the five labels found; the result refers to `text`.
IndexedReport indexReport(std::string_view text);

/// Copies the report line that begins with `label`, up to its carriage return and ended by "\n"
/// instead, into `buffer` (caller-buffer rule). Fills the report cache first, even for a null
/// `buffer` or `size` 0, which then write nothing and give null. An absent label, an empty report
/// and a report that could not be had for lack of memory all set only buffer[0] to 0 and give `buffer`.
///   report "Install Id: 4711\r\n", label "Install Id:"  =>  "Install Id: 4711\n"
char* lookupReportField(std::string_view label, char* buffer, unsigned int size);

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTQUERIES_H
