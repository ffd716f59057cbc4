// Reduces the installation root to the flow directory name, the directory that holds KOR_HOME.
#ifndef KORFLOWID_LOCATION_FLOWDIRECTORY_H
#define KORFLOWID_LOCATION_FLOWDIRECTORY_H

#include <cstddef>
#include <string_view>

namespace korflowid {

/// The reduction works on a copy of the root of at most this many bytes, terminator included, in the
/// library's own text: on Windows UTF-8, where a character beyond ASCII takes two to four bytes.
inline constexpr std::size_t kRootBufferSize = 1024;

enum class FlowDirectoryOutcome {
  Found,
  HomeMissing,       // KOR_HOME is not set
  RootNotReducible,  // the root holds no "/..", has no segment left to remove, or is 1024 bytes or more
};

struct FlowDirectory {
  FlowDirectoryOutcome outcome;
  std::string_view name;  // inside the caller's root buffer; meaningful only with Found; may be empty
};

/// Recomputes from the environment on every call and prints the console message that belongs to
/// each failing outcome. The reduction happens inside `root`, so nothing is allocated.
///   KOR_HOME=D:\inst\RJGQ.2.1\kor  =>  Found, "RJGQ.2.1"
///   KOR_HOME=D:\inst\RJGQ.2.1\kor\ =>  Found, "kor"  (the trailing separator shifts it down one level)
FlowDirectory computeFlowDirectoryName(char (&root)[kRootBufferSize]);

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_FLOWDIRECTORY_H
