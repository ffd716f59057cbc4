// Text files on Windows: the C runtime's own text mode turns CR LF into LF and stops at control-Z.
// Paths are opened wide, so a name in any script opens the file it names.
#include "platform/TextFile.h"

#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/windows/Absence.h"
#include "platform/windows/WideText.h"

namespace korflowid::platform {
namespace {

/// Whether `path` names a directory. Opening one as a file fails with "access denied", just as a file
/// fails whose holder shares no reading with others: only the file's refusal passes.
bool isDirectory(const WideText& path) {
  const DWORD attributes = ::GetFileAttributesW(path.data());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

TextFile::~TextFile() {
  if (fd_ >= 0) ::_close(fd_);
}

bool TextFile::open(const std::string& path) {
  const WideText wide = fileSystemPath(path);
  _doserrno = 0;  // the runtime sets it only where the system itself refused
  // _SH_DENYNO: the installer or an editor may hold the file open while we read it.
  fd_ = ::_wsopen(wide.data(), _O_RDONLY | _O_TEXT | _O_NOINHERIT, _SH_DENYNO);
  if (fd_ < 0) {
    const int error = errno;
    const DWORD systemError = _doserrno;
    const bool unusable = meansUnusable(systemError) || (error == EACCES && isDirectory(wide));
    faulted_ = !meansAbsent(error, systemError) && !unusable;
    return false;
  }
  // Devices such as CON or NUL open as well, and reading one could block or never end: they are
  // refused like directories, as no file at all.
  struct _stat64 info;
  const bool known = ::_fstat64(fd_, &info) == 0;
  if (!known || (info.st_mode & _S_IFMT) != _S_IFREG) {
    ::_close(fd_);
    fd_ = -1;
    faulted_ = !known;
    return false;
  }
  return true;
}

bool TextFile::open(const std::string& directory, std::string_view name) {
  return open(directory + std::string(name));  // the file system itself ignores case
}

std::size_t TextFile::read(char* out, std::size_t capacity) {
  if (fd_ < 0 || ended_) return 0;
  const auto count = static_cast<unsigned int>(capacity < INT_MAX ? capacity : INT_MAX);
  // 0 is the end of the file or a control-Z, negative an error; either ends the file for good.
  const int got = ::_read(fd_, out, count);
  if (got <= 0) {
    ended_ = true;
    faulted_ = got < 0;
    return 0;
  }
  return static_cast<std::size_t>(got);
}

}  // namespace korflowid::platform
