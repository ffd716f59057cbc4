// Text mode emulated on POSIX, where every file is binary: CR LF becomes LF and control-Z ends the file.
#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace korflowid::platform {

TextFile::~TextFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool TextFile::open(const std::string& path) {
  // O_NONBLOCK keeps a FIFO from blocking the open; such files are refused right after.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat info;
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

std::size_t TextFile::read(char* out, std::size_t capacity) {
  constexpr char kControlZ = 26;
  std::size_t produced = 0;
  while (produced == 0 && !ended_ && fd_ >= 0) {
    std::size_t start = 0;
    if (heldCarriageReturn_) {
      out[start++] = '\r';
      heldCarriageReturn_ = false;
    }
    ssize_t got;
    do {
      got = ::read(fd_, out + start, capacity - start);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
      ended_ = true;
      return start;  // a carriage return at the very end is an ordinary character
    }

    const std::size_t total = start + static_cast<std::size_t>(got);
    for (std::size_t from = 0; from < total; ++from) {
      const char c = out[from];
      if (c == kControlZ) {
        ended_ = true;
        break;
      }
      if (c == '\r') {
        if (from + 1 == total) {
          heldCarriageReturn_ = true;
          break;
        }
        if (out[from + 1] == '\n') continue;
      }
      out[produced++] = c;
    }
  }
  return produced;
}

}  // namespace korflowid::platform
