// Calls every export of the library once and turns its buffers and codes into plain values.
#include "Installation.h"

#include <KORFlow.h>

#include "Console.h"
#include "rules/RootReduction.h"

namespace korflowid::tool {
namespace {

using LineGetter = char* (*)(char*, unsigned int);

/// The getter's text without its line feed; without `label` and the blanks after it when given.
/// Nothing when the getter delivers nothing, which is how the library says the label is absent.
std::optional<std::string> lineFrom(LineGetter getter, std::string_view label) {
  std::vector<char> buffer(kReportBufferSize + 1, '\0');  // the last byte stays zero: always terminated
  getter(buffer.data(), kReportBufferSize);
  std::string line(buffer.data());
  if (line.empty()) return std::nullopt;
  if (line.back() == '\n') line.pop_back();
  if (!label.empty() && line.compare(0, label.size(), label) == 0) {
    const std::size_t value = line.find_first_not_of(" \t", label.size());
    line.erase(0, value == std::string::npos ? line.size() : value);
  }
  return line;
}

std::optional<std::string> installationRoot() {
  if (!environmentValue("KOR_HOME")) return std::nullopt;
  const unsigned int length = getKORRoot(nullptr, 0);
  std::string root(length, '\0');
  getKORRoot(root.data(), length);
  return root;
}

Location flowCode(std::optional<std::string>& code) {
  std::vector<char> buffer(kRootBufferSize, '\0');
  unsigned int length = KORFlowID(buffer.data(), static_cast<unsigned int>(buffer.size()));
  if (length == 0xFFFFFFFFu) return Location::HomeMissing;
  if (length == 0xFFFFFFFEu) return Location::RootNotReducible;
  if (length >= buffer.size()) {
    buffer.resize(length + 1u);
    length = KORFlowID(buffer.data(), length);
  }
  code.emplace(buffer.data(), length);
  return Location::Found;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bool seen = false;
    for (const std::string& earlier : lines) seen = seen || earlier == line;
    // The library repeats its message on every call that looks for the flow; once says it all.
    if (!line.empty() && !seen) lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::size_t valueIndex(std::string_view key) {
  std::size_t index = 0;
  while (index < kValueKinds.size() && kValueKinds[index].key != key) ++index;
  return index;
}

std::vector<std::string> patchesIn(std::string_view report) {
  // The block closes the report: heading, "Patch #" lines, an empty line. A version file may quote
  // the heading, so only the last one that starts a line is a candidate, and it must end the text.
  std::size_t at = report.rfind(kPatchHeading);
  while (at != std::string_view::npos && at > 0 && report[at - 1] != '\n') at = report.rfind(kPatchHeading, at - 1);
  std::vector<std::string> patches;
  if (at == std::string_view::npos) return patches;
  std::size_t line = at + kPatchHeading.size();
  for (std::size_t end; report.compare(line, kPatchLinePrefix.size(), kPatchLinePrefix) == 0; line = end + 2) {
    end = report.find("\r\n", line);
    if (end == std::string_view::npos) return {};
    patches.emplace_back(report.substr(line + kPatchLinePrefix.size(), end - line - kPatchLinePrefix.size()));
  }
  if (report.substr(line) != "\r\n") return {};
  return patches;
}

Installation readInstallation() {
  Installation found;
  auto& values = found.values;
  const std::string captured = captureStandardOutput([&] {
    values[valueIndex("kor-home")] = environmentValue("KOR_HOME");
    values[valueIndex("root")] = installationRoot();
    found.location = flowCode(values[valueIndex("flow-code")]);
    found.flowValue = KORFlow::GetFlowId();
    values[valueIndex("flow")] = KORFlow::GetFlowString();
    found.releaseValue = KORFlow::GetFlowVersionId();
    values[valueIndex("release")] = KORFlow::GetFlowVersionString();

    std::vector<char> report(kReportBufferSize + 1, '\0');
    found.report = KORFlow::GetVersionText(report.data(), kReportBufferSize);
    const auto labelled = [&](std::string_view key, LineGetter getter) {
      values[valueIndex(key)] = lineFrom(getter, kValueKinds[valueIndex(key)].label);
    };
    labelled("install-id", &KORFlow::GetInstallId);
    labelled("access-date", &KORFlow::GetExactAccessDate);
    labelled("flow-id", &KORFlow::GetFlowId_fromFile);
    labelled("full-flow-name", &KORFlow::GetFullFlowName);
    auto& fullName = values[valueIndex("full-flow-name")];
    // Empty is a real answer here: a full name that is the long flow name and nothing more.
    if (fullName) {
      values[valueIndex("abbreviated-flow-name")] = lineFrom(&KORFlow::GetAbbreviatedFlowName, {}).value_or("");
    }
    labelled("update-name", &KORFlow::GetUpdateName);
  });
  // Everything but KOR_HOME, read above in full, came from the library.
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] && i != valueIndex("kor-home")) values[i] = fromLibraryText(*values[i]);
  }
  found.report = fromLibraryText(found.report);
  found.messages = linesOf(captured);
  found.patches = patchesIn(found.report);
  return found;
}

}  // namespace korflowid::tool
