// Every export keeps its contract when an allocation fails at any point of its path, and tries again
// on the next call; the identification paths allocate nothing at all.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>

#include "report/InstallTree.h"
#include "support/TestSupport.h"

namespace {

// Every form of the global operator new is replaced below; the library's objects are linked into this
// binary, since a replacement in an executable does not reach into a Windows DLL.
std::atomic<bool> armed{false}, failed{false};
std::atomic<std::size_t> counted{0}, failing{0};

/// Counts allocations from now on and fails the n-th (none for 0).
void arm(std::size_t n) {
  counted = 0;
  failed = false;
  failing = n;
  armed = true;
}

std::size_t disarm() {
  armed = false;
  return counted;
}

void* allocate(std::size_t size, std::size_t alignment = 0) noexcept {
  if (armed && ++counted == failing) {
    failed = true;
    return nullptr;
  }
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size == 0 ? 1 : size);
  // Aligned by hand (MinGW has no aligned_alloc): the pointer malloc gave sits just before the block.
  void* raw = std::malloc(size + alignment + sizeof(void*));
  if (raw == nullptr) return nullptr;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  void** block = reinterpret_cast<void**>((start + alignment - 1) / alignment * alignment);
  block[-1] = raw;
  return block;
}

void release(void* block, std::size_t alignment = 0) noexcept {
  if (block != nullptr) std::free(alignment <= alignof(std::max_align_t) ? block : static_cast<void**>(block)[-1]);
}

void* allocateOrThrow(std::size_t size, std::size_t alignment = 0) {
  if (void* block = allocate(size, alignment)) return block;
  throw std::bad_alloc();
}

}  // namespace

// clang-format off
void* operator new(std::size_t n) { return allocateOrThrow(n); }
void* operator new[](std::size_t n) { return allocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateOrThrow(n, std::size_t(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(n, std::size_t(a)); }
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return allocate(n, std::size_t(a)); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t a) noexcept { release(p, std::size_t(a)); }
void operator delete[](void* p, std::align_val_t a) noexcept { release(p, std::size_t(a)); }
void operator delete(void* p, std::size_t, std::align_val_t a) noexcept { release(p, std::size_t(a)); }
void operator delete[](void* p, std::size_t, std::align_val_t a) noexcept { release(p, std::size_t(a)); }
void operator delete(void* p, std::align_val_t a, const std::nothrow_t&) noexcept { release(p, std::size_t(a)); }
void operator delete[](void* p, std::align_val_t a, const std::nothrow_t&) noexcept { release(p, std::size_t(a)); }
// clang-format on

namespace {

using korflowid::test::inFreshModule;
using korflowid::test::ScopedEnvironment;

constexpr unsigned int kSize = 300;  // what the caller passes; the bytes after it must stay untouched
using Seen = char[kSize + 100];      // what the caller sees, written without allocating while armed

/// A buffer export's answer, or what broke its contract. Only an empty line may be told by the
/// first byte alone; an empty report zero-fills.
template <typename Call>
void seeBuffer(Seen& seen, Call call, bool onlyFirstByte) {
  char buffer[sizeof(Seen)];
  std::memset(buffer, 'g', sizeof buffer);
  const char* result = call(buffer);
  const char* broken = result != buffer ? "<not the buffer>" : nullptr;
  for (std::size_t i = kSize; i < sizeof buffer; ++i) broken = buffer[i] != 'g' ? "<wrote past size>" : broken;
  for (std::size_t i = 1; i < kSize && buffer[0] == '\0'; ++i) {
    if (buffer[i] != (onlyFirstByte ? 'g' : '\0')) broken = "<more than the empty text>";
  }
  std::snprintf(seen, sizeof seen, "%.*s", static_cast<int>(kSize), broken != nullptr ? broken : buffer);
}

template <char* (*Getter)(char*, unsigned int)>
void seeLine(Seen& seen) {
  seeBuffer(
      seen, [](char* buffer) { return Getter(buffer, kSize); }, true);
}

struct ExportCase {
  const char* name;
  void (*see)(Seen&);
  const char* success;  // a failed allocation gives the empty text instead
};

void PrintTo(const ExportCase& c, std::ostream* out) {
  *out << c.name;
}

const char* const kVersionFile =
    "Install Id: 4711\nExact Access Date: 2024-05-06\nFlow Id: 3\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\nUPDATE Name: U1\n";
const char* const kReport =
    "Install Id: 4711\r\nExact Access Date: 2024-05-06\r\nFlow Id: 3\r\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\r\nUPDATE Name: U1\r\n\r\n"
    "Patches installed in this flow:\r\nPatch #3\r\n\r\n";

// The identification exports are left out: they allocate nothing (see below), so no failure reaches them.
const ExportCase kExports[] = {
    {"GetInstallId", seeLine<KORFlow::GetInstallId>, "Install Id: 4711\n"},
    {"GetExactAccessDate", seeLine<KORFlow::GetExactAccessDate>, "Exact Access Date: 2024-05-06\n"},
    {"GetFlowId_fromFile", seeLine<KORFlow::GetFlowId_fromFile>, "Flow Id: 3\n"},
    {"GetFullFlowName", seeLine<KORFlow::GetFullFlowName>, "Full Flow Name: Vantorium Enterprise TAVO Flow\n"},
    {"GetUpdateName", seeLine<KORFlow::GetUpdateName>, "UPDATE Name: U1\n"},
    {"GetAbbreviatedFlowName", seeLine<KORFlow::GetAbbreviatedFlowName>, "TAVO Flow\n"},
    {"GetVersionText",
     [](Seen& s) {
       seeBuffer(
           s, [](char* buffer) { return KORFlow::GetVersionText(buffer, kSize); }, false);
     },
     kReport},
    {"KORFlowIDReport", [](Seen& s) { std::snprintf(s, sizeof s, "%.300s", KORFlowID()); }, kReport},
};

class AllocationFailure : public ::testing::TestWithParam<ExportCase> {};

/// In a fresh process: the export with its n-th allocation failing, then again with none failing.
/// Leaves a note for the parent saying whether the n-th allocation was reached.
void runFailingCase(const ExportCase& c, std::size_t n) {
  korflowid::test::InstallTree tree;
  tree.version("1", kVersionFile);
  tree.write("patch_3.txt", "");
  Seen first, second;
  arm(n);
  c.see(first);
  disarm();
  c.see(second);  // nothing of a failed attempt stays behind
  EXPECT_STREQ(second, c.success) << "after allocation " << n << " failed";
  // A failure absorbed inside (a sort without scratch memory is merely slower) gives the whole answer.
  if (!failed || std::strcmp(first, c.success) != 0) {
    EXPECT_STREQ(first, failed ? "" : c.success) << "allocation " << n << (failed ? " failed" : " not reached");
  }
  std::ofstream(std::getenv("KORFLOWID_TEST_NOTE")) << (failed ? "failed" : "not reached");
}

TEST_P(AllocationFailure, AtEveryAllocationOfThePath) {
  if (const char* n = std::getenv("KORFLOWID_TEST_FAIL_AT")) {
    return inFreshModule([&] { runFailingCase(GetParam(), std::strtoul(n, nullptr, 10)); });
  }
  const korflowid::test::TempTree notes;
  const ScopedEnvironment note("KORFLOWID_TEST_NOTE", notes.path() + "note");
  std::size_t n = 1;
  for (;; ++n) {
    ASSERT_LT(n, 2000u) << "the path never ends";
    std::remove((notes.path() + "note").c_str());  // a process that dies leaves none
    const ScopedEnvironment failAt("KORFLOWID_TEST_FAIL_AT", std::to_string(n));
    inFreshModule([] {});
    std::ifstream in(notes.path() + "note");
    const std::string outcome{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (outcome != "failed") break;
  }
  EXPECT_GT(n, 1u) << "the path allocates, or no failure was injected";
}

INSTANTIATE_TEST_SUITE_P(Exports, AllocationFailure, ::testing::ValuesIn(kExports),
                         [](const ::testing::TestParamInfo<ExportCase>& param) { return param.param.name; });

// The identification runs at the start of every application, often many times: it works on the stack.
TEST(Allocations, IdentificationAllocatesNothing) {
  inFreshModule([] {
    // Without a flow id the identification runs whole on every call; the last home publishes one.
    for (const char* home :
         {"/inst/GQ.2.1/kor", "D:\\inst\\TAVOProGQ.2\\kor\\", "/inst/zTorvikGQ.2/kor", "/i/RJGQ.2/kor"}) {
      const ScopedEnvironment environment("KOR_HOME", std::string(home));
      char code[64], root[64];
      arm(0);
      KORFlowID(code, sizeof code);
      getKORRoot(root, sizeof root);
      KORFlow::GetFlowString();
      KORFlow::GetFlowVersionString();
      EXPECT_EQ(disarm(), 0u) << home;
    }
    EXPECT_STREQ(KORFlow::GetFlowString(), "RJ");
  });
}

}  // namespace
