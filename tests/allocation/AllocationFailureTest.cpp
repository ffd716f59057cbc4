// Every export keeps its contract when an allocation fails at any point of its path, and tries
// again on the next call; the identification paths allocate nothing at all.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "allocation/FailingAllocator.h"
#include "report/InstallTree.h"
#include "support/TestSupport.h"

using korflowid::test::armAllocationFailure;
using korflowid::test::disarmAllocationFailure;
using korflowid::test::inFreshModule;
using korflowid::test::InstallTree;
using korflowid::test::ScopedEnvironment;
using korflowid::test::TempTree;

namespace {

constexpr char kGuard = 'g';
constexpr unsigned int kBufferBytes = 400;
constexpr unsigned int kSize = 300;  // what the caller says; the bytes after it must stay untouched
constexpr const char* kFailAtVariable = "KORFLOWID_TEST_FAIL_AT";
constexpr const char* kNoteVariable = "KORFLOWID_TEST_FAIL_NOTE";

const std::string kVersionFile =
    "Install Id: 4711\r\n"
    "Exact Access Date: 2024-05-06\r\n"
    "Flow Id: 3\r\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\r\n"
    "UPDATE Name: U1\r\n";
const std::string kReport = kVersionFile + "\r\nPatches installed in this flow:\r\nPatch #3\r\n\r\n";

/// What an export gave, captured without allocating: failures are armed while it runs.
struct Raw {
  char buffer[kBufferBytes];
  const char* pointer = nullptr;
  unsigned int number = 0;
  Raw() { std::memset(buffer, kGuard, sizeof buffer); }
};

/// The caller's view of a buffer export's result, or what broke its contract.
std::string bufferText(const Raw& raw, bool emptyWritesOnlyFirstByte) {
  if (raw.pointer != raw.buffer) return raw.pointer == nullptr ? "<null>" : "<another pointer>";
  for (unsigned int i = kSize; i < kBufferBytes; ++i) {
    if (raw.buffer[i] != kGuard) return "<wrote past size>";
  }
  const std::string text(raw.buffer, strnlen(raw.buffer, kSize));
  if (text.empty() && emptyWritesOnlyFirstByte) {
    for (unsigned int i = 1; i < kSize; ++i) {
      if (raw.buffer[i] != kGuard) return "<wrote more than the first byte>";
    }
  }
  return text;
}

std::string lineText(const Raw& raw) {
  return bufferText(raw, true);
}

std::string wholeText(const Raw& raw) {
  return bufferText(raw, false);
}

struct ExportCase {
  const char* name;
  void (*call)(Raw&);               // the export alone: nothing else may allocate while failures are armed
  std::string (*seen)(const Raw&);  // what the caller sees, worked out afterwards
  std::string success;
  std::string failure;    // what a failed allocation must give instead
  bool allocates = true;  // the identification paths work on the stack
};

void PrintTo(const ExportCase& c, std::ostream* out) {
  *out << c.name;
}

const ExportCase kExports[] = {
    {"GetInstallId", [](Raw& r) { r.pointer = KORFlow::GetInstallId(r.buffer, kSize); }, lineText, "Install Id: 4711\n",
     ""},
    {"GetExactAccessDate", [](Raw& r) { r.pointer = KORFlow::GetExactAccessDate(r.buffer, kSize); }, lineText,
     "Exact Access Date: 2024-05-06\n", ""},
    {"GetFlowId_fromFile", [](Raw& r) { r.pointer = KORFlow::GetFlowId_fromFile(r.buffer, kSize); }, lineText,
     "Flow Id: 3\n", ""},
    {"GetFullFlowName", [](Raw& r) { r.pointer = KORFlow::GetFullFlowName(r.buffer, kSize); }, lineText,
     "Full Flow Name: Vantorium Enterprise TAVO Flow\n", ""},
    {"GetUpdateName", [](Raw& r) { r.pointer = KORFlow::GetUpdateName(r.buffer, kSize); }, lineText,
     "UPDATE Name: U1\n", ""},
    // Never the whole full-name line: that would be a wrong answer, not a missing one.
    {"GetAbbreviatedFlowName", [](Raw& r) { r.pointer = KORFlow::GetAbbreviatedFlowName(r.buffer, kSize); }, lineText,
     "TAVO Flow\n", ""},
    {"GetVersionText", [](Raw& r) { r.pointer = KORFlow::GetVersionText(r.buffer, kSize); }, wholeText, kReport, ""},
    {"KORFlowIDReport", [](Raw& r) { r.pointer = KORFlowID(); },
     [](const Raw& r) { return r.pointer == nullptr ? std::string("<null>") : std::string(r.pointer); }, kReport, ""},
    {"KORFlowIDCode",
     [](Raw& r) {
       r.number = KORFlowID(r.buffer, kSize);
       r.pointer = r.buffer;
     },
     [](const Raw& r) { return wholeText(r) + "/" + std::to_string(r.number); }, "RJ/2", "/4294967294", false},
    {"getKORRoot",
     [](Raw& r) {
       r.number = getKORRoot(r.buffer, kSize);
       r.pointer = r.buffer;
     },
     [](const Raw& r) { return std::to_string(wholeText(r).size()) + "/" + std::to_string(r.number); }, "", "/0",
     false},
    {"GetFlowId", [](Raw& r) { r.number = static_cast<unsigned int>(KORFlow::GetFlowId()); },
     [](const Raw& r) { return std::to_string(r.number); }, "1", "0", false},
    {"GetFlowString", [](Raw& r) { r.pointer = KORFlow::GetFlowString(); },
     [](const Raw& r) { return std::string(r.pointer); }, "RJ", "UNKNOWN", false},
    {"GetFlowVersionId", [](Raw& r) { r.number = static_cast<unsigned int>(KORFlow::GetFlowVersionId()); },
     [](const Raw& r) { return std::to_string(r.number); }, "12", "0", false},
    {"GetFlowVersionString", [](Raw& r) { r.pointer = KORFlow::GetFlowVersionString(); },
     [](const Raw& r) { return std::string(r.pointer); }, "GQ.2.1", "UNKNOWN", false},
};

/// The root's length and the length getKORRoot reports, for the tree in use.
std::string rootSeen(const InstallTree& tree) {
  const std::string root = tree.root() + "kor/../";
  return std::to_string(root.size()) + "/" + std::to_string(root.size());
}

class AllocationFailure : public ::testing::TestWithParam<ExportCase> {};

/// In a fresh process: the export with its n-th allocation failing, then again with none failing.
/// Leaves a note for the parent on whether the n-th allocation was reached at all.
void runFailingCase(const ExportCase& c, std::size_t n) {
  InstallTree tree;
  tree.version("1", kVersionFile);
  tree.write("patch_3.txt", "");
  const std::string success = std::string(c.name) == "getKORRoot" ? rootSeen(tree) : c.success;

  Raw first;
  armAllocationFailure(n);
  c.call(first);
  const bool failed = korflowid::test::allocationFailed();
  disarmAllocationFailure();
  // Some failures are absorbed inside (a sort without its scratch memory is merely slower); the
  // caller then gets the whole answer, which is as good as the documented failure result.
  const std::string seen = c.seen(first);
  if (failed && seen != success) {
    EXPECT_EQ(seen, c.failure) << "allocation " << n << " failed";
  } else {
    EXPECT_EQ(seen, success) << "allocation " << n << (failed ? " failed" : " not reached");
  }

  Raw second;  // nothing of the failed attempt may stay behind
  c.call(second);
  EXPECT_EQ(c.seen(second), success) << "after allocation " << n << " failed";

  std::ofstream(std::getenv(kNoteVariable)) << (failed ? "failed" : "not reached");
}

TEST_P(AllocationFailure, EveryAllocationOfThePath) {
  const ExportCase& c = GetParam();
  if (const char* failAt = std::getenv(kFailAtVariable)) {
    inFreshModule([&] { runFailingCase(c, std::strtoul(failAt, nullptr, 10)); });
    return;
  }
  const TempTree notes;
  const std::string note = notes.path() + "note";
  const ScopedEnvironment noteVariable(kNoteVariable, note);
  std::size_t reached = 0;
  for (std::size_t n = 1;; ++n) {
    ASSERT_LT(n, 2000u) << "the path never ends";
    std::remove(note.c_str());
    {
      const ScopedEnvironment failAt(kFailAtVariable, std::to_string(n));
      inFreshModule([] {});
    }
    std::ifstream in(note);
    const std::string outcome{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(outcome.empty()) << "the fresh process for allocation " << n << " left no note";
    if (outcome != "failed") break;
    reached = n;
  }
  if (c.allocates) {
    EXPECT_GT(reached, 0u) << "the report path allocates, or nothing was injected";
  } else {
    EXPECT_EQ(reached, 0u) << "identification allocates";
  }
}

INSTANTIATE_TEST_SUITE_P(Exports, AllocationFailure, ::testing::ValuesIn(kExports),
                         [](const ::testing::TestParamInfo<ExportCase>& param) { return param.param.name; });

// The flow code runs at the start of every application, often many times: it works on the stack.
TEST(Allocations, IdentificationAllocatesNothing) {
  inFreshModule([] {
    const struct {
      const char* home;
      const char* code;
    } homes[] = {// Without a flow id the identification runs whole on every call; the last one publishes it.
                 {"/inst/GQ.2.1/kor", "GQ.2.1"},
                 {"D:\\inst\\TAVOProGQ.2\\kor\\", "kor"},
                 {"/inst/zTorvikGQ.2/kor", "zTorvik"},
                 {"/inst/RJGQ.2.1/kor", "RJ"}};
    for (const auto& h : homes) {
      SCOPED_TRACE(h.home);
      const ScopedEnvironment home("KOR_HOME", std::string(h.home));
      char code[64];
      char root[2048];
      armAllocationFailure(0);
      const unsigned int length = KORFlowID(code, sizeof code);
      getKORRoot(root, sizeof root);
      KORFlow::GetFlowId();
      KORFlow::GetFlowString();
      KORFlow::GetFlowVersionId();
      KORFlow::GetFlowVersionString();
      EXPECT_EQ(disarmAllocationFailure(), 0u);
      EXPECT_EQ(std::string(code), h.code);
      EXPECT_EQ(length, std::strlen(h.code));
    }
  });
}

}  // namespace
