// Directory search on POSIX: readdir with our own wildcard match, statx for the creation time.
#include "platform/DirectorySearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>

namespace korflowid::platform {
namespace {

/// Whether `name` holds `segment` at `at`, "?" standing for any one character.
bool segmentMatchesAt(std::string_view segment, std::string_view name, std::size_t at) {
  if (at > name.size() || name.size() - at < segment.size()) return false;
  for (std::size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] != '?' && segment[i] != name[at + i]) return false;
  }
  return true;
}

/// "*" matches any run of characters, "?" any one; everything else only itself, case-sensitively,
/// as the file system compares names. The text before the first "*" must begin the name and the
/// text after the last one must end it; each segment between stars is taken where it first fits,
/// which never loses a match. Linear in the name for the library's one-star patterns.
bool matchesWildcard(std::string_view pattern, std::string_view name) {
  const std::size_t firstStar = pattern.find('*');
  if (firstStar == std::string_view::npos) return pattern.size() == name.size() && segmentMatchesAt(pattern, name, 0);
  const std::size_t lastStar = pattern.rfind('*');
  const std::string_view head = pattern.substr(0, firstStar);
  const std::string_view tail = pattern.substr(lastStar + 1);
  if (name.size() < head.size() + tail.size() || !segmentMatchesAt(head, name, 0) ||
      !segmentMatchesAt(tail, name, name.size() - tail.size())) {
    return false;
  }
  const std::string_view between = name.substr(0, name.size() - tail.size());
  std::size_t at = head.size();
  std::size_t segmentStart = firstStar + 1;
  while (segmentStart < lastStar) {
    const std::size_t segmentEnd = pattern.find('*', segmentStart);
    const std::string_view segment = pattern.substr(segmentStart, segmentEnd - segmentStart);
    while (!segmentMatchesAt(segment, between, at)) {
      if (++at > between.size()) return false;
    }
    at += segment.size();
    segmentStart = segmentEnd + 1;
  }
  return true;
}

/// The birth time where the file system keeps one, the modification time otherwise; the entry
/// itself, not what a link points to, as a directory listing describes it.
std::int32_t creationTimeAt(const char* path) {
#if defined(STATX_BTIME)
  struct statx info;
  if (::statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &info) == 0) {
    const auto seconds = (info.stx_mask & STATX_BTIME) ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec;
    return static_cast<std::int32_t>(seconds);
  }
#endif
  // No statx (older kernels, or one that a sandbox refuses): the modification time still orders.
  struct stat status;
  if (::lstat(path, &status) == 0) return static_cast<std::int32_t>(status.st_mtime);
  return 0;  // vanished since it was listed; opening it will fail too
}

/// Names with control characters cannot exist on Windows, where installation trees are made; here
/// a line break in a name would let a file name forge a line of the report.
bool isPortableName(std::string_view name) {
  return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

}  // namespace

std::vector<DirectoryMatch> findMatches(const std::string& pattern) {
  std::vector<DirectoryMatch> matches;
  const std::size_t slash = pattern.rfind('/');
  const std::string directoryPath = slash == std::string::npos ? std::string(".") : pattern.substr(0, slash + 1);
  const std::string_view namePattern(std::string_view(pattern).substr(slash == std::string::npos ? 0 : slash + 1));

  std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(directoryPath.c_str()));
  if (!directory) return matches;
  for (;;) {
    errno = 0;  // a null from readdir with errno still 0 is the end, not an error
    const dirent* entry = ::readdir(directory.get());
    if (entry == nullptr) break;
    if (!matchesWildcard(namePattern, entry->d_name) || !isPortableName(entry->d_name)) continue;
    matches.push_back({entry->d_name, std::nullopt});  // readdir knows no creation times
  }
  return matches;
}

std::int32_t creationTimeOf(const std::string& directory, const DirectoryMatch& match) {
  return creationTimeAt((directory + match.name).c_str());
}

}  // namespace korflowid::platform
