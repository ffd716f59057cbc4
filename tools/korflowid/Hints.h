// Why a value is unknown or absent: the library's answers read beside the tool's own look at the tree.
#ifndef KORFLOWID_TOOLS_HINTS_H
#define KORFLOWID_TOOLS_HINTS_H

#include <string>
#include <vector>

#include "Installation.h"

namespace korflowid::tool {

/// One line per cause, in the user's terms, for an unknown flow or release, absent labelled values or
/// an empty report. Nothing when everything is known, and nothing when KOR_HOME is unset or cannot be
/// reduced: the library's own message says why then. Only looks at names, types and sizes; opens no file.
///   KOR_HOME=/nonexistent/kor  =>  {"KOR_HOME names a directory that does not exist",
///                                   "no known flow marker in the flow directory name 'nonexistent'", ...}
std::vector<std::string> hintsFor(const Installation& installation);

}  // namespace korflowid::tool

#endif  // KORFLOWID_TOOLS_HINTS_H
