// The korflowid tool run as a subprocess, the way scripts and people run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "support/TestSupport.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using korflowid::test::ScopedEnvironment;
using korflowid::test::TempTree;

const std::string kSampleHome = KORFLOWID_EXAMPLES "/RJGQ.2.1/kor";
const std::string kHomeMissing = "Cannot locate Trevix environment using environment variable KOR_HOME";
const std::string kNotReducible = "Cannot compute value of KORROOT using getKORRoot";
#if defined(_WIN32)
const std::string kHomeUnsetHint =
    "KOR_HOME is not set: give --home DIR, or set KOR_HOME=C:\\path\\to\\<flow directory>\\kor, the kor directory "
    "of an installation";
#else
const std::string kHomeUnsetHint =
    "KOR_HOME is not set: give --home DIR, or export KOR_HOME=/path/to/<flow directory>/kor, the kor directory of an "
    "installation";
#endif

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string quoted(const std::string& text) {
#if defined(_WIN32)
  return "\"" + text + "\"";
#else
  std::string result = "'";
  for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
#endif
}

/// A user whom permission bits bind: this process's when it is not root, else uid and gid 65534, to
/// which the tool's process drops before it starts (setpriv, of util-linux); the command prefix that
/// gives it. Nothing on Windows, and where root cannot drop.
std::optional<std::string> unprivilegedPrefix() {
#if defined(_WIN32)
  return std::nullopt;
#else
  const std::string prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  if (geteuid() != 0) return "";
  if (std::system((prefix + "true").c_str()) != 0) return std::nullopt;
  return prefix;
#endif
}

/// Runs the tool with standard output and standard error to separate files, or with `oneStream`
/// both to one, as `>file 2>&1` does; behind `prefix`, a command that runs it, when given.
ToolRun runTool(const std::vector<std::string>& arguments, bool oneStream = false, const std::string& prefix = {}) {
  const TempTree scratch;
  std::string command = prefix + quoted(KORFLOWID_TOOL);
  for (const std::string& argument : arguments) command += " " + quoted(argument);
  command += " >" + quoted(scratch.path() + "out") + (oneStream ? " 2>&1" : " 2>" + quoted(scratch.path() + "err"));
#if defined(_WIN32)
  command = "\"" + command + "\"";  // cmd /c strips one pair of quotes around the whole line
#endif
  ToolRun run;
  int raw = std::system(command.c_str());
#if defined(_WIN32)
  // -1: the command processor itself could not be started (seen once under Wine). Nothing ran, so the
  // tool is asked once more.
  if (raw == -1) raw = std::system(command.c_str());
  run.status = raw;
#else
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  run.out = readFile(scratch.path() + "out");
  run.err = readFile(scratch.path() + "err");
#if defined(_WIN32)
  // Diagnostics keep the console's text mode there; only standard output is kept byte-exact.
  for (std::size_t at; (at = run.err.find("\r\n")) != std::string::npos;) run.err.erase(at, 1);
#endif
  return run;
}

nlohmann::json parsed(const std::string& text) {
  nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
  EXPECT_FALSE(value.is_discarded()) << text;
  return value;
}

std::string sampleReport() {
  return readFile(KORFLOWID_EXAMPLES "/RJGQ.2.1/InstallVersions/InstallVersion_1.txt") +
         "\r\nPatches installed in this flow:\r\nPatch #3\r\nPatch #12\r\n\r\n";
}

TEST(Tool, SummaryOfTheSample) {
  const ToolRun run = runTool({"--home", kSampleHome});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "KOR_HOME               " + kSampleHome + "\n" + "Installation root      " + kSampleHome +
                         "/../\n"
                         "Flow code              RJ\n"
                         "Flow                   RJ (1)\n"
                         "Release                GQ.2.1 (12)\n"
                         "Install Id             20240611-RJ-004711\n"
                         "Exact Access Date      Tue Jun 11 14:32:07 2024\n"
                         "Flow Id (from file)    RJ\n"
                         "Full Flow Name         Vantorium Enterprise RJ Design Flow\n"
                         "Abbreviated flow name  RJ Design Flow\n"
                         "UPDATE Name            GQ.2.1 Update 2\n"
                         "Patches                #3, #12\n");
}

TEST(Tool, FieldsAndReportOfTheSample) {
  const struct {
    std::vector<std::string> arguments;
    std::string out;
  } cases[] = {
      {{"--field", "install-id"}, "20240611-RJ-004711\n"},
      {{"--field=access-date"}, "Tue Jun 11 14:32:07 2024\n"},
      {{"--field", "flow-id"}, "RJ\n"},
      {{"--field", "full-flow-name"}, "Vantorium Enterprise RJ Design Flow\n"},
      {{"--field", "abbreviated-flow-name"}, "RJ Design Flow\n"},
      {{"--field", "update-name"}, "GQ.2.1 Update 2\n"},
      {{"--field", "flow"}, "RJ\n"},
      {{"--field", "release"}, "GQ.2.1\n"},
      {{"--field", "flow-code"}, "RJ\n"},
      {{"--field", "root"}, kSampleHome + "/../\n"},
      {{"--field", "patches"}, "3\n12\n"},
      {{"--report"}, sampleReport()},  // byte for byte, CR LF kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), {"--home", kSampleHome});
    const ToolRun run = runTool(arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "");
  }
}

TEST(Tool, JsonOfTheSample) {
  const ToolRun run = runTool({"--json", "--home", kSampleHome});
  EXPECT_EQ(run.status, 0);
  const nlohmann::json json = parsed(run.out);
  EXPECT_EQ(json["status"], "found");
  EXPECT_EQ(json["flow-value"], 1);
  EXPECT_EQ(json["release"], "GQ.2.1");
  EXPECT_EQ(json["install-id"], "20240611-RJ-004711");
  EXPECT_EQ(json["patches"], nlohmann::json({"3", "12"}));
  EXPECT_EQ(json["report"], sampleReport());
  EXPECT_EQ(json["messages"], nlohmann::json::array());
}

TEST(Tool, ExitStatuses) {
  const struct {
    std::vector<std::string> arguments;
    bool homeSet;
    int status;
  } cases[] = {
      {{}, false, 2},
      {{"--json"}, false, 2},
      {{"--home", "kor"}, true, 3},  // no directory above it to name the flow
      {{"--home", "kor", "--report"}, true, 3},
      {{"--help"}, false, 0},
      {{"--version"}, false, 0},
      {{"--bogus"}, true, 1},
      {{"extra"}, true, 1},
      {{"--home"}, true, 1},
      {{"--field"}, true, 1},
      {{"--field", "colour"}, true, 1},
      {{"--report", "--json"}, true, 1},
      {{"--json=yes"}, true, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
    ScopedEnvironment home("KOR_HOME", c.homeSet ? std::optional<std::string>(kSampleHome) : std::nullopt);
    const ToolRun run = runTool(c.arguments);
    EXPECT_EQ(run.status, c.status);
    if (c.status == 1) {
      EXPECT_EQ(run.out, "");
      EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
    }
  }
}

TEST(Tool, LibraryMessagesAreDiagnostics) {
  const struct {
    std::vector<std::string> arguments;
    bool homeSet;
    std::string message;
    std::vector<std::string> hints;  // on standard error in text mode; only the summary has them
  } cases[] = {
      {{}, false, kHomeMissing, {kHomeUnsetHint}},
      {{"--report"}, false, kHomeMissing, {}},
      {{"--field", "flow"}, false, kHomeMissing, {}},
      {{"--home", "kor"}, true, kNotReducible, {}},  // the message says why already
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    ScopedEnvironment home("KOR_HOME", c.homeSet ? std::optional<std::string>("unused") : std::nullopt);
    const ToolRun text = runTool(c.arguments);
    EXPECT_EQ(text.out.find("Cannot"), std::string::npos) << text.out;
    std::string err = "korflowid: library message: " + c.message + "\n";  // once, however often it came
    for (const std::string& hint : c.hints) err += "korflowid: hint: " + hint + "\n";
    EXPECT_EQ(text.err, err);

    std::vector<std::string> arguments = c.arguments;
    if (!arguments.empty() && arguments[0] != "--home") arguments.clear();
    arguments.push_back("--json");
    const ToolRun json = runTool(arguments);
    EXPECT_EQ(json.err, "");
    EXPECT_EQ(parsed(json.out)["messages"], nlohmann::json({c.message}));
    EXPECT_EQ(parsed(json.out)["hints"], c.homeSet ? nlohmann::json::array() : nlohmann::json({kHomeUnsetHint}));
  }
}

TEST(Tool, AbsentValuesAreMarkedAbsent) {
  const TempTree tree;
  tree.makeDirectory("TAVOGQ.1/kor");
  tree.write("TAVOGQ.1/InstallVersions/InstallVersion_1.txt", "Flow Id: 4\r\n");
  const ToolRun text = runTool({"--home", tree.path() + "TAVOGQ.1/kor"});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("Install Id             (absent)\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Patches                (none)\n"), std::string::npos) << text.out;
  EXPECT_EQ(runTool({"--home", tree.path() + "TAVOGQ.1/kor", "--field", "install-id"}).out, "");

  const nlohmann::json json = parsed(runTool({"--home", tree.path() + "TAVOGQ.1/kor", "--json"}).out);
  EXPECT_EQ(json["flow"], "TAVO");
  EXPECT_EQ(json["flow-id"], "4");
  EXPECT_TRUE(json["install-id"].is_null());
  EXPECT_TRUE(json["abbreviated-flow-name"].is_null());
}

TEST(Tool, PatchesComeOnlyFromTheClosingBlock) {
  const TempTree tree;
  tree.makeDirectory("RJGQ.2/kor");
  // A version file that quotes a patch block must not add patches of its own. (One that ends with
  // such a quote while no patch file exists reads exactly like a patch block; the report cannot tell.)
  tree.write("RJGQ.2/InstallVersions/InstallVersion_1.txt",
             "Patches installed in this flow:\r\nPatch #99\r\nUPDATE Name: U1\r\n");
  const std::string home = tree.path() + "RJGQ.2/kor";
  EXPECT_EQ(parsed(runTool({"--home", home, "--json"}).out)["patches"], nlohmann::json::array());
  tree.write("RJGQ.2/patch_20.txt", "");
  tree.write("RJGQ.2/patch_007.txt", "");
  EXPECT_EQ(parsed(runTool({"--home", home, "--json"}).out)["patches"], nlohmann::json({"007", "20"}));
}

TEST(Tool, JsonStaysValidForAnyBytes) {
  const TempTree tree;
  const std::string flowDirectory =
      "RJ\xff"
      "GQ.2.1";
  tree.makeDirectory(flowDirectory + "/kor");
  tree.write(flowDirectory + "/InstallVersions/InstallVersion_1.txt",
             "Install Id: \xff\xfe\x80 caf\xe9\r\nFlow Id: Z\xc3\xbcrich\r\nUPDATE Name: \x01\t\"\\\r\n");
  const ToolRun run = runTool({"--home", tree.path() + flowDirectory + "/kor", "--json"});
  EXPECT_EQ(run.status, 0);
  const nlohmann::json json = parsed(run.out);
#if defined(_WIN32)
  // The library's texts are in the ANSI code page there, 1252 in this suite, and are decoded from it;
  // KOR_HOME is read as the characters it holds.
  EXPECT_EQ(json["install-id"], "\xc3\xbf\xc3\xbe\xe2\x82\xac caf\xc3\xa9");
  EXPECT_EQ(json["flow-id"], "Z\xc3\x83\xc2\xbcrich");
  EXPECT_EQ(json["kor-home"], tree.path() + "RJ\xc3\xbfGQ.2.1/kor");
#else
  const std::string replacement = "\xef\xbf\xbd";  // U+FFFD
  EXPECT_EQ(json["install-id"], replacement + replacement + replacement + " caf" + replacement);
  EXPECT_EQ(json["flow-id"], "Z\xc3\xbcrich");  // valid UTF-8 passes unchanged
  EXPECT_EQ(json["kor-home"], tree.path() + "RJ" + replacement + "GQ.2.1/kor");
#endif
  EXPECT_EQ(json["update-name"], "\x01\t\"\\");
}

TEST(Tool, HelpNamesEveryFieldAndExitStatus) {
  const ToolRun run = runTool({"--help"});
  for (const char* expected : {"--home DIR", "--report", "--json", "kor-home", "abbreviated-flow-name", "update-name",
                               "0  a flow directory", "1  bad usage", "2  KOR_HOME", "3  KOR_HOME"}) {
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected;
  }
  EXPECT_EQ(runTool({"--version"}).out.rfind("korflowid ", 0), 0u);
  // docs/tool.md shows the help whole (with the line ends of Linux; Windows writes help in text mode).
  std::string help = run.out;
  help.erase(std::remove(help.begin(), help.end(), '\r'), help.end());
  EXPECT_NE(readFile(KORFLOWID_EXAMPLES "/../docs/tool.md").find("```text\n" + help + "```\n"), std::string::npos);
}

TEST(Tool, HintsFollowTheSummaryInOneStream) {
  const std::string out = runTool({"--home", KORFLOWID_EXAMPLES "/RJGQ.2.1"}, true).out;
  EXPECT_LT(out.find("Patches "), out.find("korflowid: hint: "));
}

TEST(Tool, HintsSayWhyValuesAreUnknownOrAbsent) {
  const std::string labels =
      "Install Id: 7\r\nExact Access Date: d\r\nFlow Id: RJ\r\nFull Flow Name: F\r\nUPDATE Name: U\r\n";
  std::string tooLong;  // 23,410 bytes of short lines, so the whole file would be read
  while (tooLong.size() < 23400) tooLong += std::string(99, 'x') + "\n";
  tooLong += "123456789\n";
  const std::string version = "RJGQ.2.1/InstallVersions/InstallVersion_1.txt";
  const std::string linkToNothing = "(made a link to nothing)";
  using std::filesystem::perms;
  const perms noAccess = perms::none;
  const perms enterOnly = perms::owner_all | perms::group_exec | perms::others_exec;  // 0711

  // The hints on the flow directory name and those on the report come from separate looks, so a row
  // may pair one of each.
  const struct {
    const char* what;
    std::string home;                                        // below the tree; made when there are files
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    std::vector<std::string> hints;                          // "@" stands for the tree's directory
    // Modes set once the files are made; the tool then runs as a user whom they bind (never on Windows).
    std::vector<std::pair<std::string, std::filesystem::perms>> modes = {};
  } cases[] = {
      {"complete installation", "RJGQ.2.1/kor", {{version, labels}}, {}},
      {"wrong KOR_HOME",
       "nowhere/kor",
       {},
       {"KOR_HOME names a directory that does not exist", "no known flow marker in the flow directory name 'nowhere'",
        "the release in 'nowhere' is not one the library knows", "no report: @nowhere/ does not exist"}},
      {"a marker only the flow code knows; labels missing, one in another case",
       "zTorvikGQ.2/kor",
       {{"zTorvikGQ.2/InstallVersions/InstallVersion_1.txt", "Install Id: 7\r\nFlow Id: RJ\r\nupdate name: U1\r\n"}},
       {"the flow directory name 'zTorvikGQ.2' holds 'zTorvik', but the library identifies that flow only by the "
        "marker 'zTorvik_'",
        "the release 'GQ.2' is known, but is read only once the flow is identified",
        "the report holds no 'Exact Access Date:', 'Full Flow Name:' or 'UPDATE Name:'",
        "the report holds 'update name:', but labels count only as 'UPDATE Name:'"}},
      {"trailing separator after a directory named like a flow; report too long",
       "RJGQ.2.1/KOR/",
       {{version, tooLong}},
       {"the release in 'KOR' is not one the library knows",
        "KOR_HOME ends with a separator, so the flow directory name is that of its last directory",
        "the report would reach the 20000-byte limit (version files hold 23,410 bytes)"}},
      {"a climb inside KOR_HOME; patches only",
       "x/y/../RJGQ.2.1/kor",
       {{"x/RJGQ.2.1/patch_3.txt", ""}},
       {"no known flow marker in the flow directory name 'x'", "the release in 'x' is not one the library knows",
        "KOR_HOME holds '/..': the flow directory name is read from the text before it",
        "the report lists patches only: @x/RJGQ.2.1/ holds no InstallVersions/ and there is no InstallVersion.txt"}},
      {"empty flow directory name; empty version directory, in another case",
       "RJGQ.2.1//kor",
       {{"RJGQ.2.1/installversions/InstallVersion_1.md", labels}},
       {"the flow directory name is empty: KOR_HOME needs a named directory above its last one",
        "no report: @RJGQ.2.1/installversions/ holds no InstallVersion_*.txt and there is no InstallVersion.txt"}},
      {"unknown release; no line read from the version files",
       "RJGQ.2.3/kor",
       {{"RJGQ.2.3/InstallVersions/InstallVersion_1.txt", std::string(250, 'x') + "\r\nInstall Id: 7\r\n"},
        {"RJGQ.2.3/patch_3.txt", ""}},
       {"the release in 'RJGQ.2.3' is not one the library knows",
        "no line of 1 version file (267 bytes) reached the report"}},
      {"KOR_HOME names a file",
       "RJGQ.2.1/kor",
       {{"RJGQ.2.1/kor", ""}, {version, labels}},
       {"KOR_HOME names a file, not a directory"}},
      {"several spellings of the version directory: the first in name order is read, as the report shows",
       "RJGQ.2.1/kor",
       {{"RJGQ.2.1/installVERSIONS/x", ""},
        {"RJGQ.2.1/installversions/x", ""},
        {"RJGQ.2.1/iNSTALLVERSIONS/x", ""},
        {"RJGQ.2.1/Installversions/InstallVersion_1.txt", "Install Id: 9\r\n"},
        {"RJGQ.2.1/patch_3.txt", ""}},
       {"the report holds no 'Exact Access Date:', 'Flow Id:', 'Full Flow Name:' or 'UPDATE Name:'"}},
      {"a patch file named with a control character, which no installation can hold",
       "RJGQ.2.1/kor",
       {{"RJGQ.2.1/patch_\n.txt", ""}},
       {"no report: @RJGQ.2.1/ holds no InstallVersions/ and there is no InstallVersion.txt"}},
      {"a fallback that cannot be read",
       "RJGQ.2.1/kor",
       {{"RJGQ.2.1/InstallVersion.txt", linkToNothing}},
       {"no report, although @RJGQ.2.1/ holds version or patch files"}},
      {"KOR_HOME names the flow directory, whose kor directory is spelled otherwise",
       "RJGQ.2.1",
       {{version, labels}, {"RJGQ.2.1/Kor/x", ""}},
       {"KOR_HOME names a flow directory (it holds InstallVersions/), not the kor directory inside it: set KOR_HOME to "
        "@RJGQ.2.1/Kor"}},
      {"KOR_HOME names the flow directory, which holds only a fallback, with a trailing separator",
       "RJGQ.2.1/",
       {{"RJGQ.2.1/installversion.txt", labels}},
       {"KOR_HOME names a flow directory (it holds installversion.txt), not the kor directory inside it: set KOR_HOME "
        "to @RJGQ.2.1/kor"}},
      {"a version directory the user may not list, beside a fallback",
       "RJGQ.2.1/kor",
       {{version, labels}, {"RJGQ.2.1/InstallVersion.txt", "Install Id: 6\r\n"}},
       {"cannot list @RJGQ.2.1/InstallVersions/: Permission denied"},
       {{"RJGQ.2.1/InstallVersions", noAccess}}},
      {"a flow directory the user may not enter",
       "RJGQ.2.1/kor",
       {{version, labels}},
       {"cannot look at KOR_HOME @RJGQ.2.1/kor: Permission denied", "cannot list @RJGQ.2.1/: Permission denied"},
       {{"RJGQ.2.1", noAccess}}},
      {"a lone version file the user may not read, beside a fallback",
       "RJGQ.2.1/kor",
       {{version, labels}, {"RJGQ.2.1/InstallVersion.txt", "Install Id: 6\r\n"}},
       {"cannot read @" + version + ": Permission denied"},
       {{version, noAccess}}},
      {"an installation directory the user may enter but not list: patches unseen",
       "RJGQ.2.1/kor",
       {{"RJGQ.2.1/InstallVersion.txt", labels}, {"RJGQ.2.1/patch_3.txt", ""}},
       {"cannot list @RJGQ.2.1/: Permission denied"},
       {{"RJGQ.2.1", enterOnly}}},
  };
  const std::optional<std::string> unprivileged = unprivilegedPrefix();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TempTree tree;
    const auto namesHome = [&c](const auto& file) { return file.first == c.home; };
    if (!c.files.empty() && std::none_of(c.files.begin(), c.files.end(), namesHome)) tree.makeDirectory(c.home);
    std::error_code linkError;  // where a test cannot make links (Windows), the row that needs one is left out
    for (const auto& [name, bytes] : c.files) {
      if (bytes == linkToNothing) {
        std::filesystem::create_symlink(tree.path() + "nothing", tree.path() + name, linkError);
      } else {
        tree.write(name, bytes);
      }
    }
    if (linkError) continue;
    if (!c.modes.empty() && !unprivileged) continue;
    // Whoever runs the tool must reach the tree, whatever the umask; then the row's modes bind.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.path())) {
      if (entry.is_symlink()) continue;
      std::filesystem::permissions(
          entry.path(),
          entry.is_directory()
              ? perms::owner_all | perms::group_read | perms::group_exec | perms::others_read | perms::others_exec
              : perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
    }
    for (const auto& [name, mode] : c.modes) std::filesystem::permissions(tree.path() + name, mode);
    std::vector<std::string> hints = c.hints;
    std::string err;
    for (std::string& hint : hints) {
      if (const std::size_t at = hint.find('@'); at != std::string::npos) hint.replace(at, 1, tree.path());
      err += "korflowid: hint: " + hint + "\n";
    }
    const std::string home = tree.path() + c.home;
    const std::string prefix = c.modes.empty() ? std::string() : unprivileged.value_or("");
    const ToolRun summary = runTool({"--home", home}, false, prefix);
    const ToolRun json = runTool({"--home", home, "--json"}, false, prefix);
    const ToolRun field = runTool({"--home", home, "--field", "install-id"}, false, prefix);
    // The tree goes again only once its owner may enter every directory of it.
    for (auto mode = c.modes.rbegin(); mode != c.modes.rend(); ++mode)
      std::filesystem::permissions(tree.path() + mode->first, perms::owner_all);
    EXPECT_EQ(summary.status, 0);  // hints never change the exit status
    EXPECT_EQ(summary.err, err);
    EXPECT_EQ(summary.out.find("hint"), std::string::npos) << summary.out;
    EXPECT_EQ(parsed(json.out)["hints"], nlohmann::json(hints));
    // One value alone stays quiet: scripts read it.
    EXPECT_EQ(field.err, "");
  }
#if !defined(_WIN32)
  if (!unprivileged) GTEST_SKIP() << "rows with modes left out: run as root, and setpriv cannot drop to uid 65534";
#endif
}

}  // namespace
