// Report queries: the whole report or one labelled line of it, served from the per-process cache.
#include "report/ReportQueries.h"

#include <KORFlow.h>

#include <algorithm>
#include <cstring>
#include <string>

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
  line.found = true;
  line.begin = begin;
  line.length = zero == std::string_view::npos ? end - begin : zero;
  line.endsBeforeZero = zero != std::string_view::npos;
  return line;
}

IndexedReport indexReport(std::string_view text) {
  IndexedReport report;
  report.text = text;
  report.wholeLength = std::min(text.find('\0'), text.size());
  for (std::size_t i = 0; i < std::size(kReportLabels); ++i) report.lines[i] = findReportLine(text, kReportLabels[i]);
  return report;
}

namespace {

char* copyLine(std::string_view report, const ReportLine& line, char* buffer, unsigned int size) {
  buffer[0] = '\0';
  if (!line.found) return buffer;
  copyPiecesToCallerBuffer(report.substr(line.begin, line.length), line.endsBeforeZero ? "" : "\n", buffer, size);
  return buffer;
}

char* lookupReportLine(ReportLabel label, char* buffer, unsigned int size) {
  return answerFromReport(nullptr, NameText::Callers, [&](const IndexedReport& report, const ReportState&) -> char* {
    if (buffer == nullptr || size == 0) return nullptr;  // the cache is filled all the same
    return copyLine(report.text, report.lines[static_cast<std::size_t>(label)], buffer, size);
  });
}

/// Long flow names that the abbreviated flow name leaves out, tried in this order.
constexpr std::string_view kLongFlowNames[] = {"Vantorium Enterprise"};

}  // namespace

std::string_view lineValue(std::string_view report, const ReportLine& line, std::string_view label) {
  const std::string_view whole = report.substr(line.begin, line.length);
  if (!line.found || whole.size() <= label.size()) return {};
  const std::string_view value = whole.substr(label.size());
  const std::size_t first = value.find_first_not_of(" \t");
  return first == std::string_view::npos ? std::string_view() : value.substr(first);
}

bool abbreviateFlowName(std::string_view line, std::string_view& rest) {
  for (std::string_view longName : kLongFlowNames) {
    const std::size_t at = line.find(longName);
    if (at == std::string_view::npos) continue;
    const std::size_t after = at + longName.size() + 1;  // one separator skipped
    rest = after < line.size() ? line.substr(after) : std::string_view();
    return true;
  }
  return false;
}

char* lookupReportField(std::string_view label, char* buffer, unsigned int size) {
  return answerFromReport(nullptr, NameText::Callers, [&](const IndexedReport& report, const ReportState&) -> char* {
    if (buffer == nullptr || size == 0) return nullptr;  // the cache is filled all the same
    return copyLine(report.text, findReportLine(report.text, label), buffer, size);
  });
}

}  // namespace korflowid

using korflowid::lookupReportLine;
using korflowid::ReportLabel;

char* KORFlow::GetVersionText(char* buffer, unsigned int size) {
  return korflowid::answerFromReport(
      nullptr, korflowid::NameText::Callers,
      [&](const korflowid::IndexedReport& report, const korflowid::ReportState&) -> char* {
        if (buffer == nullptr) return nullptr;
        korflowid::copyPiecesToCallerBuffer(report.text.substr(0, report.wholeLength), {}, buffer, size);
        return buffer;
      });
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
  std::string_view rest;
  if (korflowid::abbreviateFlowName(line, rest)) korflowid::copyPiecesToCallerBuffer(rest, {}, buffer, size);
  return buffer;
}
