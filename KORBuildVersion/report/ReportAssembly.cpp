// KORFlowID(): assembles the installation report afresh and hands it out through the module's one
// report buffer.
#include <KORFlow.h>

#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

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
/// all when the file cannot be opened or read.
std::string fallbackText(const std::string& root, std::size_t limit, bool& faulted) {
  std::string text;
  LineReader reader;
  if (reader.open(root, kFallbackFileName)) {
    std::string_view line;
    while (text.size() < limit && reader.next(line)) appendReportLine(text, line);
    text.append("\r\n");
  }
  if (!reader.faulted()) return text;
  faulted = true;
  return {};
}

/// The whole report, or an empty text when it would not fit the report buffer.
std::string assembleWholeReport(const char* home, NameText names, ReportReading& reading) {
  const std::string root = computeKORRoot(home);
  if (root.empty()) {
    reading.homeMissing = true;
    return {};
  }
  bool& faulted = reading.faulted;

  // Every piece is cut short once it alone can no longer fit, so no piece costs more than the
  // buffer's worth of reading.
  constexpr std::size_t limit = kReportBufferSize;
  ScanFaults faults;
  std::string report = scanVersionFiles(root, ScanMode::InstallVersions, limit, faults);
  // A version file that could not be listed, opened or read is not absent: an older installation's
  // fallback file must not stand in for it, not even for this call.
  if (report.size() < 3 && !faults.versionsMissed) report.insert(0, fallbackText(root, limit, faulted));
  if (report.size() < limit) report += scanVersionFiles(root, ScanMode::Patches, limit, faults, names);
  faulted = faulted || faults.any;
  if (report.size() >= limit) {
    reading.tooLarge = true;
    return {};
  }
  return report;
}

/// Hands `report` out through the one report buffer. A buffer that already holds the same text is
/// left alone, so while the installation stays as it is, a text handed out is never rewritten under
/// its readers; when it has changed, it is rewritten in place, where earlier pointers show it.
void handOut(std::string_view report) noexcept {
  const std::lock_guard<platform::Lock> lock(moduleState.reportBufferLock);
  char* const buffer = moduleState.reportBuffer;
  if (std::string_view(buffer, report.size()) == report && buffer[report.size()] == '\0') return;
  if (!report.empty()) std::memcpy(buffer, report.data(), report.size());
  buffer[report.size()] = '\0';
}

}  // namespace

std::string assembleReport(const char* home, NameText names, ReportReading& reading) {
  reading = ReportReading{};
  std::string report = assembleWholeReport(home, names, reading);
  report.resize(std::strlen(report.c_str()));  // what the buffer's readers see, and the cache keeps
  return report;
}

}  // namespace korflowid

// The one writer of the report buffer: report queries answer from reports of their own.
char* KORFlowID() {
  std::string report;
  try {
    korflowid::ReportReading reading;  // the buffer shows what was read, whatever it met
    report = korflowid::assembleReport(nullptr, korflowid::NameText::Callers, reading);
  } catch (...) {
    // Out of memory: the report is the empty text.
  }
  korflowid::handOut(report);
  return korflowid::moduleState.reportBuffer;
}
