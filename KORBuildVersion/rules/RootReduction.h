// How the installation root reduces to the flow directory name, from the text alone.
#ifndef KORFLOWID_RULES_ROOTREDUCTION_H
#define KORFLOWID_RULES_ROOTREDUCTION_H

#include <cstddef>
#include <string_view>

namespace korflowid {

/// A root of this many bytes or more cannot be reduced: the module reduces it on the stack. The
/// bytes are the library's own text: on Windows UTF-8, where a character beyond ASCII takes two to
/// four bytes.
inline constexpr std::size_t kRootBufferSize = 1024;

struct RootReduction {
  bool reducible = false;   // the root holds "/..", a segment before it to remove, and fits kRootBufferSize
  std::string_view name;    // inside the root; may be empty
  std::size_t climbAt = 0;  // where the text was cut: its first "/..", after the steps before
};

/// Reduces the `length` bytes of `root` in place: backslashes become slashes, one trailing
/// separator goes, the text ends before its first "/.." (any segment starting with two dots), the
/// last segment goes, and the name is the segment then last. Nothing is touched when `length` is
/// kRootBufferSize or more.
///   "D:\inst\RJGQ.2.1\kor/../"   =>  "RJGQ.2.1", climbAt 20
///   "D:\inst\RJGQ.2.1\kor\/../"  =>  "kor" (the trailing separator shifts it down one level)
///   "kor/../"                    =>  not reducible
RootReduction reduceRoot(char* root, std::size_t length);

}  // namespace korflowid

#endif  // KORFLOWID_RULES_ROOTREDUCTION_H
