// Windows resolves ".." in the text and compares names without regard to case; the kernel here
// follows ".." through the real directories and compares bytes, so both are done by hand.
#include "platform/posix/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "location/ModuleState.h"
#include "rules/TreeNames.h"

namespace korflowid::platform {
namespace {

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

/// Facts from the kernel's older call, for processes where statx is refused. Through syscall, as
/// glibc's fstatat is a symbol of 2.33, and its struct stat is the kernel's on the 64-bit targets.
bool factsFromStat(int directory, const char* name, int flags, FileFacts& facts) {
#if defined(SYS_newfstatat)
  struct stat info;
  if (::syscall(SYS_newfstatat, directory, name, &info, flags) != 0) return false;
  facts.regularFile = S_ISREG(info.st_mode);
  facts.creationTime = info.st_mtime;  // no birth time here: the order of modification
  facts.size = static_cast<std::uint64_t>(info.st_size);
  return true;
#else
  (void)directory, (void)name, (void)flags, (void)facts;
  errno = EPERM;  // no older call on this target: statx's refusal stands
  return false;
#endif
}

}  // namespace

std::string textualPath(std::string_view path) {
  const bool absolute = !path.empty() && path.front() == '/';
  std::string text(absolute ? "/" : "");
  text.reserve(path.size() + 1);
  std::size_t kept = 0;    // segments in `text`, each followed by "/"
  std::size_t climbs = 0;  // of which ".." that nothing was left to remove, always the first ones
  bool endsInDirectory = false;
  for (std::size_t at = 0; at <= path.size();) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    const std::string_view segment = path.substr(at, slash - at);
    at = slash + 1;
    endsInDirectory = segment.empty() || segment == "." || segment == "..";
    if (segment.empty() || segment == ".") continue;
    if (segment != "..") {
      text.append(segment).push_back('/');
      ++kept;
    } else if (kept > climbs) {
      text.resize(text.rfind('/', text.size() - 2) + 1);  // to the end of the segment before
      --kept;
    } else if (!absolute) {
      text.append("../");  // above where a relative path starts: only the file system knows
      ++kept;
      ++climbs;
    }
  }
  if (kept > 0 && !endsInDirectory) text.pop_back();
  return text;
}

std::string otherSpelling(std::string_view path, bool& failed) {
  const std::string_view separator = !path.empty() && path.back() == '/' ? "/" : "";
  const std::string_view bare = path.substr(0, path.size() - separator.size());
  const std::size_t begin = bare.rfind('/') + 1;  // 0 when there is no separator
  const std::string directory(bare.substr(0, begin));
  const std::string_view name = bare.substr(begin);
  std::string found;
  if (name.empty()) return found;
  std::unique_ptr<DIR, DirectoryCloser> listing(::opendir(directory.empty() ? "." : directory.c_str()));
  if (!listing) {
    failed = !meansAbsent(errno);
    return found;
  }
  for (;;) {
    errno = 0;  // a null from readdir with errno still 0 is the end, not an error
    const dirent* entry = ::readdir(listing.get());
    if (entry == nullptr) {
      if (errno == 0) break;
      failed = true;  // a spelling not yet seen may be the one Windows would take
      return {};
    }
    const std::string_view candidate = entry->d_name;
    if (!takesSpelling(candidate, found, name)) continue;
    if (candidate == name) return {};  // there after all (a dangling link, say): Windows would take it
    found = candidate;
  }
  return found.empty() ? found : directory + found + std::string(separator);
}

bool factsAt(int directory, const char* name, int flags, FileFacts& facts) {
  // statx is GLIBC_2.28, while the stat family became symbols of their own only in 2.33. glibc stands
  // in for a kernel without it (ENOSYS) only when built for such kernels; a sandbox's filter may
  // answer EPERM. Either refusal holds for the whole process, so the first one decides.
  std::atomic<CallAvailability>& statx = moduleState.statx;
  if (statx.load(std::memory_order_relaxed) == CallAvailability::Refused) {
    return factsFromStat(directory, name, flags, facts);
  }
  struct statx info;
  if (::statx(directory, name, flags, STATX_TYPE | STATX_SIZE | STATX_BTIME | STATX_MTIME, &info) != 0) {
    if ((errno != EPERM && errno != ENOSYS) || statx.load(std::memory_order_relaxed) == CallAvailability::Answers) {
      return false;
    }
    statx.store(CallAvailability::Refused, std::memory_order_relaxed);
    return factsFromStat(directory, name, flags, facts);
  }
  if (statx.load(std::memory_order_relaxed) == CallAvailability::Unknown) {
    statx.store(CallAvailability::Answers, std::memory_order_relaxed);
  }
  facts.regularFile = (info.stx_mask & STATX_TYPE) != 0 && S_ISREG(info.stx_mode);
  // The birth time where the file system keeps one, else the modification time, which still orders.
  const auto seconds = (info.stx_mask & STATX_BTIME) ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec;
  facts.creationTime = seconds;
  facts.size = (info.stx_mask & STATX_SIZE) ? info.stx_size : 0;
  return true;
}

Opening openRegularFile(int directory, const char* name, int& fd, FileFacts* facts) {
  // O_NONBLOCK keeps a FIFO from blocking the open; such files are refused right after.
  fd = ::openat(directory, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  FileFacts found;
  if (fd < 0) {
    if (meansAbsent(errno)) return Opening::Missing;
    // A looping link can never be opened, while the entry itself is there to be seen.
    if (meansUnusable(errno))
      return factsAt(directory, name, AT_SYMLINK_NOFOLLOW, found) ? Opening::NotAFile : Opening::Failed;
    // A socket, say, cannot be opened at all: what it is tells its refusal from a failure.
    const bool notAFile = factsAt(directory, name, 0, found) && !found.regularFile;
    return notAFile ? Opening::NotAFile : Opening::Failed;
  }
  const bool known = factsAt(fd, "", AT_EMPTY_PATH, found);
  if (!known || !found.regularFile) {
    ::close(fd);
    fd = -1;
    return known ? Opening::NotAFile : Opening::Failed;
  }
  if (facts != nullptr) *facts = found;
  return Opening::Opened;
}

}  // namespace korflowid::platform
