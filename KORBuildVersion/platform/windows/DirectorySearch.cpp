// Directory search on Windows: the C runtime's _findfirst family, which reports creation times.
#include "platform/DirectorySearch.h"

#include <io.h>

#include <cstdint>

namespace korflowid::platform {
namespace {

// Creation times are 32-bit keys, as in the _finddata32_t record of _findfirst32. MinGW's C++
// runtime is built for msvcrt.dll, which has no _findfirst32/_findnext32 (only the UCRT does): they
// compile there but fail to link. The 64-bit variant exists in both runtimes, and narrowing its
// creation time to 32 bits gives the same key as the 32-bit record for every time it can hold.
#if defined(_MSC_VER)
using FindData = _finddata32_t;
inline intptr_t findFirst(const char* pattern, FindData* data) {
  return ::_findfirst32(pattern, data);
}
inline int findNext(intptr_t handle, FindData* data) {
  return ::_findnext32(handle, data);
}
#else
using FindData = __finddata64_t;
inline intptr_t findFirst(const char* pattern, FindData* data) {
  return ::_findfirst64(pattern, data);
}
inline int findNext(intptr_t handle, FindData* data) {
  return ::_findnext64(handle, data);
}
#endif

/// Closes the search on every way out of findMatches.
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

std::vector<DirectoryMatch> findMatches(const std::string& pattern) {
  std::vector<DirectoryMatch> matches;
  FindData data{};
  // Forward slashes are fine here; the pattern's letters match without regard to case, as the
  // Windows file systems compare names, and the name comes back in its on-disk case.
  const SearchHandle search(findFirst(pattern.c_str(), &data));
  if (!search.valid()) return matches;  // no match, or no such directory
  do {
    matches.push_back({data.name, static_cast<std::int32_t>(data.time_create)});
  } while (findNext(search.get(), &data) == 0);
  return matches;
}

std::int32_t creationTimeOf(const std::string&, const DirectoryMatch& match) {
  return match.creationTime.value_or(0);  // every match of this search carries it
}

}  // namespace korflowid::platform
