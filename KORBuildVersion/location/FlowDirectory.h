// Reduces the installation root to the flow directory name, the directory that holds KOR_HOME.
#ifndef KORFLOWID_LOCATION_FLOWDIRECTORY_H
#define KORFLOWID_LOCATION_FLOWDIRECTORY_H

#include <string_view>

#include "rules/RootReduction.h"

namespace korflowid {

enum class FlowDirectoryOutcome {
  Found,
  HomeMissing,       // KOR_HOME is not set
  RootNotReducible,  // the root holds no "/..", has no segment left to remove, or is 1024 bytes or more
};

/// Whether a failing outcome prints its console message: the C++ interface's functions do, the C
/// interface's never.
enum class Console { Print, Quiet };

struct FlowDirectory {
  FlowDirectoryOutcome outcome;
  std::string_view name;  // inside the caller's root buffer; meaningful only with Found; may be empty
};

/// Recomputes from `home` (the library's own text), or from the environment when it is null, on every
/// call, printing the console message that belongs to each failing outcome when `console` says so.
/// The reduction happens inside `root`, so nothing is allocated.
///   KOR_HOME=D:\inst\RJGQ.2.1\kor  =>  Found, "RJGQ.2.1"
///   KOR_HOME=D:\inst\RJGQ.2.1\kor\ =>  Found, "kor"  (the trailing separator shifts it down one level)
FlowDirectory computeFlowDirectoryName(char (&root)[kRootBufferSize], const char* home = nullptr,
                                       Console console = Console::Print);

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_FLOWDIRECTORY_H
