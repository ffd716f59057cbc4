// The C interface beside the C++ interface on the same trees: the same answers, with statuses the C++
// functions cannot give, by the snprintf buffer rule, printing nothing, for KOR_HOME or any home.
#include <KORFlow.h>
#include <gtest/gtest.h>
#include <korflowid.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>

#include "report/InstallTree.h"
#include "support/TestSupport.h"

using korflowid::test::captureStdout;
using korflowid::test::inFreshModule;
using korflowid::test::ScopedEnvironment;
using korflowid::test::TempTree;

namespace {

struct Answer {
  int status;
  std::string text;
  bool operator==(const Answer& other) const { return status == other.status && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Answer& answer) {
  return out << answer.status << " \"" << answer.text << '"';
}

/// A C export's text, asked for its length first as (NULL, 0), then copied into a buffer of exactly
/// that much room; both calls must agree.
template <typename Export>
Answer ask(Export&& call) {
  size_t length = SIZE_MAX;
  const int status = call(nullptr, 0, &length);
  EXPECT_NE(length, SIZE_MAX);
  std::string text(length + 1, '\x5A');
  size_t again = 0;
  EXPECT_EQ(call(text.data(), text.size(), &again), status);
  EXPECT_EQ(again, length);
  EXPECT_EQ(text[length], '\0');
  text.resize(std::strlen(text.c_str()));
  return {status, text};
}

/// A C++ getter's line as the C interface gives its value: without label, leading blanks and line end.
std::string valueOf(char* (*getter)(char*, unsigned int), const char* label) {
  char line[512] = {};
  std::string text = getter(line, sizeof line - 1);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  // The abbreviated name is the full name's value where it names no long flow name.
  if (text.compare(0, std::strlen(label), label) != 0) return text;
  text.erase(0, std::strlen(label));
  return text.substr(std::min(text.find_first_not_of(" \t"), text.size()));
}

const struct {
  int field;
  char* (*getter)(char*, unsigned int);
  const char* label;
} kFields[] = {
    {KOR_FIELD_INSTALL_ID, KORFlow::GetInstallId, "Install Id:"},
    {KOR_FIELD_EXACT_ACCESS_DATE, KORFlow::GetExactAccessDate, "Exact Access Date:"},
    {KOR_FIELD_FLOW_ID, KORFlow::GetFlowId_fromFile, "Flow Id:"},
    {KOR_FIELD_FULL_FLOW_NAME, KORFlow::GetFullFlowName, "Full Flow Name:"},
    {KOR_FIELD_UPDATE_NAME, KORFlow::GetUpdateName, "UPDATE Name:"},
    {KOR_FIELD_ABBREVIATED_FLOW_NAME, KORFlow::GetAbbreviatedFlowName, "Full Flow Name:"},
};

/// Every C answer for `home`, in one text, so that two homes compare at once.
std::string everything(const char* home) {
  std::ostringstream out;
  int32_t id = -1;
  const char* name = nullptr;
  out << kor_flow(home, &id, &name) << id << name << '|' << kor_release(home, &id, &name) << id << name << '|';
  out << ask([&](char* b, size_t s, size_t* l) { return kor_root(home, b, s, l); }) << '|';
  out << ask([&](char* b, size_t s, size_t* l) { return kor_flow_code(home, b, s, l); }) << '|';
  out << ask([&](char* b, size_t s, size_t* l) { return kor_report(home, b, s, l); }) << '|';
  for (const auto& f : kFields)
    out << ask([&](char* b, size_t s, size_t* l) { return kor_value(home, f.field, b, s, l); });
  out << ask([&](char* b, size_t s, size_t* l) { return kor_label_value(home, "Install Directory:", b, s, l); });
  return out.str();
}

const char* const kWholeVersionFile =
    "Install Id:   4711\nExact Access Date: Tue Jun 11\nFlow Id: RJ\nInstall Directory:\tC:\\inst\n"
    "Full Flow Name: Vantorium Enterprise RJ Design Flow\nUPDATE Name: GQ.2.1 Update 2\n";

struct TreeCase {
  const char* name;
  const char* flowDirectory;  // null: KOR_HOME unset
  const char* home;           // below the flow directory
  const char* versionFile;    // null: none
  std::size_t patches;        // this many patch files; enough make the report too large
  int flow, code, report, installId;
};

const TreeCase kTrees[] = {
    {"every label", "RJGQ.2.1", "/kor", kWholeVersionFile, 2, KOR_OK, KOR_OK, KOR_OK, KOR_OK},
    {"no long flow name", "TAVOGQ", "/kor",
     "Full Flow Name:  Own Flow\r\nInstall Id:\nFlow Id: Vantorium Enterprise  X\n", 0, KOR_OK, KOR_OK, KOR_OK, KOR_OK},
    {"unknown flow, no files", "Elsewhere.1", "/kor", nullptr, 0, KOR_OK, KOR_OK, KOR_ABSENT, KOR_ABSENT},
    {"labels absent", "RJGQ.1", "/kor", "Nothing: here\n", 0, KOR_OK, KOR_OK, KOR_OK, KOR_ABSENT},
    {"report too large", "RJGQ.1", "/kor", kWholeVersionFile, 1700, KOR_OK, KOR_OK, KOR_TOO_LARGE, KOR_TOO_LARGE},
    {"root not reducible", "", "kor", nullptr, 0, KOR_NO_ROOT, KOR_NO_ROOT, KOR_ABSENT, KOR_ABSENT},
    {"KOR_HOME unset", nullptr, "", nullptr, 0, KOR_NO_HOME, KOR_NO_HOME, KOR_NO_HOME, KOR_NO_HOME},
};

std::optional<std::string> makeTree(const TempTree& tree, const TreeCase& c) {
  if (c.flowDirectory == nullptr) return std::nullopt;
  if (*c.flowDirectory == '\0') return std::string(c.home);  // relative, with nothing above it
  const std::string directory = std::string(c.flowDirectory) + "/";
  tree.makeDirectory(directory + "kor");
  if (c.versionFile != nullptr) tree.write(directory + "InstallVersions/InstallVersion_1.txt", c.versionFile);
  for (std::size_t i = 0; i < c.patches; ++i) tree.write(directory + "patch_" + std::to_string(i) + ".txt", "");
  return tree.path() + c.flowDirectory + c.home;
}

void PrintTo(const TreeCase& c, std::ostream* out) {
  *out << c.name;
}

class CInterfaceTrees : public ::testing::TestWithParam<TreeCase> {};

TEST_P(CInterfaceTrees, AnswerAsTheCxxInterfaceWithAStatus) {
  {
    const TreeCase& c = GetParam();
    inFreshModule([&] {
      TempTree tree;
      const std::optional<std::string> home = makeTree(tree, c);
      std::string fromEnvironment;
      {
        ScopedEnvironment environment("KOR_HOME", home);
        const std::string printed = captureStdout([&] { fromEnvironment = everything(nullptr); });
        EXPECT_EQ(printed, "");
        int32_t id = -1;
        const char* name = nullptr;
        EXPECT_EQ(kor_flow(nullptr, &id, &name), c.flow);
        EXPECT_EQ(id, KORFlow::GetFlowId());
        EXPECT_STREQ(name, KORFlow::GetFlowString());
        EXPECT_EQ(kor_release(nullptr, &id, &name), c.flow);
        EXPECT_EQ(id, c.flow == KOR_OK ? KORFlow::GetFlowVersionId() : 0);
        EXPECT_STREQ(name, c.flow == KOR_OK ? KORFlow::GetFlowVersionString() : "UNKNOWN");

        char code[64];
        const unsigned int codeLength = KORFlowID(code, sizeof code);
        const Answer cCode = ask([](char* b, size_t s, size_t* l) { return kor_flow_code(nullptr, b, s, l); });
        EXPECT_EQ(cCode, (Answer{c.code, c.code == KOR_OK ? code : ""}));
        if (c.code != KOR_OK) {
          EXPECT_EQ(codeLength, c.code == KOR_NO_HOME ? 0xFFFFFFFFu : 0xFFFFFFFEu);
        }

        char root[512];
        getKORRoot(root, sizeof root);
        EXPECT_EQ(ask([](char* b, size_t s, size_t* l) { return kor_root(nullptr, b, s, l); }),
                  (Answer{home ? KOR_OK : KOR_NO_HOME, home ? root : ""}));

        EXPECT_EQ(ask([](char* b, size_t s, size_t* l) { return kor_report(nullptr, b, s, l); }),
                  (Answer{c.report, KORFlowID()}));
        for (const auto& f : kFields) {
          SCOPED_TRACE(f.field);
          const Answer value = ask([&](char* b, size_t s, size_t* l) { return kor_value(nullptr, f.field, b, s, l); });
          EXPECT_EQ(value.text, valueOf(f.getter, f.label));
          if (f.field == KOR_FIELD_INSTALL_ID) {
            EXPECT_EQ(value.status, c.installId);
          }
        }
      }
      if (!home) return;
      // Another installation's home: the same answers, with KOR_HOME unset or naming another tree.
      ScopedEnvironment unset("KOR_HOME", std::nullopt);
      EXPECT_EQ(captureStdout([&] { EXPECT_EQ(everything(home->c_str()), fromEnvironment); }), "");
      ScopedEnvironment elsewhere("KOR_HOME", tree.makeDirectory("TAVOProGQ.2/kor"));
      EXPECT_EQ(everything(home->c_str()), fromEnvironment);
    });
  }
}

INSTANTIATE_TEST_SUITE_P(CInterface, CInterfaceTrees, ::testing::ValuesIn(kTrees),
                         [](const ::testing::TestParamInfo<TreeCase>& param) {
                           std::string name = param.param.name;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

#if defined(_WIN32)
constexpr bool kOneKeptReport = false;
#else
constexpr bool kOneKeptReport = true;
#endif

TEST(CInterface, OnlyTheProcesssOwnInstallationIsKept) {
  inFreshModule([] {
    korflowid::test::InstallTree tree;  // KOR_HOME set
    tree.version("1", "Install Id: 1\n");
    const std::string home = tree.root() + "kor";
    const auto installId = [](const char* from) {
      return ask([&](char* b, size_t s, size_t* l) { return kor_value(from, KOR_FIELD_INSTALL_ID, b, s, l); });
    };
    EXPECT_EQ(installId(nullptr), (Answer{KOR_OK, "1"}));
    tree.version("1", "Install Id: 2\n");
    EXPECT_EQ(installId(nullptr), (Answer{KOR_OK, "1"}));  // the report kept
    // One kept report for both interfaces where their texts are one; on Windows, where the C++
    // interface's patch numbers are in the code page, each keeps its own, first read on its first call.
    EXPECT_EQ(valueOf(KORFlow::GetInstallId, "Install Id:"), kOneKeptReport ? "1" : "2");
    EXPECT_EQ(installId(home.c_str()), (Answer{KOR_OK, "2"}));
    EXPECT_EQ(ask([&](char* b, size_t s, size_t* l) { return kor_report(home.c_str(), b, s, l); }).text,
              "Install Id: 2\r\n\r\n");
  });
}

TEST(CInterface, BuffersAreCutAsSnprintfCutsThem) {
  const std::string home = "/inst/RJGQ.2.1/kor";  // root "/inst/RJGQ.2.1/kor/../", 22 bytes
  const std::string root = home + "/../";
  for (const size_t size : {0u, 1u, 2u, 21u, 22u, 23u, 40u}) {
    SCOPED_TRACE(size);
    char bytes[48];
    std::memset(bytes, '\x5A', sizeof bytes);
    size_t length = 0;
    EXPECT_EQ(kor_root(home.c_str(), size == 0 ? nullptr : bytes + 4, size, &length), KOR_OK);
    EXPECT_EQ(length, root.size());
    for (size_t i = 0; i < sizeof bytes; ++i) {
      const size_t at = i - 4;
      const size_t end = std::min(size - 1, root.size());  // where the terminator goes
      const char expected = i < 4 || size == 0 || at > end ? '\x5A' : at == end ? '\0' : root[at];
      ASSERT_EQ(bytes[i], expected) << "byte " << i;
    }
  }
}

TEST(CInterface, BadArgumentsAndEmptyHomes) {
  char buffer[8] = "guard";
  size_t length = 99;
  const struct {
    const char* name;
    int status;
    int (*call)(char* buffer, size_t* length);
  } cases[] = {
      {"null buffer, size 1", KOR_BAD_ARGUMENT, [](char*, size_t* l) { return int{kor_root("/a/b", nullptr, 1, l)}; }},
      {"field 0", KOR_BAD_ARGUMENT, [](char* b, size_t* l) { return int{kor_value("/a/b", 0, b, 8, l)}; }},
      {"field 7", KOR_BAD_ARGUMENT, [](char* b, size_t* l) { return int{kor_value(nullptr, 7, b, 8, l)}; }},
      {"field INT_MIN", KOR_BAD_ARGUMENT, [](char* b, size_t* l) { return int{kor_value(nullptr, INT_MIN, b, 8, l)}; }},
      {"null label", KOR_BAD_ARGUMENT, [](char* b, size_t* l) { return int{kor_label_value("/a", nullptr, b, 8, l)}; }},
      {"empty label", KOR_BAD_ARGUMENT, [](char* b, size_t* l) { return int{kor_label_value("/a", "", b, 8, l)}; }},
      {"empty home, root", KOR_NO_HOME, [](char* b, size_t* l) { return int{kor_root("", b, 8, l)}; }},
      {"empty home, code", KOR_NO_HOME, [](char* b, size_t* l) { return int{kor_flow_code("", b, 8, l)}; }},
      {"empty home, report", KOR_NO_HOME, [](char* b, size_t* l) { return int{kor_report("", b, 8, l)}; }},
      {"empty home, value", KOR_NO_HOME, [](char* b, size_t* l) { return int{kor_value("", 1, b, 8, l)}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::memcpy(buffer, "guard", 6);
    length = 99;
    EXPECT_EQ(c.call(buffer, &length), c.status);
    EXPECT_EQ(length, 0u);
    if (std::strcmp(c.name, "null buffer, size 1") != 0) {
      EXPECT_STREQ(buffer, "");
    }
  }
  int32_t id = -1;
  const char* name = nullptr;
  EXPECT_EQ(kor_flow("", &id, &name), KOR_NO_HOME);
  EXPECT_EQ(id, 0);
  EXPECT_STREQ(name, "UNKNOWN");
  EXPECT_EQ(kor_release("", nullptr, nullptr), KOR_NO_HOME);
}

TEST(CInterface, StatusTextsAndVersion) {
  for (const int status : {INT_MIN, -7, -6, -5, -4, -3, -2, -1, 0, 1, 2, INT_MAX}) {
    const char* const text = kor_status_text(status);
    ASSERT_NE(text, nullptr) << status;
    EXPECT_GT(std::strlen(text), 0u) << status;
    if (status >= -6 && status <= 1 && status != 0) {
      EXPECT_STRNE(text, kor_status_text(0)) << status;
    }
  }
  EXPECT_STRNE(kor_status_text(-7), kor_status_text(KOR_TOO_LARGE));  // an unknown status says so
  EXPECT_EQ(std::to_string(KORFLOWID_VERSION_MAJOR) + "." + std::to_string(KORFLOWID_VERSION_MINOR) + "." +
                std::to_string(KORFLOWID_VERSION_PATCH),
            kor_library_version());
}

}  // namespace
