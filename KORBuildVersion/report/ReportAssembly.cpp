// KORFlowID(): assembles the installation report afresh into the module's report buffer.
#include <KORFlow.h>

#include <cstring>
#include <string>

#include "common/CallerBuffer.h"
#include "location/InstallRoot.h"
#include "location/ModuleState.h"
#include "report/LineReader.h"
#include "report/ReportAssembly.h"
#include "report/VersionScan.h"
#include "rules/TreeNames.h"

namespace korflowid {
namespace {

/// The root's "InstallVersion.txt", each line with CR LF and one more CR LF at the end; nothing at
/// all when the file cannot be opened.
std::string fallbackText(const std::string& root, std::size_t limit) {
  std::string text;
  LineReader reader;
  if (!reader.open(root, kFallbackFileName)) return text;
  std::string_view line;
  while (text.size() < limit && reader.next(line)) appendReportLine(text, line);
  text.append("\r\n");
  return text;
}

/// The whole report, or an empty text when it would not fit the report buffer.
std::string assembleReport() {
  const std::string root = computeKORRoot();
  if (root.empty()) return {};

  // Every piece is cut short once it alone can no longer fit, so no piece costs more than the
  // buffer's worth of reading.
  constexpr std::size_t limit = kReportBufferSize;
  std::string report = scanVersionFiles(root, ScanMode::InstallVersions, limit);
  if (report.size() < 3) report.insert(0, fallbackText(root, limit));
  if (report.size() >= limit) return {};
  report += scanVersionFiles(root, ScanMode::Patches, limit);
  if (report.size() >= limit) return {};
  return report;
}

}  // namespace

std::string deliverReport() {
  char* const buffer = reportBufferOfThisThread(false);
  if (buffer != nullptr) buffer[0] = '\0';
  std::string report = assembleReport();
  if (buffer != nullptr) std::memcpy(buffer, report.c_str(), report.size() + 1);
  return report;
}

}  // namespace korflowid

char* KORFlowID() {
  // Each calling thread has a buffer of its own, so a text handed out is never rewritten under a
  // reader by another thread's call.
  char* const buffer = korflowid::reportBufferOfThisThread(true);
  if (buffer == nullptr) {
    static char noReport[1] = {};
    return noReport;
  }
  try {
    korflowid::deliverReport();
  } catch (...) {
    // The buffer holds the empty text already.
  }
  return buffer;
}
