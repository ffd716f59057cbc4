// Installations below names outside the ANSI code page and below long paths are read as an ASCII copy
// is; callers' texts are in the code page, with "?" where it lacks a character, never a look-alike (the C
// interface's are UTF-8, holding every character).
// Rows run under the code page they name: 1252 (LANG=C.UTF-8) or 932 (ja_JP.UTF-8, a second run).
#include <windows.h>
// After windows.h, which they need.
#include <KORFlow.h>
#include <gtest/gtest.h>
#include <korflowid.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/windows/WideText.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using korflowid::test::TempTree;

const fs::path kSample = fs::u8path(KORFLOWID_EXAMPLES "/RJGQ.2.1");

/// Whether names outside ASCII reach the file system. Under Wine they pass through the host's locale:
/// one that is not installed still gives its code page, but no such name can be created.
bool fileSystemTakesWideNames() {
  static const bool takes = [] {
    const TempTree tree;
    const fs::path probe = fs::u8path(tree.path()).wstring() + L"J\u00F6rg\u8868";
    std::error_code error;
    return fs::create_directory(probe, error) && fs::is_directory(probe, error);
  }();
  return takes;
}

/// Why a run that asked for a code page cannot have it, or null when it can (or asked for none).
std::optional<std::string> codePageMissing() {
  const char* asked = std::getenv("KORFLOWID_CODE_PAGE");  // set by the second run
  if (asked == nullptr) return std::nullopt;
  const std::string missing = std::string("code page ") + asked + " is not in use";
  if (std::to_string(::GetACP()) != asked) return missing;
  if (!fileSystemTakesWideNames()) {
    const char* locale = std::getenv("LC_ALL");
    return missing + ": no name outside ASCII can be created (under Wine: locale " + (locale ? locale : "(none)") +
           " not installed)";
  }
  return std::nullopt;
}

/// Whether rows for `page` (0: any) run in this process. A run that asked for a code page it did not get
/// runs nothing: its locale is missing, and without one Wine garbles non-ASCII text.
bool underCodePage(unsigned int page) {
  if (codePageMissing()) return false;
  return page == 0 || page == ::GetACP();
}

/// KOR_HOME in the process environment, where the library reads it, for the life of the object.
struct WideHome {
  explicit WideHome(const std::wstring& home) { ::SetEnvironmentVariableW(L"KOR_HOME", home.c_str()); }
  ~WideHome() { ::SetEnvironmentVariableW(L"KOR_HOME", nullptr); }
};

void copySample(const fs::path& to, const std::string& installId = "") {
  fs::create_directories(to);
  fs::copy(kSample, to, fs::copy_options::recursive);
  if (!installId.empty()) std::ofstream(to / "InstallVersions/InstallVersion_1.txt") << "Install Id: " << installId;
}

/// The C++ interface's answers in the code page, and the C interface's in UTF-8: its root and flow code
/// from KOR_HOME, its report from the home given as UTF-8.
struct Answers {
  std::string report, code, root;
  std::string cReport, cCode, cRoot;
};

Answers answersFor(const std::wstring& home) {
  const WideHome set(home);
  char code[64] = {}, root[2048] = {};
  KORFlowID(code, sizeof code - 1);
  getKORRoot(root, sizeof root - 1);
  static char cReport[20000];
  char cCode[64] = {}, cRoot[2048] = {};
  kor_report(korflowid::platform::toUtf8(home).c_str(), cReport, sizeof cReport, nullptr);
  kor_flow_code(nullptr, cCode, sizeof cCode, nullptr);
  kor_root(nullptr, cRoot, sizeof cRoot, nullptr);
  return {KORFlowID(), code, root, cReport, cCode, cRoot};
}

// Rows of a code page not in use are passed over unseen, so the run must have the one it stands for:
// the first run 1252 (LANG=C.UTF-8), the second the one it asks for. The library's text is in it.
TEST(UnicodeHome, RunsUnderTheCodePageAskedFor) {
  if (const auto missing = codePageMissing()) GTEST_SKIP() << *missing;
  const char* asked = std::getenv("KORFLOWID_CODE_PAGE");
  const unsigned int page = asked == nullptr ? 1252 : static_cast<unsigned int>(std::stoul(asked));
  ASSERT_EQ(::GetACP(), page);
  EXPECT_TRUE(fileSystemTakesWideNames()) << "every row would read ASCII names only";
  EXPECT_EQ(korflowid::platform::toAnsi(L"\u00F6\u8868"), page == 932 ? "?\x95\x5C" : "\xF6?");
}

TEST(UnicodeHome, TreeBelowAnyNameIsReadAsItsAsciiCopy) {
  const std::string d(150, 'd');
  const std::string deep = d + "/" + d + "/" + d + "/" + d;  // the tree's paths reach about 700 characters
  const struct {
    unsigned int codePage;  // 0: any
    std::wstring above;     // the folder that holds the flow directory
    std::string rootAbove;  // that folder in the root callers get
    std::wstring decoy;     // a folder beside it, spelled as a look-alike would, holding another installation
  } cases[] = {
      {1252, L"\u5DE5\u5177", "??", L""},    // 工具
      {932, L"J\u00F6rg", "J?rg", L"Jorg"},  // best fit would make it Jorg
      {932, L"\u8868", "\x95\x5C", L""},     // 表, whose second byte is a backslash's
      {0, std::wstring(deep.begin(), deep.end()), deep, L""},
  };
  for (const auto& c : cases) {
    if (!underCodePage(c.codePage)) continue;
    SCOPED_TRACE(c.rootAbove);
    const TempTree tree;
    const std::wstring base = fs::u8path(tree.path()).wstring();
    copySample(base + L"ascii/RJGQ.2.1");
    copySample(base + c.above + L"/RJGQ.2.1");
    if (!c.decoy.empty()) copySample(base + c.decoy + L"/RJGQ.2.1", "decoy");
    const Answers ascii = answersFor(base + L"ascii/RJGQ.2.1/kor");
    const Answers found = answersFor(base + c.above + L"/RJGQ.2.1/kor");
    EXPECT_NE(ascii.report.find("Install Id: 20240611-RJ-004711"), std::string::npos) << ascii.report;
    EXPECT_EQ(found.report, ascii.report);
    EXPECT_EQ(found.code, "RJ");
    EXPECT_EQ(found.root, tree.path() + c.rootAbove + "/RJGQ.2.1/kor/../");
    EXPECT_EQ(found.cReport, ascii.report);
    EXPECT_EQ(found.cCode, "RJ");
    EXPECT_EQ(found.cRoot, korflowid::platform::toUtf8(base + c.above) + "/RJGQ.2.1/kor/../");
  }
}

TEST(UnicodeHome, VerbatimHomeIsReadAsThePlainOne) {
  if (!underCodePage(0)) GTEST_SKIP() << "runs under the default code page";
  const std::wstring deep = L"d" + std::wstring(150, L'e') + L"\\" + std::wstring(150, L'e') + L"\\";
  for (const std::wstring& above : {std::wstring(), deep}) {
    SCOPED_TRACE(above.size());
    const TempTree tree;
    std::wstring base = fs::u8path(tree.path()).wstring() + above;
    for (wchar_t& unit : base) unit = unit == L'/' ? L'\\' : unit;
    copySample(base + L"RJGQ.2.1");
    const Answers plain = answersFor(base + L"RJGQ.2.1\\kor");
    const Answers verbatim = answersFor(L"\\\\?\\" + base + L"RJGQ.2.1\\kor");  // as GetFinalPathNameByHandleW gives it
    EXPECT_NE(plain.report.find("Install Id: 20240611-RJ-004711"), std::string::npos) << plain.report;
    EXPECT_EQ(verbatim.report, plain.report);
    EXPECT_EQ(verbatim.code, "RJ");
    EXPECT_EQ(verbatim.root, "\\\\?\\" + plain.root);
  }
}

TEST(UnicodeHome, PatchNamesAreInTheCodePage) {
  const std::pair<unsigned int, std::string> cases[] = {
      {1252, "Patch #3?\r\nPatch #12\xF6\r\n"},
      {932, "Patch #3\x8D\x48\r\nPatch #12?\r\n"},  // 工 is there; ö is not, nor its look-alike o
  };
  for (const auto& [codePage, patches] : cases) {
    if (!underCodePage(codePage)) continue;
    const TempTree tree;
    const std::wstring base = fs::u8path(tree.path()).wstring();
    fs::create_directories(base + L"RJGQ.2.1/kor");
    std::ofstream(fs::path(base + L"RJGQ.2.1/patch_3\u5DE5.txt")).put('\n');
    std::ofstream(fs::path(base + L"RJGQ.2.1/patch_12\u00F6.txt")).put('\n');
    const Answers answers = answersFor(base + L"RJGQ.2.1/kor");
    EXPECT_EQ(answers.report, "Patches installed in this flow:\r\n" + patches + "\r\n");
    // The C interface gives every character, in UTF-8, whatever the code page.
    EXPECT_EQ(answers.cReport, "Patches installed in this flow:\r\nPatch #3\xE5\xB7\xA5\r\nPatch #12\xC3\xB6\r\n\r\n");
  }
}

TEST(UnicodeHome, DoubleByteCharacterEndingInBackslashSeparatesNothing) {
  if (!underCodePage(932)) GTEST_SKIP() << "needs code page 932";
  korflowid::test::inFreshModule([] {
    ASSERT_EQ(::GetACP(), 932u);
    const WideHome set(L"C:\\inst\\\u8868RJGQ.2.1\\kor");  // 表 is 0x95 0x5C there
    char code[8] = {};
    EXPECT_EQ(KORFlowID(code, sizeof code), 2u);
    EXPECT_STREQ(code, "RJ");
    EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowRJ);
    EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionUnknown);  // "表GQ.2.1" is no release
  });
}

TEST(WideText, LongPathsReachTheFileSystemResolvedBehindThePrefix) {
  const auto fileSystemPath = [](const std::string& path) {
    return std::wstring(korflowid::platform::fileSystemPath(path).data());
  };
  const std::string d(300, 'd');
  const std::wstring wd(300, L'd');
  EXPECT_EQ(fileSystemPath("Z:/i/RJGQ.2.1/kor/../patch_*.txt"), L"Z:/i/RJGQ.2.1/kor/../patch_*.txt");
  EXPECT_EQ(fileSystemPath("Z:/" + std::string(244, 'x')), L"Z:/" + std::wstring(244, L'x'));  // 247 units
  EXPECT_EQ(fileSystemPath("Z:/" + std::string(245, 'x')), L"\\\\?\\Z:\\" + std::wstring(245, L'x'));
  EXPECT_EQ(fileSystemPath("Z:/i/" + d + "/kor/../InstallVersions/./x.txt"),
            L"\\\\?\\Z:\\i\\" + wd + L"\\InstallVersions\\x.txt");
  EXPECT_EQ(fileSystemPath("//server/share/" + d + "/p.txt"), L"\\\\?\\UNC\\server\\share\\" + wd + L"\\p.txt");
  EXPECT_EQ(fileSystemPath(d + "/a/../p.txt").rfind(L"\\\\?\\", 0), 0u) << "a relative path becomes absolute";

  // Already verbatim: resolved behind the prefix, never above the volume.
  EXPECT_EQ(fileSystemPath("\\\\?\\Z:\\i\\RJGQ.2.1\\kor/../InstallVersions/./InstallVersion_*.txt"),
            L"\\\\?\\Z:\\i\\RJGQ.2.1\\InstallVersions\\InstallVersion_*.txt");
  EXPECT_EQ(fileSystemPath("\\\\?\\UNC\\server\\share\\kor/../../../p.txt"), L"\\\\?\\UNC\\server\\share\\p.txt");
  EXPECT_EQ(fileSystemPath("\\\\?\\Z:\\kor/../../"), L"\\\\?\\Z:\\");

  // A short relative path below a deep working directory: the limit holds for the path completed.
  const TempTree tree;
  const std::string w(60, 'w');
  const std::string deepDirectory = tree.makeDirectory(w + "/" + w + "/" + w);
  const std::wstring before = fs::current_path().wstring();
  ASSERT_TRUE(::SetCurrentDirectoryW(fs::u8path(deepDirectory).wstring().c_str()));
  const std::wstring relative = fileSystemPath("kor/../" + std::string(60, 'p') + ".txt");
  ::SetCurrentDirectoryW(before.c_str());
  EXPECT_EQ(relative.rfind(L"\\\\?\\", 0), 0u) << "below " << deepDirectory.size() << " units";
  EXPECT_EQ(relative.substr(relative.size() - 65), L"\\" + std::wstring(60, L'p') + L".txt");
}

TEST(WideText, EveryNameSurvivesTheLibrarysText) {
  using korflowid::platform::toUtf8;
  const auto toWide = [](const std::string& text) { return std::wstring(korflowid::platform::toWide(text).data()); };
  const std::wstring names[] = {L"J\u00F6rg", L"\u5DE5\u5177", L"\U0001F600", L"lone \xD800 surrogate", L"\xDC00"};
  for (const std::wstring& name : names) EXPECT_EQ(toWide(toUtf8(name)), name);
  EXPECT_EQ(toUtf8(L"J\u00F6rg/\u5DE5"), "J\xC3\xB6rg/\xE5\xB7\xA5");
  EXPECT_EQ(toWide("a\xFF\xC3(\xE0\x80\x80"), L"a\xFFFD\xFFFD(\xFFFD\xFFFD\xFFFD");  // no UTF-8: U+FFFD a byte
}

TEST(UnicodeHome, ToolTakesAndShowsEveryCharacter) {
  if (!underCodePage(1252)) GTEST_SKIP() << "needs code page 1252";
  const TempTree tree;
  const auto runTool = [&tree](const std::wstring& arguments) {  // a wide command line; standard output back
    const std::wstring out = fs::u8path(tree.path() + "out").wstring();
    const std::wstring tool = fs::u8path(KORFLOWID_TOOL).wstring();
    EXPECT_EQ(::_wsystem((L"\"\"" + tool + L"\" " + arguments + L" >\"" + out + L"\"\"").c_str()), 0);
    std::ifstream in(fs::path(out), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::wstring home = fs::u8path(tree.path()).wstring() + L"\u5DE5\u5177/RJGQ.2.1/kor";
  const std::string utf8Home = tree.path() + "\xE5\xB7\xA5\xE5\x85\xB7/RJGQ.2.1/kor";
  copySample(fs::path(home).parent_path());
  const std::string summary = runTool(L"--home \"" + home + L"\"");
  EXPECT_NE(summary.find("KOR_HOME               " + utf8Home + "\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Install Id             20240611-RJ-004711\n"), std::string::npos) << summary;

  std::ofstream(fs::path(home).parent_path() / "InstallVersions/InstallVersion_1.txt") << "UPDATE Name: Fr\xFChjahr";
  const nlohmann::json json = nlohmann::json::parse(runTool(L"--json --home \"" + home + L"\""));
  EXPECT_EQ(json["kor-home"], utf8Home);
  EXPECT_EQ(json["root"], tree.path() + "?\?/RJGQ.2.1/kor/../");  // as the library hands it out
  EXPECT_EQ(json["update-name"], "Fr\xC3\xBChjahr");              // decoded from code page 1252
}

}  // namespace
