// Line-by-line reading of an installer text file into a 200-byte line, as the installer's readers do.
#ifndef KORFLOWID_REPORT_LINEREADER_H
#define KORFLOWID_REPORT_LINEREADER_H

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/DirectorySearch.h"
#include "platform/TextFile.h"
#include "rules/ReportLayout.h"

namespace korflowid {

/// Reads lines of at most kMaxLineLength characters. A line of 200 characters or more is a failed
/// read, as is the end of the file with nothing left; the first failed read ends the file for good.
class LineReader {
 public:
  /// False when the file cannot be opened (or is not a regular file).
  bool open(const std::string& path) { return file_.open(path); }
  /// The file `name` of `directory`, under another spelling where the exact one is missing.
  bool open(const std::string& directory, std::string_view name) { return file_.open(directory, name); }
  /// Match `i` of a search.
  bool open(platform::DirectorySearch& search, std::size_t i) { return search.open(i, file_); }

  /// The next line without its line feed; valid until the next call. A last line without a line
  /// feed still counts. The line may hold zero bytes; callers decide what they mean.
  bool next(std::string_view& line);

  /// Whether the file could not be opened or read for a reason other than its absence.
  bool faulted() const { return file_.faulted(); }

 private:
  platform::TextFile file_;
  char buffer_[4096];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

/// Appends `line` up to its first zero byte, then CR LF: the report's form of a file's line.
inline void appendReportLine(std::string& text, std::string_view line) {
  text.append(line.substr(0, line.find('\0'))).append("\r\n");
}

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_LINEREADER_H
