// Many threads over every export at once, from a cold process and after caching: each answer is the
// single-threaded one, and a report handed to one thread is never rewritten under its readers. Under
// ThreadSanitizer (preset tsan) these cases also show that no access races.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "report/InstallTree.h"
#include "support/TestSupport.h"

using korflowid::test::captureStdout;
using korflowid::test::inFreshModule;
using korflowid::test::InstallTree;
using korflowid::test::ScopedEnvironment;

namespace {

constexpr int kThreads = 8;
const std::string kVersionFile =
    "Install Id: 4711\r\nExact Access Date: 2024-05-06\r\nFlow Id: 3\r\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\r\nUPDATE Name: U1\r\n";
const std::string kReport = kVersionFile + "\r\nPatches installed in this flow:\r\nPatch #3\r\n\r\n";
const std::string kReportWithPatch9 =
    kVersionFile + "\r\nPatches installed in this flow:\r\nPatch #3\r\nPatch #9\r\n\r\n";

/// Mismatches seen on any thread, reported on the test's own.
struct Findings {
  std::mutex mutex;
  std::vector<std::string> seen;
  void expect(bool ok, const std::string& what) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!ok && seen.size() < 20) seen.push_back(what);
  }
  ~Findings() {
    for (const std::string& finding : seen) ADD_FAILURE() << finding;
  }
};

/// Runs `body` on `count` threads that start together, so that their first calls meet a cold module.
void runTogether(int count, const std::function<void(int)>& body) {
  std::atomic<int> waiting{count};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      for (--waiting; waiting > 0;) std::this_thread::yield();
      body(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

template <char* (*Getter)(char*, unsigned int)>
std::string line() {
  char buffer[128];
  return Getter(buffer, 100) == buffer ? std::string(buffer, strnlen(buffer, 100)) : "<not the buffer>";
}

TEST(Concurrency, EveryExportFromColdAndCached) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");
    const std::string root = tree.root() + "kor/../";
    const std::vector<std::pair<std::function<std::string()>, std::string>> exports = {
        {[] {
           char buffer[1024];
           return std::to_string(getKORRoot(buffer, sizeof buffer)) + buffer;
         },
         std::to_string(root.size()) + root},
        {[] {
           char buffer[16];
           return std::to_string(KORFlowID(buffer, sizeof buffer)) + buffer;
         },
         "2RJ"},
        {[] { return std::to_string(KORFlow::GetFlowId()); }, "1"},
        {[] { return std::string(KORFlow::GetFlowString()); }, "RJ"},
        {[] { return std::to_string(KORFlow::GetFlowVersionId()); }, "12"},
        {[] { return std::string(KORFlow::GetFlowVersionString()); }, "GQ.2.1"},
        {[] { return std::string(KORFlowID()); }, kReport},
        {[] {
           char buffer[1024];
           return std::string(KORFlow::GetVersionText(buffer, sizeof buffer));
         },
         kReport},
        {line<KORFlow::GetInstallId>, "Install Id: 4711\n"},
        {line<KORFlow::GetExactAccessDate>, "Exact Access Date: 2024-05-06\n"},
        {line<KORFlow::GetFlowId_fromFile>, "Flow Id: 3\n"},
        {line<KORFlow::GetFullFlowName>, "Full Flow Name: Vantorium Enterprise TAVO Flow\n"},
        {line<KORFlow::GetUpdateName>, "UPDATE Name: U1\n"},
        {line<KORFlow::GetAbbreviatedFlowName>, "TAVO Flow\n"},
    };
    Findings findings;
    const std::string output = captureStdout([&] {
      runTogether(kThreads, [&](int thread) {
        // Each thread starts elsewhere in the list, so every export meets a cold module somewhere.
        for (std::size_t k = 0; k < 40 * exports.size(); ++k) {
          const auto& [call, expected] = exports[(k + static_cast<std::size_t>(thread) * 5) % exports.size()];
          const std::string seen = call();
          findings.expect(seen == expected, "\"" + seen + "\", expected \"" + expected + "\"");
        }
      });
    });
    EXPECT_EQ(output, "");
  });
}

TEST(Concurrency, ReportTextStaysWholeWhileOtherThreadsAssemble) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");
    // Thread 0 hands its report to the readers and lives on (its buffer dies with it) while the
    // assemblers make reports of their own and the last thread keeps changing the tree, so that a
    // shared buffer would show the readers another text. It outlives the assemblers too: the
    // allocator may hand a dead thread's buffer address to a thread that starts later.
    constexpr int kReaders = 3, kAssemblers = 3, kChurner = kReaders + kAssemblers + 1;
    std::atomic<const char*> handedOut{nullptr};
    std::atomic<int> readersDone{0};
    std::atomic<int> assemblersDone{0};
    std::atomic<bool> churnDone{false};
    Findings findings;
    const auto expectReport = [&](const std::string& text, const char* who) {
      findings.expect(text == kReport || text == kReportWithPatch9, std::string(who) + ": \"" + text + "\"");
    };
    runTogether(kChurner + 1, [&](int thread) {
      if (thread == 0) {
        const char* text = KORFlowID();
        const std::string copy = text;
        handedOut = text;
        while (readersDone < kReaders || assemblersDone < kAssemblers) std::this_thread::yield();
        findings.expect(copy == text && KORFlowID() == text, "the owner's text moved or changed");
      } else if (thread <= kReaders) {
        const char* text = nullptr;
        while ((text = handedOut) == nullptr) std::this_thread::yield();
        const std::string first = text;
        expectReport(first, "a reader");
        for (int round = 0; round < 200; ++round) findings.expect(first == text, "a reader saw the text change");
        ++readersDone;
      } else if (thread == kChurner) {
        for (int round = 0; round < 50; ++round) {
          if (round % 2 == 0) tree.write("patch_9.txt", "");
          if (round % 2 == 1) std::remove((tree.root() + "patch_9.txt").c_str());
        }
        churnDone = true;
      } else {
        const char* mine = KORFlowID();
        for (int round = 0; round < 50 || !churnDone; ++round) {
          findings.expect(KORFlowID() == mine && mine != handedOut, "an assembler's buffer moved or is shared");
          expectReport(mine, "an assembler");
        }
        ++assemblersDone;
      }
    });
  });
}

TEST(Concurrency, MissingHomePrintsOnceForEveryCall) {
  inFreshModule([] {
    const ScopedEnvironment home("KOR_HOME", std::nullopt);
    constexpr int kRounds = 8;
    Findings findings;
    const std::string output = captureStdout([&] {
      runTogether(kThreads, [&](int thread) {
        for (int round = 0; round < kRounds; ++round) {
          // Each of these prints the message once, as on one thread; the report getters print nothing.
          char code[8];
          const bool unknown = (round + thread) % 2 == 0
                                   ? std::strcmp(KORFlow::GetFlowVersionString(), "UNKNOWN") == 0
                                   : KORFlowID(code, sizeof code) == 0xFFFFFFFFu && code[0] == '\0';
          findings.expect(unknown, "a flow was found without KOR_HOME");
          findings.expect(*KORFlowID() == '\0' && line<KORFlow::GetInstallId>().empty(), "the empty report");
        }
      });
    });
    const std::string message = "Cannot locate Trevix environment using environment variable KOR_HOME";
    int printed = 0;
    for (std::size_t at = output.find(message); at != std::string::npos; at = output.find(message, at + 1)) ++printed;
    EXPECT_EQ(printed, kThreads * kRounds);
  });
}

}  // namespace
