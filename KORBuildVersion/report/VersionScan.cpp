// The version file scan: listing, ordering, and the patch and install-version text pieces.
#include "report/VersionScan.h"

#include <algorithm>
#include <vector>

#include "platform/DirectorySearch.h"
#include "report/LineReader.h"

namespace korflowid {
namespace {

struct Patch {
  std::string numberText;
  std::int32_t number;
};

std::string patchText(const std::string& directory, std::size_t limit) {
  std::vector<platform::DirectoryMatch> matches =
      platform::findMatches(directory + "patch_*.txt", platform::MatchTimes::Skip);
  if (matches.empty()) return {};

  std::vector<Patch> patches;
  patches.reserve(matches.size());
  for (const platform::DirectoryMatch& match : matches) {
    const std::string_view text = patchNumberText(match.name);
    patches.push_back({std::string(text), patchNumberValue(text)});
  }
  // Equal numbers (patch_5 and patch_05) keep the order the search gave them.
  std::stable_sort(patches.begin(), patches.end(), [](const Patch& a, const Patch& b) { return a.number < b.number; });

  std::string text = "Patches installed in this flow:\r\n";
  for (const Patch& patch : patches) {
    if (text.size() >= limit) return text;
    text.append("Patch #").append(patch.numberText).append("\r\n");
  }
  text.append("\r\n");
  return text;
}

std::string installVersionText(const std::string& directory, std::size_t limit) {
  const std::string versionDirectory = directory + "InstallVersions/";
  std::vector<platform::DirectoryMatch> files =
      platform::findMatches(versionDirectory + "InstallVersion_*.txt", platform::MatchTimes::Creation);
  // Oldest first; the number in a file's name plays no part.
  std::stable_sort(files.begin(), files.end(),
                   [](const platform::DirectoryMatch& a, const platform::DirectoryMatch& b) {
                     return a.creationTime < b.creationTime;
                   });

  std::string text;
  for (const platform::DirectoryMatch& file : files) {
    LineReader reader;
    if (reader.open(versionDirectory + file.name)) {
      std::string_view line;
      while (text.size() < limit && reader.next(line)) appendReportLine(text, line);
    }
    text.append("\r\n");  // also for a file that cannot be opened
    if (text.size() >= limit) break;
  }
  return text;
}

}  // namespace

std::string_view patchNumberText(std::string_view name) {
  const std::size_t underscore = name.find('_');
  const std::size_t begin = underscore == std::string_view::npos ? 0 : underscore + 1;
  const std::size_t extension = name.find(".txt");
  const std::size_t end = extension == std::string_view::npos || extension < begin ? name.size() : extension;
  return name.substr(begin, end - begin);
}

std::int32_t patchNumberValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Held within 32 bits where atoi's overflow would be undefined.
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{INT32_MAX} + 1);
  }
  if (negative) value = -value;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string scanVersionFiles(const std::string& directory, ScanMode mode, std::size_t limit) {
  return mode == ScanMode::Patches ? patchText(directory, limit) : installVersionText(directory, limit);
}

}  // namespace korflowid
