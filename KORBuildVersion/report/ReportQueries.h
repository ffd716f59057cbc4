// The report cache record and the common lookup behind the labelled report queries, reachable from
// tests and fuzz targets.
#ifndef KORFLOWID_REPORT_REPORTQUERIES_H
#define KORFLOWID_REPORT_REPORTQUERIES_H

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "rules/ReportLayout.h"

namespace korflowid {

/// Where the line of a label stands in a report: from the label's first occurrence up to the next
/// carriage return after the label, or to the end of the report.
struct ReportLine {
  std::size_t begin = std::string_view::npos;  // npos: the label does not occur
  std::size_t length = 0;                      // up to the line's end or its first zero byte
  bool endsBeforeZero = false;                 // a zero byte cut it: a copy stops there, without "\n"
};

ReportLine findReportLine(std::string_view report, std::string_view label);

/// The report as the cache keeps it: the text, and the lines of the five labels, found once when the
/// cache is filled, so that a query costs a copy whatever the report's size.
struct CachedReport {
  explicit CachedReport(std::string report);

  std::string text;
  std::size_t wholeLength;  // up to the first zero byte, which ends every copy of the text
  ReportLine lines[std::size(kReportLabels)];
};

/// Copies the report line that begins with `label`, up to its carriage return and ended by "\n"
/// instead, into `buffer` (caller-buffer rule). Fills the report cache first, even for a null
/// `buffer` or `size` 0, which then write nothing and give null. An absent label, an empty report
/// and a report that could not be had for lack of memory all set only buffer[0] to 0 and give `buffer`.
///   report "Install Id: 4711\r\n", label "Install Id:"  =>  "Install Id: 4711\n"
char* lookupReportField(std::string_view label, char* buffer, unsigned int size);

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTQUERIES_H
