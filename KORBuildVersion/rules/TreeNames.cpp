// The name rules of an installation tree, which Windows applies in its file system and the module
// and its tool apply by hand.
#include "rules/TreeNames.h"

#include <algorithm>
#include <cstring>

namespace korflowid {
namespace {

/// Whether `name` holds `segment` at `at`, "?" standing for any one character.
bool segmentMatchesAt(std::string_view segment, std::string_view name, std::size_t at) {
  if (at > name.size() || name.size() - at < segment.size()) return false;
  if (std::memcmp(name.data() + at, segment.data(), segment.size()) == 0) return true;  // spelled alike
  for (std::size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] != '?' && !sameIgnoringCase(segment[i], name[at + i])) return false;
  }
  return true;
}

}  // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameIgnoringCase);
}

bool isPortableName(std::string_view name) {
  return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

/// The text before the first "*" must begin the name and the text after the last one must end it;
/// each segment between stars is taken where it first fits, which never loses a match. Linear in
/// the name for the library's one-star patterns.
bool Wildcard::matches(std::string_view name) const {
  if (!isPortableName(name)) return false;
  if (firstStar_ == std::string_view::npos)
    return pattern_.size() == name.size() && segmentMatchesAt(pattern_, name, 0);
  const std::string_view head = pattern_.substr(0, firstStar_);
  const std::string_view tail = pattern_.substr(lastStar_ + 1);
  if (name.size() < head.size() + tail.size() || !segmentMatchesAt(head, name, 0) ||
      !segmentMatchesAt(tail, name, name.size() - tail.size())) {
    return false;
  }
  const std::string_view between = name.substr(0, name.size() - tail.size());
  std::size_t at = head.size();
  std::size_t segmentStart = firstStar_ + 1;
  while (segmentStart < lastStar_) {
    const std::size_t segmentEnd = pattern_.find('*', segmentStart);
    const std::string_view segment = pattern_.substr(segmentStart, segmentEnd - segmentStart);
    while (!segmentMatchesAt(segment, between, at)) {
      if (++at > between.size()) return false;
    }
    at += segment.size();
    segmentStart = segmentEnd + 1;
  }
  return true;
}

bool takesSpelling(std::string_view candidate, std::string_view taken, std::string_view name) {
  if (candidate == name) return true;
  if (taken == name || !equalIgnoringCase(candidate, name) || !isPortableName(candidate)) return false;
  return taken.empty() || precedesInNameOrder(candidate, taken);
}

}  // namespace korflowid
