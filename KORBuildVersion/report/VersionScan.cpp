// The version file scan: listing, ordering, and the patch and install-version text pieces.
#include "report/VersionScan.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "platform/DirectorySearch.h"
#include "report/LineReader.h"

namespace korflowid {
namespace {

constexpr std::string_view kPatchHeading = "Patches installed in this flow:\r\n";
constexpr std::size_t kShortestPatchLine = 9;  // "Patch #" and CR LF

/// Positions 0 to keys.size() - 1 in ascending order of their keys; equal keys keep the order the
/// search gave them (patch_5 and patch_05, or files created in the same second).
std::vector<std::size_t> ascendingOrder(const std::vector<std::int32_t>& keys) {
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  return order;
}

std::string patchText(const std::string& directory, std::size_t limit) {
  const std::vector<platform::DirectoryMatch> matches = platform::findMatches(directory + "patch_*.txt");
  if (matches.empty()) return {};
  // Past this many patches the text cannot fit whatever their numbers: only its length counts now.
  if (kPatchHeading.size() + kShortestPatchLine * matches.size() >= limit) return std::string(limit, '\n');

  std::vector<std::int32_t> numbers;
  numbers.reserve(matches.size());
  for (const platform::DirectoryMatch& match : matches)
    numbers.push_back(patchNumberValue(patchNumberText(match.name)));

  std::string text(kPatchHeading);
  for (const std::size_t i : ascendingOrder(numbers)) {
    text.append("Patch #").append(patchNumberText(matches[i].name)).append("\r\n");
  }
  text.append("\r\n");
  return text;
}

/// Appends the file's lines, each with CR LF, then one more CR LF (also for a file that cannot be
/// opened), stopping early once `text` reaches `limit`.
void appendVersionFile(const std::string& path, std::string& text, std::size_t limit) {
  LineReader reader;
  if (reader.open(path)) {
    std::string_view line;
    while (text.size() < limit && reader.next(line)) appendReportLine(text, line);
  }
  text.append("\r\n");
}

std::string installVersionText(const std::string& directory, std::size_t limit) {
  const std::string versionDirectory = directory + "InstallVersions/";
  const std::vector<platform::DirectoryMatch> files = platform::findMatches(versionDirectory + "InstallVersion_*.txt");

  // The text's length does not depend on the order of the files, so they are read in the search's
  // order first: a tree too large for a report is known after one report's worth of reading, and
  // thousands of files are never asked for their creation time.
  std::string pieces;
  std::vector<std::size_t> pieceEnds;
  pieceEnds.reserve(files.size());
  for (const platform::DirectoryMatch& file : files) {
    appendVersionFile(versionDirectory + file.name, pieces, limit);
    if (pieces.size() >= limit) return pieces;
    pieceEnds.push_back(pieces.size());
  }
  if (files.size() < 2) return pieces;  // nothing to order

  // Oldest first; the number in a file's name plays no part.
  std::vector<std::int32_t> creationTimes;
  creationTimes.reserve(files.size());
  for (const platform::DirectoryMatch& file : files) {
    creationTimes.push_back(platform::creationTimeOf(versionDirectory, file));
  }
  std::string text;
  text.reserve(pieces.size());
  for (const std::size_t i : ascendingOrder(creationTimes)) {
    const std::size_t begin = i == 0 ? 0 : pieceEnds[i - 1];
    text.append(pieces, begin, pieceEnds[i] - begin);
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
