// Wildcard directory search: the one way the report code lists an installation's files.
#ifndef KORFLOWID_PLATFORM_DIRECTORYSEARCH_H
#define KORFLOWID_PLATFORM_DIRECTORYSEARCH_H

#include <cstdint>
#include <string>
#include <vector>

namespace korflowid::platform {

struct DirectoryMatch {
  std::string name;           // without any directory part
  std::int32_t creationTime;  // seconds; smaller for older files; 0 unless asked for
};

enum class MatchTimes { Skip, Creation };

/// Every entry of the pattern's directory whose name matches the pattern's last segment ("*" any
/// run of characters, "?" any one), in the order the platform yields them, which is arbitrary:
/// callers sort by their own key. A missing directory or no match gives an empty list. Entries are
/// reported whatever they are (files, directories, links); opening decides what they are worth.
///   "root/../patch_*.txt"  =>  {"patch_2.txt", "patch_10.txt"}
std::vector<DirectoryMatch> findMatches(const std::string& pattern, MatchTimes times);

}  // namespace korflowid::platform

#endif  // KORFLOWID_PLATFORM_DIRECTORYSEARCH_H
