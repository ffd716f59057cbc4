// A buffered line reader with the line-length rule of a 200-byte getline.
#include "report/LineReader.h"

#include <cstring>

namespace korflowid {

bool LineReader::next(std::string_view& line) {
  while (!failed_) {
    const std::size_t available = end_ - begin_;
    // One byte past the longest line is enough to tell a line feed from an over-long line.
    const std::size_t window = available < kMaxLineLength + 1 ? available : kMaxLineLength + 1;
    const char* start = buffer_ + begin_;
    if (const void* feed = std::memchr(start, '\n', window)) {
      const auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
      line = std::string_view(start, length);
      begin_ += length + 1;
      return true;
    }
    if (available > kMaxLineLength) break;
    if (atEnd_) {
      if (available == 0) break;
      line = std::string_view(start, available);
      begin_ = end_;
      return true;
    }
    std::memmove(buffer_, start, available);
    begin_ = 0;
    end_ = available;
    const std::size_t got = file_.read(buffer_ + end_, sizeof buffer_ - end_);
    if (got == 0) atEnd_ = true;
    end_ += got;
  }
  failed_ = true;
  return false;
}

}  // namespace korflowid
