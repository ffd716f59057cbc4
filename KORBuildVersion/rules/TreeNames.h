// How names in an installation tree are read: its fixed names, the wildcard, case-blind matching,
// name order and which of several spellings is taken. The module reads the tree by these rules and
// the korflowid tool explains the module's answers by the same ones.
#ifndef KORFLOWID_RULES_TREENAMES_H
#define KORFLOWID_RULES_TREENAMES_H

#include <cstddef>
#include <string_view>

namespace korflowid {

/// Below the installation root: version files in their directory, the fallback beside them, and
/// patch files, of which only the names count.
inline constexpr std::string_view kVersionDirectoryName = "InstallVersions";
inline constexpr std::string_view kVersionFilePattern = "InstallVersion_*.txt";
inline constexpr std::string_view kFallbackFileName = "InstallVersion.txt";
inline constexpr std::string_view kPatchFilePattern = "patch_*.txt";

/// Whether two bytes are equal but for the case of an ASCII letter.
inline bool sameIgnoringCase(char a, char b) {
  const char lower = static_cast<char>(a | 0x20);
  return a == b || ((a ^ b) == 0x20 && lower >= 'a' && lower <= 'z');
}

bool equalIgnoringCase(std::string_view a, std::string_view b);

/// Names with control characters cannot exist on Windows, where installation trees are made; here a
/// line break in a name would let a file name forge a line of the report.
bool isPortableName(std::string_view name);

/// A wildcard pattern, taken apart once to match many names: "*" any run of characters, "?" any
/// one, letters without regard to ASCII case, everything else only itself. No name that could not
/// exist on Windows matches.
///   Wildcard("patch_*.txt")  =>  matches "patch_2.txt", "PATCH_10.TXT"; not "patch_\n.txt"
class Wildcard {
 public:
  explicit Wildcard(std::string_view pattern)
      : pattern_(pattern), firstStar_(pattern.find('*')), lastStar_(pattern.rfind('*')) {}
  bool matches(std::string_view name) const;

 private:
  std::string_view pattern_;
  std::size_t firstStar_;  // npos when there is no star
  std::size_t lastStar_;
};

/// Whether `a` comes before `b` in the order an NTFS directory search yields names: upper-cased,
/// byte by byte. Names that differ only in case (which NTFS cannot hold side by side) go by their
/// bytes, so the order never depends on the listing.
inline bool precedesInNameOrder(std::string_view a, std::string_view b) {
  const auto upper = [](char c) { return static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); };
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;  // the usual long shared prefix ("InstallVersion_") costs no case work
    if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a.compare(b) < 0;  // compares bytes as unsigned char
}

/// Whether, of the entries of one directory, Windows would open `candidate` for `name` rather than
/// `taken`, the entry chosen so far (empty: none yet): the exact spelling before any other, else the
/// first in name order of those spelled alike but for case. Offering every entry in turn and keeping
/// each one that is taken gives Windows's choice whatever the listing order.
///   name "InstallVersions", entries "installversions", "Installversions"  =>  "Installversions"
bool takesSpelling(std::string_view candidate, std::string_view taken, std::string_view name);

}  // namespace korflowid

#endif  // KORFLOWID_RULES_TREENAMES_H
