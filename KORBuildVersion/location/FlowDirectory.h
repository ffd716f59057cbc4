// Reduces the installation root to the flow directory name, the directory that holds KOR_HOME.
#ifndef KORFLOWID_LOCATION_FLOWDIRECTORY_H
#define KORFLOWID_LOCATION_FLOWDIRECTORY_H

#include <string>

namespace korflowid {

enum class FlowDirectoryOutcome {
  Found,
  HomeMissing,       // KOR_HOME is not set
  RootNotReducible,  // the root holds no "/..", has no segment left to remove, or is 1024 bytes or more
};

struct FlowDirectory {
  FlowDirectoryOutcome outcome;
  std::string name;  // meaningful only with Found; may be empty
};

/// Recomputes from the environment on every call and prints the console message that belongs to
/// each failing outcome.
///   KOR_HOME=D:\inst\RJGQ.2.1\kor  =>  Found, "RJGQ.2.1"
///   KOR_HOME=D:\inst\RJGQ.2.1\kor\ =>  Found, "kor"  (the trailing separator shifts it down one level)
FlowDirectory computeFlowDirectoryName();

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_FLOWDIRECTORY_H
