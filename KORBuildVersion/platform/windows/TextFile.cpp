// Text files on Windows: the C runtime's own text mode turns CR LF into LF and stops at control-Z.
// Paths are opened wide, so a name in any script opens the file it names.
#include "platform/TextFile.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <climits>

#include "platform/windows/WideText.h"

namespace korflowid::platform {

TextFile::~TextFile() {
  if (fd_ >= 0) ::_close(fd_);
}

bool TextFile::open(const std::string& path) {
  // _SH_DENYNO: the installer or an editor may hold the file open while we read it.
  fd_ = ::_wsopen(fileSystemPath(path).data(), _O_RDONLY | _O_TEXT | _O_NOINHERIT, _SH_DENYNO);
  if (fd_ < 0) return false;
  // Directories already fail to open here; devices such as CON or NUL do not, and reading one could
  // block or never end.
  struct _stat64 info;
  if (::_fstat64(fd_, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    ::_close(fd_);
    fd_ = -1;
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
    return 0;
  }
  return static_cast<std::size_t>(got);
}

}  // namespace korflowid::platform
