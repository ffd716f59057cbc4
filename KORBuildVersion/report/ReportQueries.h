// The label index of a report and the common lookup behind the labelled report queries, reachable from
// tests and fuzz targets.
#ifndef KORFLOWID_REPORT_REPORTQUERIES_H
#define KORFLOWID_REPORT_REPORTQUERIES_H

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "location/ModuleState.h"
#include "report/ReportAssembly.h"
#include "rules/ReportLayout.h"

namespace korflowid {

ReportLine findReportLine(std::string_view report, std::string_view label);

/// `text` with the lines of the five labels found; the result refers to `text`.
IndexedReport indexReport(std::string_view text);

/// How the report a query answers from came to be: a kept report was read whole and clean.
struct ReportState {
  ReportReading reading;
  bool noMemory = false;  // the report could not be assembled: it is the empty text
};

/// Gives `answer` a report of `home` assembled now. Of the process's own installation (a null `home`)
/// it is kept when it is non-empty and was read without a fault. A call that loses the race to fill
/// the cache answers from the report it assembled itself; one that runs out of memory, from the empty
/// report.
template <typename Answer>
auto answerFromFreshReport(const char* home, NameText names, Answer& answer) noexcept {
  std::string text;
  ReportState state;
  try {
    text = assembleReport(home, names, state.reading);
  } catch (...) {
    state.noMemory = true;  // the text is still empty, and nothing is kept
  }
  const IndexedReport own = indexReport(text);
  if (home == nullptr && !text.empty() && !state.reading.faulted && !state.noMemory) {
    if (const IndexedReport* kept = moduleState.reportCacheFor(names).publish(text, own)) return answer(*kept, state);
  }
  return answer(own, state);
}

/// Gives `answer` the kept report of the process's installation, or while there is none, or for
/// another `home`, a fresh one. The kept road is apart from the other, so that it stays a load and a copy.
template <typename Answer>
auto answerFromReport(const char* home, NameText names, Answer&& answer) noexcept {
  if (home == nullptr) {
    if (const IndexedReport* kept = moduleState.reportCacheFor(names).published()) return answer(*kept, ReportState{});
  }
  return answerFromFreshReport(home, names, answer);
}

/// The line of `line` with its label, its leading blanks and its line end taken off.
///   "Install Id:  4711", label "Install Id:"  =>  "4711"
std::string_view lineValue(std::string_view report, const ReportLine& line, std::string_view label);

/// Whether the full-name line `line` names a long flow name; `rest` then receives what follows the first
/// one and one separator, which may be empty.
///   "Full Flow Name: Vantorium Enterprise TAVO Flow\n"  =>  true, "TAVO Flow\n"
bool abbreviateFlowName(std::string_view line, std::string_view& rest);

/// Copies the report line that begins with `label`, up to its carriage return and ended by "\n"
/// instead, into `buffer` (caller-buffer rule). Fills the report cache first, even for a null
/// `buffer` or `size` 0, which then write nothing and give null. An absent label, an empty report
/// and a report that could not be had for lack of memory all set only buffer[0] to 0 and give `buffer`.
///   report "Install Id: 4711\r\n", label "Install Id:"  =>  "Install Id: 4711\n"
char* lookupReportField(std::string_view label, char* buffer, unsigned int size);

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_REPORTQUERIES_H
