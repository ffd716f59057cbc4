// Report queries: the whole report or one labelled line of it, served from the per-process cache.
#include <KORFlow.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "common/CallerBuffer.h"
#include "location/ModuleState.h"
#include "report/ReportQueries.h"

namespace korflowid {
namespace {

/// The report, assembled on first use and kept once it is non-empty.
const std::string& cachedReport() {
  std::string& cache = moduleState.reportCache;
  if (cache.empty()) cache = KORFlowID();
  return cache;
}

}  // namespace

char* lookupReportField(std::string_view label, char* buffer, unsigned int size) {
  return withoutExceptions<char*>(nullptr, [&]() -> char* {
    const std::string& report = cachedReport();  // filled even when the caller passes no buffer
    if (buffer == nullptr || size == 0) return nullptr;
    buffer[0] = '\0';
    const std::size_t begin = report.find(label);
    if (begin == std::string::npos) return buffer;
    const std::size_t end = report.find('\r', begin + label.size());
    std::string line = report.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    line += '\n';
    copyToCallerBuffer(line, buffer, size);
    return buffer;
  });
}

namespace {

/// Long flow names that the abbreviated flow name leaves out, tried in this order.
constexpr std::string_view kLongFlowNames[] = {"Vantorium Enterprise"};

}  // namespace
}  // namespace korflowid

using korflowid::lookupReportField;

char* KORFlow::GetVersionText(char* buffer, unsigned int size) {
  return korflowid::withoutExceptions<char*>(nullptr, [&]() -> char* {
    const std::string& report = korflowid::cachedReport();
    if (buffer == nullptr) return nullptr;
    korflowid::copyToCallerBuffer(report, buffer, size);
    return buffer;
  });
}

char* KORFlow::GetInstallId(char* buffer, unsigned int size) {
  return lookupReportField("Install Id:", buffer, size);
}

char* KORFlow::GetExactAccessDate(char* buffer, unsigned int size) {
  return lookupReportField("Exact Access Date:", buffer, size);
}

char* KORFlow::GetFlowId_fromFile(char* buffer, unsigned int size) {
  return lookupReportField("Flow Id:", buffer, size);
}

char* KORFlow::GetFullFlowName(char* buffer, unsigned int size) {
  return lookupReportField("Full Flow Name:", buffer, size);
}

char* KORFlow::GetUpdateName(char* buffer, unsigned int size) {
  return lookupReportField("UPDATE Name:", buffer, size);
}

char* KORFlow::GetAbbreviatedFlowName(char* buffer, unsigned int size) {
  if (buffer == nullptr || size == 0) return nullptr;
  buffer[0] = '\0';
  lookupReportField("Full Flow Name:", buffer, size);
  return korflowid::withoutExceptions(buffer, [&] {
    // The line as the caller's buffer now holds it, which may be cut and unterminated.
    const std::string line(buffer, std::find(buffer, buffer + size, '\0'));
    for (std::string_view longName : korflowid::kLongFlowNames) {
      const std::size_t at = line.find(longName);
      if (at == std::string::npos) continue;
      const std::size_t rest = at + longName.size() + 1;  // one separator skipped
      korflowid::copyToCallerBuffer(rest < line.size() ? std::string_view(line).substr(rest) : std::string_view(),
                                    buffer, size);
      break;
    }
    return buffer;
  });
}
