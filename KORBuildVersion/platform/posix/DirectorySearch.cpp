// Directory search on POSIX: readdir with our own wildcard match; matches open relative to the
// listed directory, and one statx on the open file tells both its type and its creation time.
#include "platform/DirectorySearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/FileSystem.h"
#include "rules/TreeNames.h"

namespace korflowid::platform {
namespace {

DIR* asDirectory(void* handle) {
  return static_cast<DIR*>(handle);
}

/// A directory opened for listing; "" is the current one, as a prefix without a directory part means.
/// Null with `failed` set when it may exist but could not be opened.
DIR* openDirectory(const std::string& path, bool& failed) {
  DIR* directory = ::opendir(path.empty() ? "." : path.c_str());
  if (directory == nullptr && !meansAbsent(errno)) failed = true;
  return directory;
}

}  // namespace

DirectorySearch::DirectorySearch(const std::string& directory, std::string_view pattern, std::size_t enough) {
  // The directory is a plain prefix: whatever follows its last separator begins the names.
  const std::string whole = directory + std::string(pattern);
  const std::size_t slash = whole.rfind('/');
  handle_.directory = openDirectory(textualPath(std::string_view(whole).substr(0, slash + 1)), failed_);
  list(std::string_view(whole).substr(slash + 1), enough);
}

DirectorySearch::DirectorySearch(const std::string& directory, std::string_view name, std::string_view pattern) {
  const std::string path = textualPath(directory + std::string(name) + "/");
  handle_.directory = openDirectory(path, failed_);
  if (handle_.directory == nullptr && errno == ENOENT) {
    // Only now, with the exact name missing, is the parent listed for other spellings.
    const std::string spelled = otherSpelling(path, spellingUnknown_);
    if (!spelled.empty()) handle_.directory = openDirectory(spelled, failed_);
  }
  list(pattern);
}

DirectorySearch::Handle::~Handle() {
  if (directory != nullptr) ::closedir(asDirectory(directory));
}

void DirectorySearch::list(std::string_view pattern, std::size_t enough) {
  if (handle_.directory == nullptr) return;
  // An installation's usual count without regrowing, in a block small enough (under 1 KiB) for the C
  // runtime's quick per-thread cache.
  matches_.reserve(std::min<std::size_t>(enough, 24));
  const Wildcard wildcard(pattern);
  while (matches_.size() < enough) {
    errno = 0;  // a null from readdir with errno still 0 is the end, not an error
    const dirent* entry = ::readdir(asDirectory(handle_.directory));
    if (entry == nullptr) {
      if (errno != 0) failed_ = true;  // cut short: the rest of the directory is unknown
      break;
    }
    const std::string_view name = entry->d_name;
    if (!wildcard.matches(name)) continue;
    Match match{std::string(name)};
    match.listedAsRegularFile = entry->d_type == DT_REG;  // DT_UNKNOWN on some file systems: no promise
    matches_.push_back(std::move(match));
  }
}

bool DirectorySearch::open(std::size_t i, TextFile& file) {
  if (handle_.directory == nullptr) return false;
  Match& match = matches_[i];
  FileFacts facts;
  int fd = -1;
  const Opening opening = openRegularFile(::dirfd(asDirectory(handle_.directory)), match.name.c_str(), fd, &facts);
  if (opening != Opening::Opened) {
    file.faulted_ = opening == Opening::Failed;
    return false;
  }
  // A regular file in the listing is no link, so the open file's creation time is the entry's own.
  if (match.listedAsRegularFile) {
    match.creationTime = facts.creationTime;
    match.creationTimeKnown = true;
  }
  if (file.fd_ >= 0) ::close(file.fd_);
  file.fd_ = fd;
  file.knownSize_ = facts.size;
  return true;
}

std::int64_t DirectorySearch::creationTime(std::size_t i) {
  Match& match = matches_[i];
  if (!match.creationTimeKnown) {
    // The entry itself, not what a link points to, as a directory listing describes it.
    FileFacts facts;
    const bool found = handle_.directory != nullptr &&
                       factsAt(::dirfd(asDirectory(handle_.directory)), match.name.c_str(), AT_SYMLINK_NOFOLLOW, facts);
    if (!found && !meansAbsent(errno)) failed_ = true;
    match.creationTime = found ? facts.creationTime : 0;  // 0: gone since it was listed
    match.creationTimeKnown = true;
  }
  return match.creationTime;
}

}  // namespace korflowid::platform
