// Directory search on Windows: the C runtime's _wfindfirst family, which reports creation times, on
// wide paths, so that names in any script are listed and opened as they are.
#include "platform/DirectorySearch.h"

#include <windows.h>
// After windows.h, which it needs.
#include <io.h>

#include <cerrno>
#include <cstdint>

#include "platform/windows/Absence.h"
#include "platform/windows/WideText.h"

namespace korflowid::platform {
namespace {

// Creation times are 64-bit, so that files made after 2038 still sort after older ones. The 64-bit
// search exists in both runtimes, msvcrt.dll and the UCRT.
using FindData = _wfinddata64_t;
inline intptr_t findFirst(const wchar_t* pattern, FindData* data) {
  return ::_wfindfirst64(pattern, data);
}
inline int findNext(intptr_t handle, FindData* data) {
  return ::_wfindnext64(handle, data);
}

/// Closes the search on every way out of the listing.
class SearchHandle {
 public:
  explicit SearchHandle(intptr_t handle) : handle_(handle) {}
  ~SearchHandle() {
    if (valid()) ::_findclose(handle_);
  }
  SearchHandle(const SearchHandle&) = delete;
  SearchHandle& operator=(const SearchHandle&) = delete;

  bool valid() const { return handle_ != -1; }
  intptr_t get() const { return handle_; }

 private:
  intptr_t handle_;
};

}  // namespace

// The system resolves ".." in the text (fileSystemPath does so for long paths) and the file system
// compares names without regard to case, so paths and patterns go to it as they are.
DirectorySearch::DirectorySearch(const std::string& directory, std::string_view pattern, std::size_t enough)
    : directory_(directory) {
  list(pattern, enough);
}

DirectorySearch::DirectorySearch(const std::string& directory, std::string_view name, std::string_view pattern)
    : directory_(directory + std::string(name) + "/") {
  list(pattern);
}

DirectorySearch::Handle::~Handle() = default;  // the search lists in one go and keeps nothing open

void DirectorySearch::list(std::string_view pattern, std::size_t enough) {
  FindData data{};
  // Forward slashes are fine here; the pattern's letters match without regard to case, as the
  // Windows file systems compare names, and the name comes back in its on-disk case.
  const WideText path = fileSystemPath(directory_ + std::string(pattern));
  // The runtime keeps only a coarse errno for a search; the system's own code behind it is the
  // thread's last error, which nothing touches between the failure and the look at it.
  const SearchHandle search(findFirst(path.data(), &data));
  if (!search.valid()) {
    // A directory path that no file system takes names no directory: nothing to list, no failure.
    const DWORD systemError = ::GetLastError();
    failed_ = !meansAbsent(errno, systemError) && !meansUnusable(systemError);
  }
  for (bool found = search.valid(); found && matches_.size() < enough;) {
    Match& match = matches_.emplace_back();
    match.onDisk = toUtf8(data.name);
    match.name = toAnsi(data.name);
    match.creationTime = data.time_create;
    match.creationTimeKnown = true;  // every match of this search carries it
    // Opening a directory would fail as a file held without sharing does; the listing tells them apart.
    match.listedAsRegularFile = (data.attrib & _A_SUBDIR) == 0;
    found = findNext(search.get(), &data) == 0;
    // The end of the listing is "no more files"; any other failure cut it short.
    if (!found) failed_ = !meansAbsent(errno, ::GetLastError());
  }
  // Matches open by path: the pattern's directory part, as the search read it.
  directory_.resize(directory_.find_last_of("/\\:") + 1);
}

bool DirectorySearch::open(std::size_t i, TextFile& file) {
  if (!matches_[i].listedAsRegularFile) return false;  // a directory is no file, and no fault
  return file.open(directory_ + matches_[i].onDisk);
}

std::int64_t DirectorySearch::creationTime(std::size_t i) {
  return matches_[i].creationTime;
}

}  // namespace korflowid::platform
