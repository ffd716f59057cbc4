// Every export that fills a caller's buffer, at the sizes where off-by-one faults live, between
// guard bytes; and every one of them with no buffer at all.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "hostile/Hostile.h"
#include "support/TestSupport.h"

namespace korflowid::test {
namespace {

using Export = char* (*)(char*, unsigned int);

const struct {
  const char* name;
  Export call;
} kLineExports[] = {
    {"GetVersionText", KORFlow::GetVersionText},         {"GetInstallId", KORFlow::GetInstallId},
    {"GetExactAccessDate", KORFlow::GetExactAccessDate}, {"GetFlowId_fromFile", KORFlow::GetFlowId_fromFile},
    {"GetFullFlowName", KORFlow::GetFullFlowName},       {"GetUpdateName", KORFlow::GetUpdateName},
};

// By name: on Windows the address of a DLL's function taken in a static table need not equal the
// one taken in code (one may be the import thunk), so function pointers do not identify it.
bool isWholeText(const char* name) {
  return std::string_view(name) == "GetVersionText";
}

const char kVersionFile[] =
    "Install Id: 4711\n"
    "Exact Access Date: 2024-05-06 07:08:09\n"
    "Flow Id: 3\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\n"
    "UPDATE Name: U1\n";

class CallerBuffer : public ::testing::Test {
 protected:
  CallerBuffer() : home_("KOR_HOME", tree_.makeDirectory("RJGQ.2.1/kor")) {
    tree_.write("RJGQ.2.1/InstallVersions/InstallVersion_1.txt", kVersionFile);
    tree_.write("RJGQ.2.1/patch_2.txt", "");
  }

 private:
  TempTree tree_;
  ScopedEnvironment home_;
};

/// The sizes worth trying for a text of `length` bytes.
std::vector<unsigned int> sizesFor(std::size_t length) {
  const auto exact = static_cast<unsigned int>(length);
  return {0u, 1u, exact > 0 ? exact - 1 : 0u, exact, exact + 1};
}

TEST_F(CallerBuffer, LineExportsAtEverySizeStayInsideTheBuffer) {
  inFreshModule([] {
    for (const auto& e : kLineExports) {
      SCOPED_TRACE(e.name);
      char roomy[1024];
      const std::string text = e.call(roomy, sizeof roomy);
      ASSERT_FALSE(text.empty());
      for (const unsigned int size : sizesFor(text.size())) {
        SCOPED_TRACE(size);
        GuardedBuffer buffer(size);
        char* const result = e.call(buffer.data(), size);
        EXPECT_TRUE(buffer.guardsIntact());
        EXPECT_TRUE(buffer.holdsCopyOf(text));
        // Only the whole text has an answer for "no buffer"; the labelled lines give null for size 0.
        if (size > 0 || isWholeText(e.name)) {
          EXPECT_EQ(result, buffer.data());
        }
      }
      EXPECT_EQ(e.call(nullptr, 0), nullptr);
      EXPECT_EQ(e.call(nullptr, 64), nullptr);
    }
  });
}

TEST_F(CallerBuffer, AbbreviatedFlowNameCutAnywhereInTheFullName) {
  // The abbreviation works on the full-name line as the buffer cut it; cut right after the long
  // name (with or without its separator) nothing is left.
  inFreshModule([] {
    const std::string full = "Full Flow Name: Vantorium Enterprise TAVO Flow\n";
    const std::size_t afterLongName = full.find("TAVO");
    for (unsigned int size = 0; size <= full.size() + 1; ++size) {
      SCOPED_TRACE(size);
      const std::string cut = full.substr(0, size);
      const std::string expected =
          cut.size() < afterLongName - 1 ? cut : (cut.size() > afterLongName ? cut.substr(afterLongName) : "");
      GuardedBuffer buffer(size);
      char* const result = KORFlow::GetAbbreviatedFlowName(buffer.data(), size);
      EXPECT_TRUE(buffer.guardsIntact());
      EXPECT_TRUE(buffer.holdsCopyOf(expected));
      EXPECT_EQ(result, size == 0 ? nullptr : buffer.data());
    }
    EXPECT_EQ(KORFlow::GetAbbreviatedFlowName(nullptr, 16), nullptr);
  });
}

TEST_F(CallerBuffer, RootAndFlowCodeAtEverySize) {
  char roomy[4096];
  const unsigned int rootLength = getKORRoot(roomy, sizeof roomy);
  const std::string root(roomy, rootLength);
  const std::string code = "RJ";
  for (const unsigned int size : sizesFor(root.size())) {
    SCOPED_TRACE(size);
    GuardedBuffer buffer(size);
    EXPECT_EQ(getKORRoot(buffer.data(), size), rootLength);
    EXPECT_TRUE(buffer.guardsIntact());
    EXPECT_TRUE(buffer.holdsCopyOf(root));
  }
  for (const unsigned int size : sizesFor(code.size())) {
    SCOPED_TRACE(size);
    GuardedBuffer buffer(size);
    EXPECT_EQ(KORFlowID(buffer.data(), size), 2u);
    EXPECT_TRUE(buffer.guardsIntact());
    EXPECT_TRUE(buffer.holdsCopyOf(code));
  }
  EXPECT_EQ(getKORRoot(nullptr, 64), rootLength);
  EXPECT_EQ(KORFlowID(nullptr, 64), 2u);
}

TEST(CallerBufferFailures, FailuresTouchOnlyTheFirstByte) {
  inFreshModule([] {
    for (const std::optional<std::string>& home : {std::optional<std::string>(), std::optional<std::string>("kor")}) {
      ScopedEnvironment env("KOR_HOME", home);
      captureStdout([] {
        for (const unsigned int size : {0u, 1u, 2u, 16u}) {
          SCOPED_TRACE(size);
          GuardedBuffer code(size);
          KORFlowID(code.data(), size);
          EXPECT_TRUE(code.guardsIntact());
          if (size > 0) {
            EXPECT_EQ(code.data()[0], '\0');
            code.data()[0] = GuardedBuffer::kFillByte;
          }
          EXPECT_TRUE(code.untouched());
          for (const auto& e : kLineExports) {
            if (isWholeText(e.name)) continue;  // copies the empty report whole
            GuardedBuffer line(size);
            e.call(line.data(), size);
            EXPECT_TRUE(line.guardsIntact());
            if (size > 0) line.data()[0] = GuardedBuffer::kFillByte;
            EXPECT_TRUE(line.untouched()) << e.name;
          }
          KORFlowID(nullptr, size);
        }
      });
    }
  });
}

}  // namespace
}  // namespace korflowid::test
