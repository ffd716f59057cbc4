// Every export keeps its contract when an allocation fails at any point of its path, and tries again
// on the next call; the identification paths allocate nothing at all.
#include <KORFlow.h>
#include <gtest/gtest.h>
#include <korflowid.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <thread>

#include "report/InstallTree.h"
#include "support/TestSupport.h"

// Sanitizer runtimes replace malloc and its kin themselves, and a second replacement meets theirs
// before main. Sanitizers come from our own option or straight from the compiler flags, so the compiler
// says whether one is in.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(__SANITIZE_HWADDRESS__)
#define KORFLOWID_TEST_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer) || \
    __has_feature(hwaddress_sanitizer)
#define KORFLOWID_TEST_SANITIZED
#endif
#endif
#if defined(KORFLOWID_TEST_SANITIZED)
#undef KORFLOWID_TEST_FAIL_C_ALLOCATIONS
#endif

namespace {

// Every form of the global operator new is replaced below; the library's objects are linked into this
// binary, since a replacement in an executable does not reach into a Windows DLL.
std::atomic<bool> armed{false}, failed{false};
std::atomic<std::size_t> counted{0}, failing{0};
#if defined(KORFLOWID_TEST_FAIL_C_ALLOCATIONS)
std::atomic<bool> cAllocationsFail{false};
#endif

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
#if defined(KORFLOWID_TEST_FAIL_C_ALLOCATIONS)
// The C runtime's own allocations are replaced too, so that a test can fail those the runtime makes
// for itself (a thread-exit registration, say), which abort the process when they fail.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* malloc(std::size_t n) { return cAllocationsFail ? nullptr : __libc_malloc(n); }
void* calloc(std::size_t n, std::size_t m) { return cAllocationsFail ? nullptr : __libc_calloc(n, m); }
void* realloc(void* p, std::size_t n) { return cAllocationsFail ? nullptr : __libc_realloc(p, n); }
void free(void* p) { __libc_free(p); }
}
#endif

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
constexpr std::size_t kGuard = 64;

struct ExportCase {
  const char* name;
  char* (*call)(char* buffer, unsigned int size);
  const char* success;  // a failed allocation gives the empty text instead
  char afterEmpty;      // an empty line sets only its first byte; an empty report zero-fills
};

void PrintTo(const ExportCase& c, std::ostream* out) {
  *out << c.name;
}

char* wholeReport(char*, unsigned int) {
  return KORFlowID();
}

/// The C interface's answer in the caller's buffer, which it gives back only while the status agrees
/// with the text: KOR_OK for a text, KOR_NO_MEMORY for the empty one.
char* withStatus(kor_status status, char* buffer) {
  return status == (buffer[0] == '\0' ? KOR_NO_MEMORY : KOR_OK) ? buffer : nullptr;
}

char* cInstallId(char* buffer, unsigned int size) {
  return withStatus(kor_value(nullptr, KOR_FIELD_INSTALL_ID, buffer, size, nullptr), buffer);
}

char* cAbbreviatedFlowName(char* buffer, unsigned int size) {
  return withStatus(kor_value(nullptr, KOR_FIELD_ABBREVIATED_FLOW_NAME, buffer, size, nullptr), buffer);
}

char* cReport(char* buffer, unsigned int size) {
  return withStatus(kor_report(nullptr, buffer, size, nullptr), buffer);
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
    {"GetInstallId", KORFlow::GetInstallId, "Install Id: 4711\n", 'g'},
    {"GetExactAccessDate", KORFlow::GetExactAccessDate, "Exact Access Date: 2024-05-06\n", 'g'},
    {"GetFlowId_fromFile", KORFlow::GetFlowId_fromFile, "Flow Id: 3\n", 'g'},
    {"GetFullFlowName", KORFlow::GetFullFlowName, "Full Flow Name: Vantorium Enterprise TAVO Flow\n", 'g'},
    {"GetUpdateName", KORFlow::GetUpdateName, "UPDATE Name: U1\n", 'g'},
    {"GetAbbreviatedFlowName", KORFlow::GetAbbreviatedFlowName, "TAVO Flow\n", 'g'},
    {"GetVersionText", KORFlow::GetVersionText, kReport, '\0'},
    {"KORFlowIDReport", wholeReport, kReport, '\0'},
    {"kor_value", cInstallId, "4711", 'g'},
    {"kor_value_abbreviated", cAbbreviatedFlowName, "TAVO Flow", 'g'},
    {"kor_report", cReport, kReport, 'g'},
};

/// The export's answer with its n-th allocation failing (none for 0), or what broke its contract.
std::string answer(const ExportCase& c, std::size_t n) {
  char buffer[kSize + kGuard];
  std::memset(buffer, 'g', sizeof buffer);
  arm(n);
  const char* result = c.call(buffer, kSize);
  disarm();
  if (c.call == wholeReport) return result;
  if (result != buffer) return "<not the buffer>";
  if (std::string(buffer + kSize, kGuard) != std::string(kGuard, 'g')) return "<wrote past size>";
  if (buffer[0] == '\0' && std::string(buffer + 1, kSize - 1) != std::string(kSize - 1, c.afterEmpty)) {
    return "<more than the empty text>";
  }
  return std::string(buffer, strnlen(buffer, kSize));
}

class AllocationFailure : public ::testing::TestWithParam<ExportCase> {};

/// In a fresh process per n, the export with its n-th allocation failing, then again with none failing.
TEST_P(AllocationFailure, AtEveryAllocationOfThePath) {
  const ExportCase& c = GetParam();
  const std::size_t length = korflowid::test::atEveryFault([&](std::size_t n) {
    korflowid::test::InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");
    const std::string first = answer(c, n);
    const bool reached = failed;
    // A failure absorbed inside (a sort without scratch memory is merely slower) gives the whole answer.
    EXPECT_TRUE(first == c.success || (reached && first.empty()))
        << "allocation " << n << (reached ? " failed: " : " not reached: ") << first;
    EXPECT_EQ(answer(c, 0), c.success) << "nothing of a failed attempt stays behind, allocation " << n;
    return reached;
  });
  EXPECT_NE(length, 1u) << "the path allocates, or no failure was injected";
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

#if defined(KORFLOWID_TEST_FAIL_C_ALLOCATIONS)
// A thread's first calls with no memory to be had at all, the C runtime's included: the failure
// results, no abort, and the whole answers once memory is back.
TEST(Allocations, ThreadsFirstCallsWithNoMemoryAtAll) {
  inFreshModule([] {
    korflowid::test::InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");
    char report[8] = "g", line[8] = "g";
    std::thread([&] {
      cAllocationsFail = true;
      std::memcpy(report, KORFlowID(), 1);
      KORFlow::GetInstallId(line, sizeof line);
      cAllocationsFail = false;
    }).join();
    EXPECT_EQ(report[0], '\0');
    EXPECT_EQ(line[0], '\0');
    EXPECT_STREQ(KORFlowID(), kReport);
  });
}
#endif

}  // namespace
