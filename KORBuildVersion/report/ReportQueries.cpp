// Report queries: the whole report or one labelled line of it, served from the per-process cache.
#include "report/ReportQueries.h"

#include <KORFlow.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/CallerBuffer.h"
#include "location/ModuleState.h"
#include "report/ReportAssembly.h"

namespace korflowid {

ReportLine findReportLine(std::string_view report, std::string_view label) {
  ReportLine line;
  const std::size_t begin = report.find(label);
  if (begin == std::string_view::npos) return line;
  std::size_t end = report.find('\r', begin + label.size());
  if (end == std::string_view::npos) end = report.size();
  const std::size_t zero = report.substr(begin, end - begin).find('\0');
  line.begin = begin;
  line.length = zero == std::string_view::npos ? end - begin : zero;
  line.endsBeforeZero = zero != std::string_view::npos;
  return line;
}

CachedReport::CachedReport(std::string report) : text(std::move(report)), wholeLength(std::strlen(text.c_str())) {
  for (std::size_t i = 0; i < std::size(kReportLabels); ++i) lines[i] = findReportLine(text, kReportLabels[i]);
}

namespace {

/// The report, assembled on first use and kept once it is non-empty; null while there is none,
/// also when it could not be had for lack of memory (the next query tries again).
const CachedReport* cachedReport() noexcept {
  const CachedReport* cached = moduleState.reportCache.load(std::memory_order_acquire);
  if (cached != nullptr) return cached;
  return withoutExceptions<const CachedReport*>(nullptr, []() -> const CachedReport* {
    std::string report = deliverReport();
    report.resize(std::strlen(report.c_str()));  // the cache holds what KORFlowID() hands out
    if (report.empty()) return nullptr;
    auto fresh = std::make_unique<const CachedReport>(std::move(report));
    // Threads that fill the cache at the same moment each made a report; the first one published
    // stays, for everyone.
    const CachedReport* published = nullptr;
    if (moduleState.reportCache.compare_exchange_strong(published, fresh.get(), std::memory_order_acq_rel,
                                                        std::memory_order_acquire)) {
      return fresh.release();
    }
    return published;
  });
}

char* copyLine(std::string_view report, const ReportLine& line, char* buffer, unsigned int size) {
  buffer[0] = '\0';
  if (line.begin == std::string_view::npos) return buffer;
  copyPiecesToCallerBuffer(report.substr(line.begin, line.length), line.endsBeforeZero ? "" : "\n", buffer, size);
  return buffer;
}

char* lookupReportLine(ReportLabel label, char* buffer, unsigned int size) {
  const CachedReport* report = cachedReport();  // filled even when the caller passes no buffer
  if (buffer == nullptr || size == 0) return nullptr;
  if (report == nullptr) {
    buffer[0] = '\0';
    return buffer;
  }
  return copyLine(report->text, report->lines[static_cast<std::size_t>(label)], buffer, size);
}

/// Long flow names that the abbreviated flow name leaves out, tried in this order.
constexpr std::string_view kLongFlowNames[] = {"Vantorium Enterprise"};

}  // namespace

char* lookupReportField(std::string_view label, char* buffer, unsigned int size) {
  const CachedReport* report = cachedReport();  // filled even when the caller passes no buffer
  if (buffer == nullptr || size == 0) return nullptr;
  // Without a report the text is empty, in which only an empty label is found.
  const std::string_view text = report != nullptr ? std::string_view(report->text) : std::string_view();
  return copyLine(text, findReportLine(text, label), buffer, size);
}

}  // namespace korflowid

using korflowid::lookupReportLine;
using korflowid::ReportLabel;

char* KORFlow::GetVersionText(char* buffer, unsigned int size) {
  const korflowid::CachedReport* report = korflowid::cachedReport();
  if (buffer == nullptr) return nullptr;
  const std::string_view text =
      report != nullptr ? std::string_view(report->text).substr(0, report->wholeLength) : std::string_view();
  korflowid::copyPiecesToCallerBuffer(text, {}, buffer, size);
  return buffer;
}

char* KORFlow::GetInstallId(char* buffer, unsigned int size) {
  return lookupReportLine(ReportLabel::InstallId, buffer, size);
}

char* KORFlow::GetExactAccessDate(char* buffer, unsigned int size) {
  return lookupReportLine(ReportLabel::ExactAccessDate, buffer, size);
}

char* KORFlow::GetFlowId_fromFile(char* buffer, unsigned int size) {
  return lookupReportLine(ReportLabel::FlowId, buffer, size);
}

char* KORFlow::GetFullFlowName(char* buffer, unsigned int size) {
  return lookupReportLine(ReportLabel::FullFlowName, buffer, size);
}

char* KORFlow::GetUpdateName(char* buffer, unsigned int size) {
  return lookupReportLine(ReportLabel::UpdateName, buffer, size);
}

char* KORFlow::GetAbbreviatedFlowName(char* buffer, unsigned int size) {
  if (buffer == nullptr || size == 0) return nullptr;
  buffer[0] = '\0';
  lookupReportLine(ReportLabel::FullFlowName, buffer, size);
  // The line as the caller's buffer now holds it, which may be cut and unterminated. It is cut down
  // in place: nothing here can fail, so the buffer never keeps the unabbreviated line by accident.
  const std::string_view line(buffer, static_cast<std::size_t>(std::find(buffer, buffer + size, '\0') - buffer));
  for (std::string_view longName : korflowid::kLongFlowNames) {
    const std::size_t at = line.find(longName);
    if (at == std::string_view::npos) continue;
    const std::size_t rest = at + longName.size() + 1;  // one separator skipped
    korflowid::copyPiecesToCallerBuffer(rest < line.size() ? line.substr(rest) : std::string_view(), {}, buffer, size);
    break;
  }
  return buffer;
}
