// Hints: what the library answered, held against what the installation tree holds, read by the
// library's own rules.
#include "Hints.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "flow/FlowTables.h"
#include "rules/ReportLayout.h"
#include "rules/RootReduction.h"
#include "rules/TreeNames.h"

namespace korflowid::tool {
namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string name;
  bool directory = false;
  bool regular = false;
};

/// A look at the tree that the system refused, with its reason; a hint names all three.
struct Failure {
  std::string_view verb;  // "look at", "list", "read"
  fs::path path;
  std::error_code error;
};

/// Not found: what the library takes as a name that is not there, not as a failure.
bool isAbsence(const std::error_code& error) {
  return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

/// Shown with a trailing separator when it is a directory, so it reads as one.
std::string shownPath(const fs::path& path, bool directory) {
  std::string shown = path.generic_u8string();
  if (directory && (shown.empty() || shown.back() != '/')) shown += '/';
  return shown;
}

/// Failures in the order met. A failure inside a directory that failed the same way a moment ago,
/// or beside an entry that did, says nothing new: one listing refused is one hint, not one per name.
class Failures {
 public:
  void add(std::string_view verb, const fs::path& path, const std::error_code& error) {
    const auto folder = [](const fs::path& p) {
      return p.has_filename() ? p.parent_path() : p.parent_path().parent_path();
    };
    const auto itself = [](const fs::path& p) { return p.has_filename() ? p : p.parent_path(); };
    if (!all_.empty() && all_.back().error == error &&
        (itself(all_.back().path) == folder(path) || folder(all_.back().path) == folder(path)))
      return;
    all_.push_back({verb, path, error});
  }
  bool empty() const { return all_.empty(); }
  std::size_t size() const { return all_.size(); }
  std::vector<std::string> hints() const {
    std::vector<std::string> hints;
    for (const Failure& failure : all_) {
      hints.push_back("cannot " + std::string(failure.verb) + " " + shownPath(failure.path, failure.verb == "list") +
                      ": " + failure.error.message());
    }
    return hints;
  }

 private:
  std::vector<Failure> all_;
};

/// Every entry of `directory`; none, and the reason, when it cannot be listed. Nothing is opened, so a
/// FIFO or a device named like a version file costs no more than its name.
std::vector<Entry> entriesOf(const fs::path& directory, std::error_code& error) {
  std::vector<Entry> entries;
  error.clear();
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    Entry entry;
    entry.name = it->path().filename().u8string();
    std::error_code typeError;
    entry.directory = it->is_directory(typeError);
    entry.regular = it->is_regular_file(typeError);
    entries.push_back(std::move(entry));
  }
  if (error) entries.clear();
  return entries;
}

/// Whether the file can be opened for reading, as the library opens it; the system's reason if not.
/// Only regular files come here, and a FIFO swapped in meanwhile does not block the open.
std::error_code openError(const fs::path& file) {
#if defined(_WIN32)
  const int descriptor = _wopen(file.c_str(), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) return {errno, std::generic_category()};
  _close(descriptor);
#else
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return {errno, std::generic_category()};
  ::close(descriptor);
#endif
  return {};
}

/// The size of a regular file; a failure recorded when it cannot be looked at, or, when the library
/// would `read` it, cannot be opened.
std::uintmax_t sizeOf(const fs::path& file, bool read, Failures& failures) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  if (error) {
    if (!isAbsence(error)) failures.add("look at", file, error);
    return 0;
  }
  if (const std::error_code refused = read ? openError(file) : std::error_code(); refused && !isAbsence(refused))
    failures.add("read", file, refused);
  return size;
}

/// The entry the library opens for `name`, as spelled on disk; null when there is none.
const Entry* entryNamed(const std::vector<Entry>& entries, std::string_view name) {
  const Entry* taken = nullptr;
  for (const Entry& entry : entries) {
    if (takesSpelling(entry.name, taken != nullptr ? taken->name : std::string_view(), name)) taken = &entry;
  }
  return taken;
}

/// What the report is made from, as far as names, types and sizes tell, and what the system refused.
struct TreeLook {
  bool exists = false;
  std::string versionDirectory;  // as spelled on disk; empty when there is none
  std::size_t versionFiles = 0;
  std::uintmax_t versionBytes = 0;
  std::optional<std::uintmax_t> fallbackBytes;  // InstallVersion.txt, when there is such a file
  std::size_t patchFiles = 0;
  std::uintmax_t patchNameBytes = 0;
  Failures failures;

  bool hasVersionText() const { return versionFiles > 0 || fallbackBytes.has_value(); }
  bool listsAnything() const { return hasVersionText() || patchFiles > 0; }

  /// More than the report can hold: a line feed read may be written as CR LF, so every byte may
  /// count twice, each file adds its closing line, and each patch a line about as long as its name.
  std::uintmax_t mostReportBytes() const {
    std::uintmax_t most = 2 * (versionBytes + versionFiles);
    if (fallbackBytes) most += 2 * (*fallbackBytes + 1);
    if (patchFiles > 0) most += 64 + patchNameBytes + 16 * patchFiles;
    return most;
  }
};

/// The entry spelled exactly `name`, as the library opens it when the folder cannot be listed for
/// other spellings; null when it is not there or cannot be looked at (then a failure is recorded,
/// unless it is the listing's own refusal again).
std::optional<Entry> exactEntry(const fs::path& directory, std::string_view name, const std::error_code& listing,
                                Failures& failures) {
  std::error_code error;
  const fs::file_status status = fs::status(directory / fs::u8path(name), error);
  if (error) {
    if (!isAbsence(error) && error != listing) failures.add("look at", directory / fs::u8path(name), error);
    return std::nullopt;
  }
  Entry entry;
  entry.name = std::string(name);
  entry.directory = fs::is_directory(status);
  entry.regular = fs::is_regular_file(status);
  return entry;
}

TreeLook lookAt(const fs::path& root) {
  TreeLook look;
  std::error_code error;
  look.exists = fs::is_directory(root, error);
  if (error && !isAbsence(error)) look.failures.add("look at", root, error);
  if (!look.exists) return look;
  std::error_code listing;
  const std::vector<Entry> entries = entriesOf(root, listing);
  std::optional<Entry> versions;
  std::optional<Entry> fallback;
  if (listing) {
    // Patches are known only from the listing; the two fixed names the library still opens as spelled.
    look.failures.add("list", root, listing);
    versions = exactEntry(root, kVersionDirectoryName, listing, look.failures);
    fallback = exactEntry(root, kFallbackFileName, listing, look.failures);
  } else {
    if (const Entry* found = entryNamed(entries, kVersionDirectoryName)) versions = *found;
    if (const Entry* found = entryNamed(entries, kFallbackFileName)) fallback = *found;
  }
  const std::size_t beforeVersions = look.failures.size();
  if (versions && versions->directory) {
    look.versionDirectory = versions->name;
    const fs::path directory = root / fs::u8path(versions->name);
    const Wildcard versionFile(kVersionFilePattern);
    std::error_code versionListing;
    for (const Entry& entry : entriesOf(directory, versionListing)) {
      if (!versionFile.matches(entry.name)) continue;
      ++look.versionFiles;
      if (entry.regular) look.versionBytes += sizeOf(directory / fs::u8path(entry.name), true, look.failures);
    }
    if (versionListing) look.failures.add("list", directory, versionListing);
  }
  if (fallback && !fallback->directory) {
    // Read only where no version file stands before it, and no failure on the version side either.
    const bool read = look.versionFiles == 0 && look.failures.size() == beforeVersions;
    look.fallbackBytes = fallback->regular ? sizeOf(root / fs::u8path(fallback->name), read, look.failures) : 0;
  }
  const Wildcard patchFile(kPatchFilePattern);
  for (const Entry& entry : entries) {
    if (!patchFile.matches(entry.name)) continue;
    ++look.patchFiles;
    look.patchNameBytes += entry.name.size();
  }
  return look;
}

std::string withThousands(std::uintmax_t number) {
  std::string digits = std::to_string(number);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string counted(std::size_t count, const std::string& noun) {
  return withThousands(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string inQuotes(std::string_view text) {
  return "'" + std::string(text) + "'";
}

/// With a trailing separator, so it reads as a directory.
std::string shownDirectory(const fs::path& root) {
  std::string shown = root.generic_u8string();
  if (shown.empty() || shown.back() != '/') shown += '/';
  return shown;
}

/// The root as the library reads it: where the code page lacks a character of KOR_HOME, the root it
/// hands out holds "?", but the tree it reads is the one KOR_HOME names.
std::string rootText(const Installation& installation) {
  return installation.value("kor-home").value_or("") + "/../";
}

void addFlowHints(const Installation& installation, std::vector<std::string>& hints) {
  if (installation.flowValue != 0 && installation.releaseValue != 0) return;
  std::string root = rootText(installation);
  const RootReduction reduction = reduceRoot(root.data(), root.size());
  if (!reduction.reducible) return;
  const std::string name(reduction.name);
  if (name.empty()) {
    hints.push_back("the flow directory name is empty: KOR_HOME needs a named directory above its last one");
    return;
  }
  // The marker the flow code came from, when the identification wants more of it than the code does.
  const FlowMarker* partial = nullptr;
  if (installation.flowValue == 0) {
    const auto found = std::find_if(std::begin(kFlowMarkers), std::end(kFlowMarkers),
                                    [&](const FlowMarker& m) { return name.find(m.codeMarker) != std::string::npos; });
    if (found != std::end(kFlowMarkers) && found->idMarker != found->codeMarker) partial = found;
  }
  if (partial != nullptr) {
    hints.push_back("the flow directory name " + inQuotes(name) + " holds " + inQuotes(partial->codeMarker) +
                    ", but the library identifies that flow only by the marker " + inQuotes(partial->idMarker));
  } else if (installation.flowValue == 0) {
    const std::string code = installation.value("flow-code").value_or("");
    if (code == name) {
      hints.push_back("no known flow marker in the flow directory name " + inQuotes(name));
    } else {
      hints.push_back("the flow directory name " + inQuotes(name) + " gives the flow code " + inQuotes(code) +
                      ", which names no known flow");
    }
  }
  if (installation.releaseValue == 0) {
    // What would follow the marker, had the flow been identified by it.
    std::string release;
    if (partial != nullptr)
      release = std::string(name).erase(name.find(partial->codeMarker), partial->codeMarker.size());
    const bool known = std::any_of(std::begin(kReleases), std::end(kReleases),
                                   [&](const Release& r) { return !release.empty() && r.text == release; });
    hints.push_back(known
                        ? "the release " + inQuotes(release) + " is known, but is read only once the flow is identified"
                        : "the release in " + inQuotes(name) + " is not one the library knows");
  }
  // Two ways of writing KOR_HOME that make the library read another name than the user meant.
  const std::string home = installation.value("kor-home").value_or("");
  if (reduction.climbAt < home.size()) {
    hints.push_back("KOR_HOME holds '/..': the flow directory name is read from the text before it");
  } else if (!home.empty() && (home.back() == '/' || home.back() == '\\')) {
    hints.push_back("KOR_HOME ends with a separator, so the flow directory name is that of its last directory");
  }
}

/// Why the report is empty; `look` found something the library lists, which only the size limit
/// leaves out, unless a file it would read cannot be opened (or the tree changed meanwhile).
std::string whyNoReport(const TreeLook& look, const std::string& shown) {
  if (look.mostReportBytes() < kReportBufferSize)
    return "no report, although " + shown + " holds version or patch files";
  std::vector<std::string> sizes;
  if (look.versionFiles > 0) sizes.push_back("version files hold " + withThousands(look.versionBytes) + " bytes");
  if (look.versionFiles == 0 && look.fallbackBytes) {
    sizes.push_back(std::string(kFallbackFileName) + " holds " + withThousands(*look.fallbackBytes) + " bytes");
  }
  if (look.patchFiles > 0) sizes.push_back(counted(look.patchFiles, "patch file"));
  std::string hint = "the report would reach the " + std::to_string(kReportBufferSize) + "-byte limit (";
  for (std::size_t i = 0; i < sizes.size(); ++i) hint += (i == 0 ? "" : ", ") + sizes[i];
  return hint + ")";
}

void addReportHints(const Installation& installation, std::vector<std::string>& hints) {
  std::vector<std::string_view> absentLabels;
  for (std::size_t i = 0; i < kValueKinds.size(); ++i) {
    if (!kValueKinds[i].label.empty() && !installation.values[i]) absentLabels.push_back(kValueKinds[i].label);
  }

  // "kor/.." goes from the text before the disk is asked, as Windows climbs out of KOR_HOME.
  const fs::path root = fs::u8path(rootText(installation)).lexically_normal();
  const std::string shown = shownDirectory(root);
  const TreeLook look = lookAt(root);
  // The library answers with what it could read, so whatever the system refused is the cause, of a
  // report that is empty, short or without patches alike; names and sizes would only mislead then.
  if (!look.failures.empty()) {
    for (std::string& hint : look.failures.hints()) hints.push_back(std::move(hint));
    return;
  }
  if (!installation.report.empty() && absentLabels.empty()) return;
  const std::string noVersionText =
      (look.versionDirectory.empty()
           ? shown + " holds no " + std::string(kVersionDirectoryName) + "/"
           : shown + look.versionDirectory + "/ holds no " + std::string(kVersionFilePattern)) +
      " and there is no " + std::string(kFallbackFileName);
  if (installation.report.empty()) {
    if (!look.exists) {
      hints.push_back("no report: " + shown + " does not exist");
    } else if (!look.listsAnything()) {
      hints.push_back("no report: " + noVersionText);
    } else {
      hints.push_back(whyNoReport(look, shown));
    }
    return;
  }
  if (!look.hasVersionText()) {
    hints.push_back("the report lists patches only: " + noVersionText);
    return;
  }
  // Version files that give only empty lines: empty, or cut short at a first line too long to read.
  const std::size_t firstText = installation.report.find_first_not_of("\r\n");
  if (firstText == std::string::npos || firstText == installation.report.rfind(kPatchHeading)) {
    const std::string files =
        look.versionFiles > 0
            ? counted(look.versionFiles, "version file") + " (" + withThousands(look.versionBytes) + " bytes)"
            : std::string(kFallbackFileName) + " (" + withThousands(*look.fallbackBytes) + " bytes)";
    hints.push_back("no line of " + files + " reached the report");
    return;
  }
  std::string missing = "the report holds no ";
  for (std::size_t i = 0; i < absentLabels.size(); ++i) {
    missing += (i == 0 ? "" : i + 1 == absentLabels.size() ? " or " : ", ") + inQuotes(absentLabels[i]);
  }
  hints.push_back(missing);
  // A label in another case is the likeliest slip of a hand-edited version file.
  for (const std::string_view label : absentLabels) {
    const auto at = std::search(installation.report.begin(), installation.report.end(), label.begin(), label.end(),
                                sameIgnoringCase);
    if (at == installation.report.end()) continue;
    hints.push_back("the report holds " + inQuotes(std::string_view(&*at, label.size())) +
                    ", but labels count only as " + inQuotes(label));
  }
}

/// One hint in place of all others when KOR_HOME names the flow directory itself rather than the kor/
/// directory inside it: every name and file the library read then was one level too high.
std::optional<std::string> flowDirectoryHint(const std::string& homeText) {
  std::error_code error;
  const std::vector<Entry> entries = entriesOf(fs::u8path(homeText), error);
  const Entry* versions = entryNamed(entries, kVersionDirectoryName);
  const Entry* fallback = entryNamed(entries, kFallbackFileName);
  std::string held;
  if (versions != nullptr && versions->directory) {
    held = versions->name + "/";
  } else if (fallback != nullptr && !fallback->directory) {
    held = fallback->name;
  } else {
    return std::nullopt;
  }
  const Entry* kor = entryNamed(entries, "kor");
  std::string korHome = homeText;
  while (!korHome.empty() && (korHome.back() == '/' || korHome.back() == '\\')) korHome.pop_back();
  korHome += "/" + (kor != nullptr && kor->directory ? kor->name : std::string("kor"));
  return "KOR_HOME names a flow directory (it holds " + held + "), not the kor directory inside it: set KOR_HOME to " +
         korHome;
}

}  // namespace

std::vector<std::string> hintsFor(const Installation& installation) {
  std::vector<std::string> hints;
  if (installation.location == Location::HomeMissing) {
#if defined(_WIN32)
    hints.push_back(
        "KOR_HOME is not set: give --home DIR, or set KOR_HOME=C:\\path\\to\\<flow directory>\\kor, the kor "
        "directory of an installation");
#else
    hints.push_back(
        "KOR_HOME is not set: give --home DIR, or export KOR_HOME=/path/to/<flow directory>/kor, the kor directory "
        "of an installation");
#endif
    return hints;
  }
  if (installation.location != Location::Found) return hints;
  try {
    const std::string homeText = installation.value("kor-home").value_or("");
    std::error_code error;
    const fs::file_status home = fs::status(fs::u8path(homeText), error);
    if (error && !isAbsence(error)) {
      hints.push_back("cannot look at KOR_HOME " + homeText + ": " + error.message());
    } else if (!fs::exists(home)) {
      hints.push_back("KOR_HOME names a directory that does not exist");
    } else if (!fs::is_directory(home)) {
      hints.push_back("KOR_HOME names a file, not a directory");
    }
    addFlowHints(installation, hints);
    addReportHints(installation, hints);
    if (!hints.empty() && fs::is_directory(home)) {
      if (std::optional<std::string> hint = flowDirectoryHint(homeText)) hints = {std::move(*hint)};
    }
  } catch (const std::exception&) {
    // A name the platform cannot convert, or memory: the hints so far are still true.
  }
  return hints;
}

}  // namespace korflowid::tool
