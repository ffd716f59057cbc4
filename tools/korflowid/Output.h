// The tool's three ways of showing an installation: a summary, one value, or a JSON object.
#ifndef KORFLOWID_TOOLS_OUTPUT_H
#define KORFLOWID_TOOLS_OUTPUT_H

#include <cstdio>
#include <string_view>

#include "Installation.h"

namespace korflowid::tool {

void printSummary(const Installation& installation, std::FILE* out);

/// The value alone with a line feed, or nothing at all when it is absent; the patches one a line.
void printValue(const Installation& installation, std::string_view key, std::FILE* out);

/// One JSON object; bytes that are not UTF-8 become U+FFFD, so the output always parses.
void printJson(const Installation& installation, int exitStatus, std::FILE* out);

/// The library's messages as diagnostics, one line each.
void printMessages(const Installation& installation, std::FILE* err);

/// Why values are unknown or absent, one line each.
void printHints(const Installation& installation, std::FILE* err);

}  // namespace korflowid::tool

#endif  // KORFLOWID_TOOLS_OUTPUT_H
