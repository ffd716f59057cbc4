// A file read in the C runtime's text mode, the way the installer's files are meant to be read.
#ifndef KORFLOWID_PLATFORM_TEXTFILE_H
#define KORFLOWID_PLATFORM_TEXTFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korflowid::platform {

class DirectorySearch;

/// Text mode: a carriage return directly before a line feed is dropped (a lone one is kept), and a
/// byte 26 (control-Z) ends the file.
class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  ~TextFile();

  /// Opens `path` for reading without locking it against other processes. Anything but a regular
  /// file (a directory, FIFO, device, or a link to one) is refused, so a read can neither block nor
  /// run without end. ".." in the path is taken as DirectorySearch takes it.
  bool open(const std::string& path);

  /// Opens the file `name` of `directory` (a path used as a prefix). Where no entry has exactly that
  /// name, one spelled otherwise is taken, as Windows would find it: the first in name order. Where
  /// the directory cannot be listed for other spellings, the file is missing, and faulted(): a later
  /// look may find it.
  bool open(const std::string& directory, std::string_view name);

  /// Up to `capacity` (at least 2) translated bytes; 0 only at the end of the file or on an error.
  std::size_t read(char* out, std::size_t capacity);

  /// Whether opening or reading failed for a reason other than absence: the file may well hold text
  /// that could not be had just now (no descriptors or memory, sharing or permission denied, an I/O
  /// error). A name that is missing, or that can never be read as a file (a directory, a looping
  /// link), is no fault.
  bool faulted() const { return faulted_; }

 private:
  friend class DirectorySearch;  // hands over the files it opens itself

  int fd_ = -1;
  // Where the size was known at opening, a read that reaches it ends the file: asking the system
  // once more only to hear that nothing follows would cost as much as the read itself.
  std::uint64_t knownSize_ = 0;  // 0: not known
  std::uint64_t bytesRead_ = 0;
  bool ended_ = false;
  bool faulted_ = false;
  bool heldCarriageReturn_ = false;  // the last byte of a read, until the next byte decides it
};

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_TEXTFILE_H
