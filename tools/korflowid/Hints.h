// Why a value is unknown or absent: the library's answers read beside the tool's own look at the tree.
#ifndef KORFLOWID_TOOLS_HINTS_H
#define KORFLOWID_TOOLS_HINTS_H

#include <string>
#include <vector>

#include "Installation.h"

namespace korflowid::tool {

/// One line per cause, in the user's terms, for an unknown flow or release, absent labelled values or
/// an empty report, from the tool's own look at the tree, since the library tells no reason. A look the
/// system refuses is named with its path and the system's message. Nothing when everything is known and
/// could be looked at, and nothing when KOR_HOME cannot be reduced: the library's message says why then;
/// how to set KOR_HOME when it is unset. Looks at names, types and sizes, and opens (never reads) the
/// regular files the library would read, to learn whether it may.
///   KOR_HOME=/nonexistent/kor  =>  {"KOR_HOME names a directory that does not exist",
///                                   "no known flow marker in the flow directory name 'nonexistent'", ...}
///   InstallVersions/ mode 0     =>  {"cannot list /opt/RJGQ.2.1/InstallVersions/: Permission denied"}
std::vector<std::string> hintsFor(const Installation& installation);

}  // namespace korflowid::tool

#endif  // KORFLOWID_TOOLS_HINTS_H
