// What the POSIX bodies share: paths and names read the way Windows reads an installation tree, and
// files opened so that no read can block or run without end.
#ifndef KORFLOWID_PLATFORM_POSIX_FILESYSTEM_H
#define KORFLOWID_PLATFORM_POSIX_FILESYSTEM_H

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

namespace korflowid::platform {

/// `path` with "." and empty segments removed and every segment followed by ".." removed with it,
/// from the text alone. A ".." that has nothing left to remove stays in a relative path and goes in
/// an absolute one, as the root is its own parent. A path that ends in a directory (a separator,
/// "." or "..") keeps one trailing separator; nothing left of a relative path is "".
///   "/i/RJGQ.2.1/kor/../InstallVersions/"  =>  "/i/RJGQ.2.1/InstallVersions/"
///   "kor/../patch_1.txt"  =>  "patch_1.txt"
std::string textualPath(std::string_view path);

// What a failed call means, in three classes (README, "Failures"):
// - absent: the name is not there (meansAbsent), as if it were never asked for;
// - unusable for good: an entry that is there but can never be read as a file (Opening::NotAFile): a
//   directory, FIFO, device or socket, a link that loops or leads to a name too long (meansUnusable);
// - anything else fails: the entry may well be readable later (no descriptors or memory, permission
//   denied, an I/O error), so nothing read with such a failure is the installation's state.

/// Whether `error` (an errno value) says that a name is not there: the only failure that means absence.
inline bool meansAbsent(int error) {
  return error == ENOENT || error == ENOTDIR;
}

/// Whether `error`, met opening an entry that is itself there, says it can never be opened: its link
/// loops, or leads to a name longer than the system takes. Retrying cannot help while the tree stays.
inline bool meansUnusable(int error) {
  return error == ELOOP || error == ENAMETOOLONG;
}

/// `path` (as textualPath gives it) with its last name spelled as Windows would take it when no entry
/// has exactly that name: the first in name order of those spelled alike but for case. A trailing
/// separator stays. Empty when the exact name exists, or no other spelling does; empty with `failed`
/// set when the directory could not be listed whole. The search is a courtesy to trees copied from
/// Windows: callers take a failed one for a name that is not there (an execute-only directory still
/// opens its exact names), but keep nothing read with it, as a later listing may find the name.
///   "/i/RJGQ.2.1/InstallVersions/"  =>  "/i/RJGQ.2.1/installversions/"
std::string otherSpelling(std::string_view path, bool& failed);

/// What one look at a file tells.
struct FileFacts {
  bool regularFile = false;
  std::int64_t creationTime = 0;  // the birth time where the file system keeps one, else the modification time
  std::uint64_t size = 0;         // in bytes; 0 also where unknown
};

/// The facts of `name` relative to the directory descriptor `directory`, as statx takes them
/// (flags AT_EMPTY_PATH with "" for an open file, AT_SYMLINK_NOFOLLOW for a directory entry itself).
/// False with errno set when they cannot be had. In a process where statx is refused (a sandbox's
/// filter), every file's creationTime is its modification time, so that one order holds throughout.
bool factsAt(int directory, const char* name, int flags, FileFacts& facts);

/// What opening a file came to.
enum class Opening {
  Opened,
  Missing,   // no entry has that name
  NotAFile,  // a directory, FIFO, device or socket, a link to one, a looping link: never read
  Failed,    // there may be a file, but it could not be opened now
};

/// `name` relative to `directory` opened for reading into `fd` when it is a regular file. The open
/// itself never blocks, on a FIFO say, and adopts no terminal. `facts`, where given, receives the
/// open file's facts.
Opening openRegularFile(int directory, const char* name, int& fd, FileFacts* facts);

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_POSIX_FILESYSTEM_H
