// Which failures of the file system mean that a name is not there, as opposed to not available now.
#ifndef KORFLOWID_PLATFORM_WINDOWS_ABSENCE_H
#define KORFLOWID_PLATFORM_WINDOWS_ABSENCE_H

#include <windows.h>

#include <cerrno>

namespace korflowid::platform {

/// Whether a call that failed with `error` (errno) and `systemError` (the system's code behind it, 0
/// where the runtime kept none) found no such name: the name, or a directory on its way, is missing,
/// or no name matched. A name that cannot exist is missing too. Anything else (no memory, no handles,
/// access or sharing denied, an I/O error, a server out of reach) may pass, and must not be taken for
/// the name's absence.
inline bool meansAbsent(int error, DWORD systemError) {
  if (systemError == 0) return error == ENOENT;
  switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:             // a file where the path needs a directory
    case ERROR_FILENAME_EXCED_RANGE:  // a name longer than any the file system holds
      return true;
    default:
      return false;
  }
}

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_WINDOWS_ABSENCE_H
