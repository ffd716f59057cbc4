// Fuzzes the labelled report queries with an arbitrary cached report, label and caller buffer size.
// Input: a label selector byte, two bytes of buffer size, for the selectors of arbitrary labels a
// length byte and the label, then the report text.
#include <KORFlow.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "location/ModuleState.h"
#include "report/ReportQueries.h"

namespace {

using korflowid::fuzz::GuardedBuffer;

struct LabelledQuery {
  std::string_view label;
  char* (*query)(char*, unsigned int);
};

constexpr LabelledQuery kQueries[] = {
    {"Install Id:", KORFlow::GetInstallId},    {"Exact Access Date:", KORFlow::GetExactAccessDate},
    {"Flow Id:", KORFlow::GetFlowId_fromFile}, {"Full Flow Name:", KORFlow::GetFullFlowName},
    {"UPDATE Name:", KORFlow::GetUpdateName},
};
constexpr std::size_t kQueryCount = sizeof kQueries / sizeof kQueries[0];

/// Puts `report` in the report cache as if the first query had read it.
void cacheReport(const std::string& report) {
  // The cache is filled once per process; a new one stands in for a fresh module.
  new (&korflowid::moduleState.reportCache) korflowid::ReportCache;
  if (!report.empty()) korflowid::moduleState.reportCache.publish(report, korflowid::indexReport(report));
}

/// The line that begins with the label's first occurrence, up to the next carriage return after
/// the label, with one line feed; nothing when the label is absent.
std::optional<std::string> expectedLine(const std::string& report, std::string_view label) {
  const std::size_t begin = report.find(label);
  if (begin == std::string::npos) return std::nullopt;
  std::size_t end = begin + label.size();
  while (end < report.size() && report[end] != '\r') ++end;
  return report.substr(begin, end - begin) + "\n";
}

void checkLookup(const std::string& report, std::string_view label, unsigned int size) {
  cacheReport(report);
  GuardedBuffer buffer(size);
  char* const result = korflowid::lookupReportField(label, buffer.data(), size);
  FUZZ_CHECK(buffer.guardsIntact());
  if (size == 0) {
    FUZZ_CHECK(result == nullptr);
    FUZZ_CHECK(buffer.untouched());
    return;
  }
  FUZZ_CHECK(result == buffer.data());
  const std::optional<std::string> line = expectedLine(report, label);
  if (!line) {
    FUZZ_CHECK(buffer.onlyFirstByteCleared());
    return;
  }
  FUZZ_CHECK(buffer.holdsCopyOf(*line));
  FUZZ_CHECK(std::string_view(*line).substr(0, buffer.text().size()) == buffer.text());

  FUZZ_CHECK(korflowid::lookupReportField(label, nullptr, size) == nullptr);
}

void checkExports(const std::string& report, unsigned int size) {
  for (const LabelledQuery& query : kQueries) {
    cacheReport(report);
    GuardedBuffer direct(size), exported(size);
    korflowid::lookupReportField(query.label, direct.data(), size);
    char* const result = query.query(exported.data(), size);
    FUZZ_CHECK(exported.guardsIntact());
    FUZZ_CHECK(result == (size == 0 ? nullptr : exported.data()));
    FUZZ_CHECK(std::memcmp(direct.data(), exported.data(), size) == 0);
    FUZZ_CHECK(query.query(nullptr, size) == nullptr);
  }

  cacheReport(report);
  GuardedBuffer full(size), abbreviated(size);
  KORFlow::GetFullFlowName(full.data(), size);
  char* const result = KORFlow::GetAbbreviatedFlowName(abbreviated.data(), size);
  FUZZ_CHECK(abbreviated.guardsIntact());
  FUZZ_CHECK(result == (size == 0 ? nullptr : abbreviated.data()));
  if (size > 0) {
    // What is left once the long flow name is cut off is the tail of the full-name line as cut.
    const std::string_view fullText = full.text(), shortText = abbreviated.text();
    FUZZ_CHECK(shortText.size() <= fullText.size());
    FUZZ_CHECK(fullText.substr(fullText.size() - shortText.size()) == shortText);
  }
  FUZZ_CHECK(KORFlow::GetAbbreviatedFlowName(nullptr, size) == nullptr);

  cacheReport(report);
  GuardedBuffer whole(size);
  FUZZ_CHECK(KORFlow::GetVersionText(whole.data(), size) == whole.data());
  FUZZ_CHECK(whole.guardsIntact());
  FUZZ_CHECK(whole.holdsCopyOf(report));
  FUZZ_CHECK(KORFlow::GetVersionText(nullptr, size) == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korflowid::fuzz::silenceStandardOutput();
  // With no installation an empty cache stays empty instead of reading some machine's files.
  ::unsetenv("KOR_HOME");

  const unsigned int selector = korflowid::fuzz::takeNumber(data, size, 1) % 8;
  const unsigned int bufferSize = korflowid::fuzz::takeNumber(data, size, 2) % 600;
  std::string label;
  if (selector < kQueryCount) {
    label = kQueries[selector].label;
  } else {
    const std::size_t length = std::min<std::size_t>(korflowid::fuzz::takeNumber(data, size, 1) % 32, size);
    label.assign(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
  }
  // A report too long to deliver is never cached.
  const std::string report(reinterpret_cast<const char*>(data), std::min(size, korflowid::kReportBufferSize - 1));

  for (const unsigned int bufferSizeTried : {bufferSize, 0u, 1u}) checkLookup(report, label, bufferSizeTried);
  if (const std::optional<std::string> line = expectedLine(report, label)) {
    const auto exact = static_cast<unsigned int>(line->size());
    checkLookup(report, label, exact);
    checkLookup(report, label, exact + 1);
  }
  checkExports(report, bufferSize);
  return 0;
}
