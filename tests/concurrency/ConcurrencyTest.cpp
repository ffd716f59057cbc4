// Many threads over every export at once, from a cold process and after caching: each answer is
// the single-threaded one, and a report handed to one thread is never rewritten under its readers.
// Run under ThreadSanitizer (preset tsan), these cases also show that no access races.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
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
constexpr int kRounds = 40;

const std::string kVersionFile =
    "Install Id: 4711\r\n"
    "Exact Access Date: 2024-05-06\r\n"
    "Flow Id: 3\r\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\r\n"
    "UPDATE Name: U1\r\n";
const std::string kPatches = "Patches installed in this flow:\r\nPatch #3\r\n\r\n";
const std::string kReport = kVersionFile + "\r\n" + kPatches;
const std::string kReportWithPatch9 =
    kVersionFile + "\r\nPatches installed in this flow:\r\nPatch #3\r\nPatch #9\r\n\r\n";

/// Mismatches seen by any thread, reported by the test's own thread.
class Findings {
 public:
  void expectEqual(const std::string& what, const std::string& seen, const std::string& expected) {
    if (seen == expected) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (findings_.size() < 20) findings_.push_back(what + ": \"" + seen + "\", expected \"" + expected + "\"");
  }
  void check() const {
    for (const std::string& finding : findings_) ADD_FAILURE() << finding;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> findings_;
};

/// Starts `count` threads that wait for each other, so that their first calls meet a cold module.
void runTogether(int count, const std::function<void(int)>& body) {
  std::atomic<int> waiting{count};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      waiting.fetch_sub(1);
      while (waiting.load() > 0) std::this_thread::yield();
      body(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

std::string line(char* (*getter)(char*, unsigned int)) {
  char buffer[128];
  std::memset(buffer, 'g', sizeof buffer);
  const char* result = getter(buffer, 100);
  if (result != buffer) return "<not the buffer>";
  return std::string(buffer, strnlen(buffer, 100));
}

struct Export {
  const char* name;
  std::string (*call)();
};

/// All 14 exports, each rendered as the caller sees its answer for the tree of InstallTree.
std::vector<Export> everyExport() {
  return {
      {"getKORRoot",
       [] {
         char buffer[1024];
         const unsigned int length = getKORRoot(buffer, sizeof buffer);
         return std::to_string(length) + ":" + buffer;
       }},
      {"KORFlowIDCode",
       [] {
         char buffer[16];
         const unsigned int length = KORFlowID(buffer, sizeof buffer);
         return std::string(buffer) + "/" + std::to_string(length);
       }},
      {"GetFlowId", [] { return std::to_string(KORFlow::GetFlowId()); }},
      {"GetFlowString", [] { return std::string(KORFlow::GetFlowString()); }},
      {"GetFlowVersionId", [] { return std::to_string(KORFlow::GetFlowVersionId()); }},
      {"GetFlowVersionString", [] { return std::string(KORFlow::GetFlowVersionString()); }},
      {"KORFlowIDReport", [] { return std::string(KORFlowID()); }},
      {"GetVersionText",
       [] {
         char buffer[1024];
         return std::string(KORFlow::GetVersionText(buffer, sizeof buffer));
       }},
      {"GetInstallId", [] { return line(KORFlow::GetInstallId); }},
      {"GetExactAccessDate", [] { return line(KORFlow::GetExactAccessDate); }},
      {"GetFlowId_fromFile", [] { return line(KORFlow::GetFlowId_fromFile); }},
      {"GetFullFlowName", [] { return line(KORFlow::GetFullFlowName); }},
      {"GetUpdateName", [] { return line(KORFlow::GetUpdateName); }},
      {"GetAbbreviatedFlowName", [] { return line(KORFlow::GetAbbreviatedFlowName); }},
  };
}

TEST(Concurrency, EveryExportFromColdAndCached) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");
    const std::vector<Export> exports = everyExport();
    const std::string root = tree.root() + "kor/../";
    const std::vector<std::string> expected = {
        std::to_string(root.size()) + ":" + root,
        "RJ/2",
        "1",
        "RJ",
        "12",
        "GQ.2.1",
        kReport,
        kReport,
        "Install Id: 4711\n",
        "Exact Access Date: 2024-05-06\n",
        "Flow Id: 3\n",
        "Full Flow Name: Vantorium Enterprise TAVO Flow\n",
        "UPDATE Name: U1\n",
        "TAVO Flow\n",
    };
    ASSERT_EQ(exports.size(), expected.size());

    Findings findings;
    const std::string output = captureStdout([&] {
      runTogether(kThreads, [&](int thread) {
        // Each thread starts elsewhere in the list, so every export meets a cold module somewhere.
        for (int round = 0; round < kRounds; ++round) {
          for (std::size_t k = 0; k < exports.size(); ++k) {
            const std::size_t i = (k + static_cast<std::size_t>(thread) * 5) % exports.size();
            findings.expectEqual(exports[i].name, exports[i].call(), expected[i]);
          }
        }
      });
    });
    findings.check();
    EXPECT_EQ(output, "");
  });
}

TEST(Concurrency, ReportTextStaysWholeWhileOtherThreadsAssemble) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");

    // The first thread hands its report to readers and keeps living (its buffer dies with it)
    // while the others assemble reports of their own; one more thread keeps changing the tree, so
    // that a shared buffer would show another text.
    constexpr int kReaders = 3, kAssemblers = 3;
    std::atomic<const char*> handedOut{nullptr};
    std::atomic<int> readersDone{0};
    std::atomic<bool> churnDone{false};
    Findings findings;
    runTogether(1 + kReaders + kAssemblers + 1, [&](int thread) {
      if (thread == 0) {
        const char* text = KORFlowID();
        const std::string copy = text;
        handedOut.store(text);
        while (readersDone.load() < kReaders) std::this_thread::yield();
        findings.expectEqual("the owner's text", text, copy);
        findings.expectEqual("the owner's next call", KORFlowID() == text ? "same address" : "moved", "same address");
        return;
      }
      if (thread <= kReaders) {
        const char* text = nullptr;
        while ((text = handedOut.load()) == nullptr) std::this_thread::yield();
        const std::string first = text;
        if (first != kReport) findings.expectEqual("the owner's report", first, kReportWithPatch9);
        for (int round = 0; round < 200; ++round) findings.expectEqual("a reader", text, first);
        readersDone.fetch_add(1);
        return;
      }
      if (thread == kReaders + kAssemblers + 1) {
        for (int round = 0; round < 50; ++round) {
          const std::string path = tree.root() + "patch_9.txt";
          if (round % 2 == 0) {
            tree.write("patch_9.txt", "");
          } else {
            std::remove(path.c_str());
          }
        }
        churnDone.store(true);
        return;
      }
      const char* mine = KORFlowID();
      for (int round = 0; round < 50 || !churnDone.load(); ++round) {
        const char* again = KORFlowID();
        findings.expectEqual("an assembler's address", again == mine ? "same" : "moved", "same");
        const std::string text = again;
        if (text != kReport) findings.expectEqual("an assembler's report", text, kReportWithPatch9);
      }
    });
    findings.check();
  });
}

TEST(Concurrency, EachThreadHasItsOwnReportBuffer) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kVersionFile);
    std::mutex mutex;
    std::set<const char*> addresses;
    std::atomic<int> recorded{0};
    runTogether(kThreads, [&](int) {
      const char* first = KORFlowID();
      for (int round = 0; round < 5; ++round) EXPECT_EQ(KORFlowID(), first);
      {
        const std::lock_guard<std::mutex> lock(mutex);
        addresses.insert(first);
      }
      // A thread that ended would hand its buffer's memory on to the next one.
      recorded.fetch_add(1);
      while (recorded.load() < kThreads) std::this_thread::yield();
    });
    EXPECT_EQ(addresses.size(), static_cast<std::size_t>(kThreads));
    // Threads that ended released their buffers (the leak checker of the sanitizer run would say).
  });
}

TEST(Concurrency, MissingHomePrintsOnceForEveryCall) {
  inFreshModule([] {
    const ScopedEnvironment home("KOR_HOME", std::nullopt);
    Findings findings;
    constexpr int kCallsPerThread = 20;
    const std::string output = captureStdout([&] {
      runTogether(kThreads, [&](int thread) {
        for (int round = 0; round < kCallsPerThread / 4; ++round) {
          char buffer[8] = "xxxxxxx";
          switch ((round + thread) % 4) {
            case 0:
              findings.expectEqual("GetFlowString", KORFlow::GetFlowString(), "UNKNOWN");
              break;
            case 1:
              findings.expectEqual("GetFlowVersionString", KORFlow::GetFlowVersionString(), "UNKNOWN");
              break;
            case 2:
              findings.expectEqual("GetFlowVersionId", std::to_string(KORFlow::GetFlowVersionId()), "0");
              break;
            default:
              findings.expectEqual("KORFlowIDCode", std::to_string(KORFlowID(buffer, sizeof buffer)) + buffer,
                                   "4294967295");
              break;
          }
          findings.expectEqual("the empty report", KORFlowID(), "");
          findings.expectEqual("GetInstallId", line(KORFlow::GetInstallId), "");
        }
      });
    });
    findings.check();
    const std::string message = "Cannot locate Trevix environment using environment variable KOR_HOME";
    std::size_t printed = 0;
    for (std::size_t at = output.find(message); at != std::string::npos; at = output.find(message, at + 1)) ++printed;
    EXPECT_EQ(printed, static_cast<std::size_t>(kThreads * (kCallsPerThread / 4)));
  });
}

}  // namespace
