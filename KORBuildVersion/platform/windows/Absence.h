// Which failures of the file system mean that a name is not there, or can never be read, as opposed
// to not available now: the three classes of README's "Failures", as Windows reports them.
#ifndef KORFLOWID_PLATFORM_WINDOWS_ABSENCE_H
#define KORFLOWID_PLATFORM_WINDOWS_ABSENCE_H

#include <windows.h>

#include <cerrno>

namespace korflowid::platform {

/// Whether a call that failed with `error` (errno) and `systemError` (the system's code behind it, 0
/// where the runtime kept none) found no such name: the name, or a directory on its way, is missing,
/// or no name matched. Anything else (no memory, no handles, access or sharing denied, an I/O error,
/// a server out of reach) may pass, and must not be taken for the name's absence.
inline bool meansAbsent(int error, DWORD systemError) {
  if (systemError == 0) return error == ENOENT;
  switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:  // a file where the path needs a directory
      return true;
    default:
      return false;
  }
}

/// Whether `systemError` says that the name is none the file system can open, however often asked: not
/// a name Windows takes, or longer than any it holds. An entry that a listing gave is then unusable
/// for good, as a directory is; a path formed from KOR_HOME names nothing, as if it were missing.
/// Both are the same on POSIX: a link that loops, or leads to a name too long.
inline bool meansUnusable(DWORD systemError) {
  return systemError == ERROR_INVALID_NAME || systemError == ERROR_FILENAME_EXCED_RANGE;
}

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_WINDOWS_ABSENCE_H
