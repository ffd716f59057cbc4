// The version file scan: listing, ordering, and the patch and install-version text pieces.
#include "report/VersionScan.h"

#include <algorithm>
#include <vector>

#include "platform/DirectorySearch.h"
#include "report/LineReader.h"

namespace korflowid {
namespace {

/// A signed 32-bit key and an index packed so that plain integer order is (key, index) order: a
/// stable sort at the price of an unstable one, and no names moved while sorting.
std::uint64_t orderKey(std::int32_t key, std::size_t index) {
  return std::uint64_t{static_cast<std::uint32_t>(key) ^ 0x80000000u} << 32 | static_cast<std::uint32_t>(index);
}

std::size_t indexOf(std::uint64_t orderKey) {
  return static_cast<std::size_t>(orderKey & 0xFFFFFFFFu);
}

std::string patchText(const std::string& directory, std::size_t limit) {
  std::vector<platform::DirectoryMatch> matches =
      platform::findMatches(directory + "patch_*.txt", platform::MatchTimes::Skip);
  if (matches.empty()) return {};

  std::string text = "Patches installed in this flow:\r\n";
  // A patch line has at least 9 bytes ("Patch #" and CR LF): with this many patches the text cannot
  // fit whatever their numbers, so neither the numbers nor the order are worth working out.
  const bool mayFit = text.size() + 2 + 9 * matches.size() < limit;

  // Equal numbers (patch_5 and patch_05) keep the order the search gave them.
  std::vector<std::uint64_t> order;
  order.reserve(matches.size());
  for (std::size_t i = 0; i < matches.size(); ++i) {
    order.push_back(orderKey(mayFit ? patchNumberValue(patchNumberText(matches[i].name)) : 0, i));
  }
  if (mayFit) std::sort(order.begin(), order.end());

  for (const std::uint64_t patch : order) {
    if (text.size() >= limit) return text;
    text.append("Patch #").append(patchNumberText(matches[indexOf(patch)].name)).append("\r\n");
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

/// Oldest first, equal times in the search's order; the number in a file's name plays no part.
std::vector<std::uint64_t> creationOrder(const std::vector<platform::DirectoryMatch>& files) {
  std::vector<std::uint64_t> order;
  order.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) order.push_back(orderKey(files[i].creationTime, i));
  std::sort(order.begin(), order.end());
  return order;
}

bool sameNames(const std::vector<platform::DirectoryMatch>& a, const std::vector<platform::DirectoryMatch>& b) {
  return std::equal(
      a.begin(), a.end(), b.begin(), b.end(),
      [](const platform::DirectoryMatch& x, const platform::DirectoryMatch& y) { return x.name == y.name; });
}

std::string installVersionText(const std::string& directory, std::size_t limit) {
  const std::string versionDirectory = directory + "InstallVersions/";
  const std::string pattern = versionDirectory + "InstallVersion_*.txt";
  std::string path = versionDirectory;

  // The files are read in the search's order first, and creation times are asked for only when the
  // text fits: its length does not depend on the order, and a creation time costs a call per file
  // where the search does not deliver it. A tree too large for a report then costs the reading
  // of one report's worth of files, not a creation time for each of thousands.
  const std::vector<platform::DirectoryMatch> files = platform::findMatches(pattern, platform::MatchTimes::Skip);
  std::string pieces;
  std::vector<std::size_t> ends;
  ends.reserve(files.size());
  for (const platform::DirectoryMatch& file : files) {
    path.replace(versionDirectory.size(), std::string::npos, file.name);
    appendVersionFile(path, pieces, limit);
    ends.push_back(pieces.size());
    if (pieces.size() >= limit) return pieces;  // cannot fit in any order
  }
  if (files.size() < 2) return pieces;

  const std::vector<platform::DirectoryMatch> timed = platform::findMatches(pattern, platform::MatchTimes::Creation);
  std::string text;
  if (sameNames(files, timed)) {
    text.reserve(pieces.size());
    for (const std::uint64_t entry : creationOrder(timed)) {
      const std::size_t i = indexOf(entry);
      const std::size_t begin = i == 0 ? 0 : ends[i - 1];
      text.append(pieces, begin, ends[i] - begin);
    }
    return text;
  }
  // The directory changed between the two searches: read again, in order, what the second found.
  for (const std::uint64_t entry : creationOrder(timed)) {
    path.replace(versionDirectory.size(), std::string::npos, timed[indexOf(entry)].name);
    appendVersionFile(path, text, limit);
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
