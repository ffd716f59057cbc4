// The C interface: the library's answers with a status, by the snprintf buffer rule, printing nothing.
// It calls the same answers as the C++ interface and is called by nothing inside the library.
#include <korflowid.h>

#include <cstring>
#include <string>
#include <string_view>

#include "flow/FlowIdentification.h"
#include "flow/FlowTables.h"
#include "location/InstallRoot.h"
#include "report/ReportQueries.h"

namespace korflowid {
namespace {

bool isBadBuffer(const char* buffer, size_t size) {
  return buffer == nullptr && size > 0;
}

/// The snprintf rule: `text` (up to its first zero byte) cut to `size - 1` bytes and terminated when
/// `size` > 0; its whole length into `*length`.
kor_status deliver(kor_status status, std::string_view text, char* buffer, size_t size, size_t* length) noexcept {
  text = text.substr(0, text.find('\0'));
  if (size > 0) {
    const size_t copied = text.size() < size ? text.size() : size - 1;
    if (copied > 0) std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
  }
  if (length != nullptr) *length = text.size();
  return status;
}

/// A failure with the empty text, for a buffer known to be usable or null with size 0.
kor_status fail(kor_status status, char* buffer, size_t size, size_t* length) noexcept {
  return deliver(status, {}, buffer, size, length);
}

/// A null `buffer` with `size` > 0 is written nothing at all.
kor_status badBuffer(size_t* length) noexcept {
  if (length != nullptr) *length = 0;
  return KOR_BAD_ARGUMENT;
}

kor_status statusOf(FlowDirectoryOutcome outcome) {
  switch (outcome) {
    case FlowDirectoryOutcome::Found:
      return KOR_OK;
    case FlowDirectoryOutcome::HomeMissing:
      return KOR_NO_HOME;
    case FlowDirectoryOutcome::RootNotReducible:
      break;
  }
  return KOR_NO_ROOT;
}

/// What a report that holds no text says about itself; KOR_OK when it was read whole and clean.
kor_status statusOf(const ReportState& state) {
  if (state.noMemory) return KOR_NO_MEMORY;
  if (state.reading.homeMissing) return KOR_NO_HOME;
  if (state.reading.faulted) return KOR_READ_FAILED;
  if (state.reading.tooLarge) return KOR_TOO_LARGE;
  return KOR_OK;
}

enum class FlowPart { Flow, Release };

FlowAnswer answerFlow(const char* home, FlowPart part) {
  if (home != nullptr) {
    if (*home == '\0') return {FlowDirectoryOutcome::HomeMissing, KORFlow::FlowUnknown, KORFlow::VersionUnknown};
    return answerFlowOf(home);
  }
  const FlowAnswer answer = answerKeptFlow(Console::Quiet);
  // What GetFlowVersionId keeps for GetFlowVersionString, which after a failing outcome is the
  // release of the text an earlier call left.
  if (part == FlowPart::Release) moduleState.flowVersionId.store(answer.release, std::memory_order_relaxed);
  return answer;
}

kor_status giveFlow(const char* home, FlowPart part, int32_t* id, const char** name) noexcept {
  FlowAnswer answer{FlowDirectoryOutcome::RootNotReducible, KORFlow::FlowUnknown, KORFlow::VersionUnknown};
  kor_status status = KOR_NO_MEMORY;
  try {
    answer = answerFlow(home, part);
    status = statusOf(answer.outcome);
  } catch (...) {
    // Nothing is printed, so only a lock that could not be had throws.
  }
  int32_t value = 0;
  if (status == KOR_OK) value = part == FlowPart::Flow ? int32_t{answer.flow} : int32_t{answer.release};
  if (id != nullptr) *id = value;
  if (name != nullptr) {
    *name = part == FlowPart::Flow ? tableString(kFlowStrings, value) : tableString(kFlowVersionStrings, value);
  }
  return status;
}

static_assert(KOR_FIELD_INSTALL_ID + static_cast<int>(ReportLabel::UpdateName) == KOR_FIELD_UPDATE_NAME,
              "the fields name the labels in their order");
static_assert(KOR_FIELD_INSTALL_ID + static_cast<int>(ReportLabel::FullFlowName) == KOR_FIELD_FULL_FLOW_NAME,
              "the fields name the labels in their order");

bool isField(int field) {
  return field >= KOR_FIELD_INSTALL_ID && field <= KOR_FIELD_ABBREVIATED_FLOW_NAME;
}

/// A value of the report of `home`; `label` empty for a kor_field's own.
kor_status giveValue(const char* home, int field, std::string_view label, char* buffer, size_t size,
                     size_t* length) noexcept {
  if (home != nullptr && *home == '\0') return fail(KOR_NO_HOME, buffer, size, length);
  return answerFromReport(home, NameText::Own, [&](const IndexedReport& report, const ReportState& state) {
    kor_status status = statusOf(state);
    if (status != KOR_OK && status != KOR_READ_FAILED) return fail(status, buffer, size, length);
    std::string_view value;
    bool found = false;
    if (label.empty()) {
      const bool abbreviated = field == KOR_FIELD_ABBREVIATED_FLOW_NAME;
      const std::size_t index = abbreviated ? static_cast<std::size_t>(ReportLabel::FullFlowName)
                                            : static_cast<std::size_t>(field - KOR_FIELD_INSTALL_ID);
      const ReportLine& line = report.lines[index];
      found = line.found;
      value = lineValue(report.text, line, kReportLabels[index]);
      std::string_view rest;
      if (abbreviated && found && abbreviateFlowName(report.text.substr(line.begin, line.length), rest)) value = rest;
    } else {
      const ReportLine line = findReportLine(report.text, label);
      found = line.found;
      value = lineValue(report.text, line, label);
    }
    if (!found && status == KOR_OK) status = KOR_ABSENT;
    return deliver(status, value, buffer, size, length);
  });
}

}  // namespace
}  // namespace korflowid

using korflowid::deliver;
using korflowid::fail;

kor_status kor_flow(const char* home, int32_t* id, const char** name) {
  return korflowid::giveFlow(home, korflowid::FlowPart::Flow, id, name);
}

kor_status kor_release(const char* home, int32_t* id, const char** name) {
  return korflowid::giveFlow(home, korflowid::FlowPart::Release, id, name);
}

kor_status kor_root(const char* home, char* buffer, size_t size, size_t* length) {
  if (korflowid::isBadBuffer(buffer, size)) return korflowid::badBuffer(length);
  if (home != nullptr && *home == '\0') return fail(KOR_NO_HOME, buffer, size, length);
  try {
    const std::string root = korflowid::computeKORRoot(home);
    return deliver(root.empty() ? KOR_NO_HOME : KOR_OK, root, buffer, size, length);
  } catch (...) {
    return fail(KOR_NO_MEMORY, buffer, size, length);
  }
}

kor_status kor_flow_code(const char* home, char* buffer, size_t size, size_t* length) {
  if (korflowid::isBadBuffer(buffer, size)) return korflowid::badBuffer(length);
  if (home != nullptr && *home == '\0') return fail(KOR_NO_HOME, buffer, size, length);
  try {
    char root[korflowid::kRootBufferSize];
    const korflowid::FlowCode found = korflowid::computeFlowCode(root, home, korflowid::Console::Quiet);
    return deliver(korflowid::statusOf(found.outcome), found.code, buffer, size, length);
  } catch (...) {
    return fail(KOR_NO_MEMORY, buffer, size, length);
  }
}

kor_status kor_report(const char* home, char* buffer, size_t size, size_t* length) {
  if (korflowid::isBadBuffer(buffer, size)) return korflowid::badBuffer(length);
  if (home != nullptr && *home == '\0') return fail(KOR_NO_HOME, buffer, size, length);
  return korflowid::answerFromReport(
      home, korflowid::NameText::Own, [&](const korflowid::IndexedReport& report, const korflowid::ReportState& state) {
        kor_status status = korflowid::statusOf(state);
        if (status != KOR_OK && status != KOR_READ_FAILED) return fail(status, buffer, size, length);
        if (status == KOR_OK && report.wholeLength == 0) status = KOR_ABSENT;
        return deliver(status, report.text.substr(0, report.wholeLength), buffer, size, length);
      });
}

kor_status kor_value(const char* home, int field, char* buffer, size_t size, size_t* length) {
  if (korflowid::isBadBuffer(buffer, size)) return korflowid::badBuffer(length);
  if (!korflowid::isField(field)) return fail(KOR_BAD_ARGUMENT, buffer, size, length);
  return korflowid::giveValue(home, field, {}, buffer, size, length);
}

kor_status kor_label_value(const char* home, const char* label, char* buffer, size_t size, size_t* length) {
  if (korflowid::isBadBuffer(buffer, size)) return korflowid::badBuffer(length);
  if (label == nullptr || *label == '\0') return fail(KOR_BAD_ARGUMENT, buffer, size, length);
  return korflowid::giveValue(home, 0, label, buffer, size, length);
}

const char* kor_status_text(int status) {
  switch (status) {
    case KOR_OK:
      return "The answer was found.";
    case KOR_ABSENT:
      return "The installation does not record it.";
    case KOR_NO_HOME:
      return "No installation is named: KOR_HOME is not set, or the home is empty.";
    case KOR_NO_ROOT:
      return "The installation root cannot be reduced from the home.";
    case KOR_READ_FAILED:
      return "A file or folder of the installation could not be read; nothing was kept.";
    case KOR_NO_MEMORY:
      return "Memory for the answer could not be had.";
    case KOR_BAD_ARGUMENT:
      return "An argument is invalid.";
    case KOR_TOO_LARGE:
      return "The report is 20000 bytes or more, which the library does not deliver.";
    default:
      return "Unknown status.";
  }
}

const char* kor_library_version(void) {
  return KORFLOWID_VERSION_TEXT;
}
