// Wildcard directory search: the one way the report code lists an installation's files.
#ifndef KORFLOWID_PLATFORM_DIRECTORYSEARCH_H
#define KORFLOWID_PLATFORM_DIRECTORYSEARCH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextFile.h"

namespace korflowid::platform {

/// One directory listed for one wildcard pattern. Its matches are opened through the search, which
/// keeps the directory open, so a file costs no more than its own opening.
///
/// Names match the pattern as they do on Windows: "*" stands for any run of characters, "?" for any
/// one, and letters match without regard to ASCII case. Matches come in the order the platform
/// yields them, which is arbitrary: callers sort by their own key. Entries are taken whatever they
/// are (files, directories, links); opening decides what they are worth. Paths are read as Windows
/// reads them: a segment followed by ".." leaves the text before anything is opened, so neither its
/// existence nor its links matter ("a/kor/../x" is "a/x").
///   DirectorySearch(root, "patch_*.txt")  =>  "patch_2.txt", "PATCH_10.TXT"
class DirectorySearch {
 public:
  /// Lists `directory` (a path used as a prefix, normally ending in a separator). A missing
  /// directory gives no matches; one that cannot be read gives what was listed and failed(). The
  /// listing stops at `enough` matches: a caller that can use no more says so, and a huge directory
  /// is not read to its end.
  DirectorySearch(const std::string& directory, std::string_view pattern, std::size_t enough = SIZE_MAX);

  /// Lists the subdirectory `name` of `directory`. Where no entry has exactly that name, one spelled
  /// otherwise is taken, as Windows would find it: the first in name order.
  DirectorySearch(const std::string& directory, std::string_view name, std::string_view pattern);

  ~DirectorySearch() = default;
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  std::size_t size() const { return matches_.size(); }
  /// The name of match `i`, as it is on disk, without any directory part, in callers' text (on
  /// Windows the ANSI code page, where a character the page lacks is "?"). Opening goes by the name
  /// itself, never by this text.
  const std::string& name(std::size_t i) const { return matches_[i].name; }
  /// The name of match `i` in the library's own text (on Windows UTF-8, holding every character).
#if defined(_WIN32)
  const std::string& ownName(std::size_t i) const {
    return matches_[i].onDisk;
  }
#else
  const std::string& ownName(std::size_t i) const {
    return matches_[i].name;
  }
#endif

  /// Opens match `i` into `file`, with the rules of TextFile::open.
  bool open(std::size_t i, TextFile& file);

  /// The creation time of match `i` in seconds, smaller for older files; 0 when it is gone. A time
  /// that could not be had for another reason is 0 as well, and makes failed() true.
  std::int64_t creationTime(std::size_t i);

  /// Whether something other than absence kept the listing whole, or a match's creation time, from
  /// being had: no memory or descriptors, permission denied, an I/O error. The matches may then miss
  /// files that exist, which no caller may take for their absence. Absence is only "not found": no
  /// such directory, no directory on the way there, or no match.
  bool failed() const {
    return failed_;
  }

  /// Whether the subdirectory's exact name was missing and its folder could not be listed for other
  /// spellings (an execute-only folder, say). It then counts as missing, not as a failed listing; but
  /// a later search may still find it spelled otherwise, so nothing read with it is to be kept.
  bool spellingUnknown() const { return spellingUnknown_; }

 private:
  struct Match {
    std::string name;
    std::int64_t creationTime = 0;
    bool creationTimeKnown = false;
    bool listedAsRegularFile = false;  // the listing itself said so, where it can
#if defined(_WIN32)
    std::string onDisk;  // the name in the library's own text, which opens the file
#endif
  };

  void list(std::string_view pattern, std::size_t enough = SIZE_MAX);

  /// The listed directory, kept open where files open relative to it. A member of its own, so that
  /// it is closed also when a constructor does not finish (a listing that fails to allocate).
  struct Handle {
    void* directory = nullptr;
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle();
  };

  std::vector<Match> matches_;
  std::string directory_;  // where matches are opened by path
  Handle handle_;
  bool failed_ = false;
  bool spellingUnknown_ = false;
};

/// Whether equal keys may keep the order of the platform's search: on Windows they do, NTFS listing
/// names in that order already; elsewhere the listing order is arbitrary and names break the tie.
#if defined(_WIN32)
inline constexpr bool kSearchYieldsNameOrder = true;
#else
inline constexpr bool kSearchYieldsNameOrder = false;
#endif

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_DIRECTORYSEARCH_H
