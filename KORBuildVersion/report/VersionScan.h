// Lists an installation's version or patch files and turns the list into its piece of the report.
#ifndef KORFLOWID_REPORT_VERSIONSCAN_H
#define KORFLOWID_REPORT_VERSIONSCAN_H

#include <cstdint>
#include <string>
#include <string_view>

#include "rules/ReportLayout.h"

namespace korflowid {

enum class ScanMode {
  Patches = 0,          // "patch_*.txt" in the directory: names only, by patch number
  InstallVersions = 1,  // "InstallVersions/InstallVersion_*.txt": contents, oldest file first
};

/// What a scan met besides the text: failures other than absence, after which the text holds only
/// what could be read.
struct ScanFaults {
  /// A version file may hold text that is missing: the directory could not be listed whole, or a
  /// version file, or its creation time, could not be had. An older fallback must not stand in.
  bool versionsMissed = false;
  bool any = false;  // that, or a failed patch listing, or a search for other spellings that could not list
};

/// The text piece for `mode`, every line ended by CR LF. `directory` is a plain prefix (no separator
/// is inserted). Missing files only shorten the text; a file that cannot be opened or read
/// contributes what a missing one does, and is noted in `faults`.
///
/// The text is exact while it is shorter than `limit` bytes. Once it would reach `limit`, scanning
/// stops and some text of at least `limit` bytes is returned, of which only the length counts: the
/// caller can no longer use it anyway, and a file of gigabytes must not cost gigabytes.
///   patches 10, 2 and 007  =>  "Patches installed in this flow:\r\nPatch #2\r\nPatch #007\r\nPatch #10\r\n\r\n"
std::string scanVersionFiles(const std::string& directory, ScanMode mode, std::size_t limit, ScanFaults& faults,
                             NameText names = NameText::Callers);

/// The number text of a patch file name: after the first "_", before the first ".txt" that follows.
///   "patch_007.txt"  =>  "007"
std::string_view patchNumberText(std::string_view name);

/// The value of a number text as atoi reads it (blanks, a sign, digits), held within 32 bits.
std::int32_t patchNumberValue(std::string_view text);

}  // namespace korflowid

#endif  // KORFLOWID_REPORT_VERSIONSCAN_H
