// Wildcard directory search: the one way the report code lists an installation's files.
#ifndef KORFLOWID_PLATFORM_DIRECTORYSEARCH_H
#define KORFLOWID_PLATFORM_DIRECTORYSEARCH_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korflowid::platform {

struct DirectoryMatch {
  std::string name;                          // without any directory part
  std::optional<std::int32_t> creationTime;  // where the platform's search reports it at no cost
};

/// Every entry of the pattern's directory whose name matches the pattern's last segment ("*" any
/// run of characters, "?" any one), in the order the platform yields them, which is arbitrary:
/// callers sort by their own key. A missing directory or no match gives an empty list. Entries are
/// reported whatever they are (files, directories, links); opening decides what they are worth.
///   "root/../patch_*.txt"  =>  {"patch_2.txt", "patch_10.txt"}
std::vector<DirectoryMatch> findMatches(const std::string& pattern);

/// The creation time of a match found in `directory` (the pattern's directory part, ending in a
/// separator) as a signed 32-bit count of seconds, smaller for older files; 0 when it is gone.
std::int32_t creationTimeOf(const std::string& directory, const DirectoryMatch& match);

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_DIRECTORYSEARCH_H
