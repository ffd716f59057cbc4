// The version file scan: listing, ordering, and the patch and install-version text pieces.
#include "report/VersionScan.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/DirectorySearch.h"
#include "report/LineReader.h"
#include "rules/ReportLayout.h"
#include "rules/TreeNames.h"

namespace korflowid {
namespace {

constexpr std::size_t kShortestPatchLine = kPatchLinePrefix.size() + 2;  // with CR LF
constexpr std::size_t kUsualVersionFileText = 256;                       // an installer writes three or four lines

/// Positions 0 to keys.size() - 1 in ascending order of their keys. Equal keys (patch_5 and
/// patch_05, or files created in the same second) come in the order NTFS lists their names, as on
/// Windows; names are compared only within runs of equal keys, so a sort without them costs no
/// string work.
template <typename Key>
std::vector<std::size_t> ascendingOrder(const std::vector<Key>& keys, const platform::DirectorySearch& search) {
  // Pairs of key and position sort without a comparison function, and the position keeps the sort
  // stable.
  std::vector<std::pair<Key, std::size_t>> keyed(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) keyed[i] = {keys[i], i};
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::size_t> order(keys.size());
  for (std::size_t i = 0; i < keyed.size(); ++i) order[i] = keyed[i].second;
  if (platform::kSearchYieldsNameOrder) return order;

  const auto byName = [&search](std::size_t a, std::size_t b) {
    return precedesInNameOrder(search.name(a), search.name(b));
  };
  for (std::size_t begin = 0, end = 0; begin < keyed.size(); begin = end) {
    for (end = begin + 1; end < keyed.size() && keyed[end].first == keyed[begin].first;) ++end;
    const auto first = order.begin() + static_cast<std::ptrdiff_t>(begin);
    if (end - begin > 1) std::sort(first, first + static_cast<std::ptrdiff_t>(end - begin), byName);
  }
  return order;
}

/// How many patch files make a text of at least `limit` bytes whatever their names.
std::size_t patchCountBeyond(std::size_t limit) {
  if (limit <= kPatchHeading.size()) return 1;
  return (limit - kPatchHeading.size() + kShortestPatchLine - 1) / kShortestPatchLine;
}

std::string patchText(const std::string& directory, std::size_t limit, ScanFaults& faults, NameText names) {
  // Once that many are listed, only the text's length counts: the rest of a huge directory is not read.
  const std::size_t tooMany = patchCountBeyond(limit);
  const platform::DirectorySearch patches(directory, kPatchFilePattern, tooMany);
  faults.any = faults.any || patches.failed();
  if (patches.size() == 0) return {};
  if (patches.size() >= tooMany) return std::string(limit, '\n');

  std::vector<std::string_view> numberTexts;
  std::vector<std::int32_t> numbers;
  numberTexts.reserve(patches.size());
  numbers.reserve(patches.size());
  std::size_t size = kPatchHeading.size() + 2;
  for (std::size_t i = 0; i < patches.size(); ++i) {
    numberTexts.push_back(patchNumberText(names == NameText::Own ? patches.ownName(i) : patches.name(i)));
    numbers.push_back(patchNumberValue(numberTexts.back()));
    size += kShortestPatchLine + numberTexts.back().size();
  }

  // The size is exact, so the lines are written in place: a string append per piece would cost more
  // than the piece.
  std::string text(size, '\0');
  char* out = text.data();
  const auto put = [&out](std::string_view piece) { out = std::copy(piece.begin(), piece.end(), out); };
  put(kPatchHeading);
  for (const std::size_t i : ascendingOrder(numbers, patches)) {
    put(kPatchLinePrefix);
    put(numberTexts[i]);
    put("\r\n");
  }
  put("\r\n");
  return text;
}

void noteMissedVersions(ScanFaults& faults) {
  faults.versionsMissed = true;
  faults.any = true;
}

/// Appends the lines of match `i`, each with CR LF, then one more CR LF (also for a file that cannot
/// be opened or read), stopping early once `text` reaches `limit`.
void appendVersionFile(platform::DirectorySearch& files, std::size_t i, std::string& text, std::size_t limit,
                       ScanFaults& faults) {
  const std::size_t begin = text.size();
  LineReader reader;
  if (reader.open(files, i)) {
    std::string_view line;
    while (text.size() < limit && reader.next(line)) appendReportLine(text, line);
  }
  if (reader.faulted()) {
    // Lines before a failed read are only part of the file: it counts as one that could not be read.
    text.resize(begin);
    noteMissedVersions(faults);
  }
  text.append("\r\n");
}

std::string installVersionText(const std::string& directory, std::size_t limit, ScanFaults& faults) {
  platform::DirectorySearch files(directory, kVersionDirectoryName, kVersionFilePattern);
  if (files.failed()) noteMissedVersions(faults);
  faults.any = faults.any || files.spellingUnknown();

  // The text's length does not depend on the order of the files, so they are read in the search's
  // order first: a tree too large for a report is known after one report's worth of reading, and
  // thousands of files are never asked for their creation time.
  std::string pieces;
  pieces.reserve(std::min(limit, files.size() * kUsualVersionFileText));
  std::vector<std::size_t> pieceEnds;
  pieceEnds.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    appendVersionFile(files, i, pieces, limit, faults);
    if (pieces.size() >= limit) return pieces;
    pieceEnds.push_back(pieces.size());
  }
  if (files.size() < 2) return pieces;  // nothing to order

  // Oldest first; the number in a file's name plays no part.
  std::vector<std::int64_t> creationTimes;
  creationTimes.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) creationTimes.push_back(files.creationTime(i));
  if (files.failed()) noteMissedVersions(faults);
  std::string text;
  text.reserve(pieces.size());
  for (const std::size_t i : ascendingOrder(creationTimes, files)) {
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

std::string scanVersionFiles(const std::string& directory, ScanMode mode, std::size_t limit, ScanFaults& faults,
                             NameText names) {
  return mode == ScanMode::Patches ? patchText(directory, limit, faults, names)
                                   : installVersionText(directory, limit, faults);
}

}  // namespace korflowid
