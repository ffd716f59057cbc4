// An installation tree for report tests: KOR_HOME is <tree>/RJGQ.2.1/kor, so the root is <tree>/RJGQ.2.1/.
#ifndef KORFLOWID_TESTS_REPORT_INSTALLTREE_H
#define KORFLOWID_TESTS_REPORT_INSTALLTREE_H

#include <KORFlow.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/TestSupport.h"

namespace korflowid::test {

class InstallTree {
 public:
  InstallTree() : home_("KOR_HOME", tree_.makeDirectory("RJGQ.2.1/kor")) {}

  /// The directory the root names, with a trailing "/".
  std::string root() const { return tree_.path() + "RJGQ.2.1/"; }
  /// Writes a file below the root.
  void write(const std::string& relative, std::string_view bytes) const { tree_.write("RJGQ.2.1/" + relative, bytes); }
  /// Writes "InstallVersions/InstallVersion_<tag>.txt".
  void version(const std::string& tag, std::string_view bytes) const {
    write("InstallVersions/InstallVersion_" + tag + ".txt", bytes);
  }
  void makeDirectory(const std::string& relative) const { tree_.makeDirectory("RJGQ.2.1/" + relative); }

 private:
  TempTree tree_;
  ScopedEnvironment home_;
};

/// The report as KORFlowID() assembles it now.
inline std::string report() {
  return KORFlowID();
}

/// The patch block listing `numbers` in this order; empty for no numbers.
inline std::string patchBlock(const std::vector<std::string>& numbers) {
  if (numbers.empty()) return {};
  std::string text = "Patches installed in this flow:\r\n";
  for (const std::string& number : numbers) text += "Patch #" + number + "\r\n";
  return text + "\r\n";
}

}  // namespace korflowid::test

#endif  // KORFLOWID_TESTS_REPORT_INSTALLTREE_H
