// The report queries: labelled lines, the whole report and the abbreviated flow name, from the cache.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "report/InstallTree.h"

using korflowid::test::inFreshModule;
using korflowid::test::InstallTree;

namespace {

constexpr char kGuard = '\x5A';
constexpr unsigned int kBufferBytes = 80;

struct Buffer {
  char bytes[kBufferBytes];
  Buffer() { std::memset(bytes, kGuard, sizeof bytes); }
};

/// `size` bytes hold `text` with the rest zero-filled (or a cut `text` without terminator); every
/// byte after them is untouched.
void expectCopied(const Buffer& buffer, std::string_view text, unsigned int size) {
  for (unsigned int i = 0; i < kBufferBytes; ++i) {
    const char expected = i >= size ? kGuard : i < text.size() ? text[i] : '\0';
    ASSERT_EQ(buffer.bytes[i], expected) << "byte " << i << " of a copy into " << size;
  }
}

using Getter = char* (*)(char*, unsigned int);

using namespace std::string_literals;

const std::string kReport =
    "Install Id: 4711\n"
    "Note: the old Flow Id: 9 was kept\n"
    "Flow Id: 3\r\n"
    "Exact Access Date: 2024-05-06\r07:08\n"
    "Install Id: 9999\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\0 (trial)\n"
    "UPDATE Name: U1"s;

TEST(ReportQueries, LabelledLinesEndWithOneLineFeed) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kReport);
    const struct {
      Getter get;
      std::string line;
    } cases[] = {
        {KORFlow::GetInstallId, "Install Id: 4711\n"},                                   // the first of two
        {KORFlow::GetFlowId_fromFile, "Flow Id: 9 was kept\n"},                          // in the middle of a line
        {KORFlow::GetExactAccessDate, "Exact Access Date: 2024-05-06\n"},                // a lone CR ends it too
        {KORFlow::GetFullFlowName, "Full Flow Name: Vantorium Enterprise TAVO Flow\n"},  // a zero byte ends it
        {KORFlow::GetUpdateName, "UPDATE Name: U1\n"},  // the file's last line, without line feed
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.line);
      for (unsigned int size :
           {64u, static_cast<unsigned int>(c.line.size()) + 1, static_cast<unsigned int>(c.line.size()), 5u, 1u}) {
        Buffer buffer;
        EXPECT_EQ(c.get(buffer.bytes, size), buffer.bytes);
        expectCopied(buffer, c.line, size);
      }
    }
  });
}

TEST(ReportQueries, AbsentLabelSetsOnlyTheFirstByte) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", "Install Id: 4711\n");
    for (Getter get : {KORFlow::GetUpdateName, KORFlow::GetFullFlowName, KORFlow::GetAbbreviatedFlowName}) {
      Buffer buffer;
      EXPECT_EQ(get(buffer.bytes, 40), buffer.bytes);
      EXPECT_EQ(buffer.bytes[0], '\0');
      EXPECT_EQ(std::string_view(buffer.bytes + 1, kBufferBytes - 1), std::string(kBufferBytes - 1, kGuard));
    }
  });
}

TEST(ReportQueries, NoBufferGivesNullButStillFillsTheCache) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", "Install Id: 4711\n");
    Buffer buffer;
    EXPECT_EQ(KORFlow::GetInstallId(nullptr, 64), nullptr);
    EXPECT_EQ(KORFlow::GetUpdateName(buffer.bytes, 0), nullptr);
    tree.version("1", "Install Id: 1234\n");  // too late: the first call kept the report
    EXPECT_EQ(KORFlow::GetAbbreviatedFlowName(nullptr, 64), nullptr);
    EXPECT_EQ(KORFlow::GetAbbreviatedFlowName(buffer.bytes, 0), nullptr);
    EXPECT_EQ(KORFlow::GetVersionText(nullptr, 64), nullptr);
    expectCopied(buffer, "", 0);
    EXPECT_EQ(KORFlow::GetInstallId(buffer.bytes, 64), buffer.bytes);
    expectCopied(buffer, "Install Id: 4711\n", 64);
  });
}

TEST(ReportQueries, CacheIsRefilledWhileEmptyAndKeptOnceFilled) {
  inFreshModule([] {
    InstallTree tree;
    Buffer buffer;
    const char* const handedOut = KORFlowID();
    EXPECT_EQ(KORFlow::GetVersionText(buffer.bytes, 8), buffer.bytes);
    expectCopied(buffer, "", 8);
    tree.version("1", "Install Id: 1\n");
    KORFlow::GetInstallId(buffer.bytes, 64);
    expectCopied(buffer, "Install Id: 1\n", 64);
    EXPECT_STREQ(handedOut, "") << "only KORFlowID() writes its buffer";
    tree.version("1", "Install Id: 2\n");
    tree.write("patch_1.txt", "");
    KORFlow::GetInstallId(buffer.bytes, 64);
    expectCopied(buffer, "Install Id: 1\n", 64);
    KORFlow::GetVersionText(buffer.bytes, 64);
    expectCopied(buffer, "Install Id: 1\r\n\r\n", 64);
    EXPECT_EQ(std::string(KORFlowID()), "Install Id: 2\r\n\r\n" + korflowid::test::patchBlock({"1"}));
  });
}

TEST(ReportQueries, VersionTextCopiesTheWholeReport) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", "Install Id: 4711\nFlow Id: 3\n");
    const std::string whole = "Install Id: 4711\r\nFlow Id: 3\r\n\r\n";
    for (unsigned int size : {64u, 31u, 30u, 4u}) {
      Buffer buffer;
      EXPECT_EQ(KORFlow::GetVersionText(buffer.bytes, size), buffer.bytes);
      expectCopied(buffer, whole, size);
    }
    Buffer untouched;
    EXPECT_EQ(KORFlow::GetVersionText(untouched.bytes, 0), untouched.bytes);
    expectCopied(untouched, "", 0);
  });
}

TEST(ReportQueries, AbbreviationOfACutFullName) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", "Full Flow Name: Vantorium Enterprise TAVO Flow\n");
    const std::string_view upToLongName = "Full Flow Name: Vantorium Enterprise";
    const struct {
      unsigned int size;
      std::string abbreviated;
    } cases[] = {{64, "TAVO Flow\n"},
                 {35, "Full Flow Name: Vantorium Enterpris"},  // the long name is cut: the line stays
                 {static_cast<unsigned int>(upToLongName.size()), ""},
                 {static_cast<unsigned int>(upToLongName.size()) + 1, ""},
                 {static_cast<unsigned int>(upToLongName.size()) + 3, "TA"}};
    for (const auto& c : cases) {
      SCOPED_TRACE(c.size);
      Buffer buffer;
      EXPECT_EQ(KORFlow::GetAbbreviatedFlowName(buffer.bytes, c.size), buffer.bytes);
      expectCopied(buffer, c.abbreviated, c.size);
    }
  });
}

TEST(ReportQueries, FullNameWithoutTheLongNameIsKeptWhole) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", "Full Flow Name: Vantorium Standard TAVO Flow\r\nFlow Id: 3\n");
    for (unsigned int size : {64u, 20u}) {
      Buffer full, abbreviated;
      KORFlow::GetFullFlowName(full.bytes, size);
      KORFlow::GetAbbreviatedFlowName(abbreviated.bytes, size);
      EXPECT_EQ(std::string_view(abbreviated.bytes, kBufferBytes), std::string_view(full.bytes, kBufferBytes));
      expectCopied(full, "Full Flow Name: Vantorium Standard TAVO Flow\n", size);
    }
  });
}

}  // namespace
