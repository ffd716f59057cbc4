// Text mode emulated on POSIX, where every file is binary: CR LF becomes LF and control-Z ends the file.
#include "platform/TextFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/FileSystem.h"

namespace korflowid::platform {

TextFile::~TextFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool TextFile::open(const std::string& path) {
  FileFacts facts;
  faulted_ = openRegularFile(AT_FDCWD, textualPath(path).c_str(), fd_, &facts) == Opening::Failed;
  knownSize_ = facts.size;
  return fd_ >= 0;
}

bool TextFile::open(const std::string& directory, std::string_view name) {
  const std::string path = textualPath(directory + std::string(name));
  FileFacts facts;
  Opening opening = openRegularFile(AT_FDCWD, path.c_str(), fd_, &facts);
  if (opening == Opening::Missing) {
    // Only now, with the exact name missing, is the directory listed for other spellings.
    const std::string spelled = otherSpelling(path, faulted_);
    if (!spelled.empty()) opening = openRegularFile(AT_FDCWD, spelled.c_str(), fd_, &facts);
  }
  faulted_ = faulted_ || opening == Opening::Failed;
  knownSize_ = facts.size;
  return fd_ >= 0;
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
      faulted_ = got < 0;
      return start;  // a carriage return at the very end is an ordinary character
    }
    bytesRead_ += static_cast<std::uint64_t>(got);
    if (bytesRead_ == knownSize_) ended_ = true;

    std::size_t total = start + static_cast<std::size_t>(got);
    // Whole runs between carriage returns move at once; a byte-by-byte copy costs more than the
    // read itself on short files.
    const void* controlZ = std::memchr(out, kControlZ, total);
    if (controlZ != nullptr) {
      ended_ = true;
      total = static_cast<std::size_t>(static_cast<const char*>(controlZ) - out);
    }
    std::size_t from = 0;
    while (from < total) {
      const void* found = std::memchr(out + from, '\r', total - from);
      const std::size_t carriageReturn =
          found == nullptr ? total : static_cast<std::size_t>(static_cast<const char*>(found) - out);
      std::memmove(out + produced, out + from, carriageReturn - from);
      produced += carriageReturn - from;
      from = carriageReturn + 1;
      if (found == nullptr) break;
      if (from == total && !ended_) {
        heldCarriageReturn_ = true;  // the next read tells whether a line feed follows
        break;
      }
      if (from == total || out[from] != '\n') out[produced++] = '\r';
    }
  }
  return produced;
}

}  // namespace korflowid::platform
