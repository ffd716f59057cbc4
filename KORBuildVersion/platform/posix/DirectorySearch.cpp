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

/// "*" matches any run of characters, "?" any one; everything else only itself, case-sensitively,
/// as the file system compares names. Backtracks only to the last "*", so it stays linear-ish.
bool matchesWildcard(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t starAt = std::string_view::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

/// The name part of a search pattern, examined once per search rather than once per entry.
class NamePattern {
 public:
  explicit NamePattern(std::string_view pattern) : pattern_(pattern) {
    const std::size_t star = pattern.find('*');
    simple_ = star != std::string_view::npos && pattern.find_first_of("*?", star + 1) == std::string_view::npos &&
              pattern.substr(0, star).find('?') == std::string_view::npos;
    if (simple_) {
      prefix_ = pattern.substr(0, star);
      suffix_ = pattern.substr(star + 1);
    }
  }

  bool matches(std::string_view name) const {
    // One "*" and no "?", as in the library's own patterns: a prefix and a suffix test decide it
    // without walking the name, which counts in directories of thousands of entries.
    if (!simple_) return matchesWildcard(pattern_, name);
    return name.size() >= prefix_.size() + suffix_.size() && name.compare(0, prefix_.size(), prefix_) == 0 &&
           name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) == 0;
  }

 private:
  std::string_view pattern_, prefix_, suffix_;
  bool simple_ = false;
};

/// The birth time where the file system keeps one, the modification time otherwise; the entry
/// itself, not what a link points to, as a directory listing describes it.
std::int32_t creationTimeOf(int directoryFd, const char* name) {
#if defined(STATX_BTIME)
  struct statx info;
  if (::statx(directoryFd, name, AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &info) == 0) {
    const auto seconds = (info.stx_mask & STATX_BTIME) ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec;
    return static_cast<std::int32_t>(seconds);
  }
#endif
  // No statx (older kernels, or one that a sandbox refuses): the modification time still orders.
  struct stat status;
  if (::fstatat(directoryFd, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
    return static_cast<std::int32_t>(status.st_mtime);
  }
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

std::vector<DirectoryMatch> findMatches(const std::string& pattern, MatchTimes times) {
  std::vector<DirectoryMatch> matches;
  const std::size_t slash = pattern.rfind('/');
  const std::string directoryPath = slash == std::string::npos ? std::string(".") : pattern.substr(0, slash + 1);
  const NamePattern namePattern(std::string_view(pattern).substr(slash == std::string::npos ? 0 : slash + 1));

  std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(directoryPath.c_str()));
  if (!directory) return matches;
  for (;;) {
    errno = 0;  // a null from readdir with errno still 0 is the end, not an error
    const dirent* entry = ::readdir(directory.get());
    if (entry == nullptr) break;
    if (!namePattern.matches(entry->d_name) || !isPortableName(entry->d_name)) continue;
    const std::int32_t created =
        times == MatchTimes::Creation ? creationTimeOf(::dirfd(directory.get()), entry->d_name) : 0;
    matches.push_back({entry->d_name, created});
  }
  return matches;
}

}  // namespace korflowid::platform
