// Many threads over every export at once, from a cold process and after caching: each answer is the
// single-threaded one, and a report handed out is never rewritten under its readers while the
// installation stays as it is. Under
// ThreadSanitizer (preset tsan) these cases also show that no access races.
#include <KORFlow.h>
#include <gtest/gtest.h>
#include <korflowid.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "report/InstallTree.h"
#include "support/TestSupport.h"

using korflowid::test::inFreshModule;
using korflowid::test::InstallTree;

namespace {

const std::string kVersionFile =
    "Install Id: 4711\r\nExact Access Date: 2024-05-06\r\nFlow Id: 3\r\n"
    "Full Flow Name: Vantorium Enterprise TAVO Flow\r\nUPDATE Name: U1\r\n";
const std::string kReport = kVersionFile + "\r\nPatches installed in this flow:\r\nPatch #3\r\n\r\n";
const std::string kReportWithPatch9 =
    kVersionFile + "\r\nPatches installed in this flow:\r\nPatch #3\r\nPatch #9\r\n\r\n";

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

/// A buffer export's text as a caller sees it.
template <char* (*Getter)(char*, unsigned int)>
std::string copiedText() {
  char buffer[1024];
  return Getter(buffer, 1000) == buffer ? std::string(buffer, strnlen(buffer, 1000)) : "<not the buffer>";
}

/// The length a copying export returns, followed by what it copied.
template <unsigned int (*Copy)(char*, unsigned int)>
std::string lengthAndText() {
  char buffer[1024];
  return std::to_string(Copy(buffer, sizeof buffer)) + buffer;
}

/// A C export's status followed by its text, for KOR_HOME (null) or the home given.
template <typename Export>
std::string statusAndText(Export&& call) {
  char buffer[1024];
  const int status = call(buffer, sizeof buffer);
  return std::to_string(status) + buffer;
}

TEST(Concurrency, EveryExportFromColdAndCached) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");
    const std::string root = tree.root() + "kor/../";
    const std::pair<std::function<std::string()>, std::string> exports[] = {
        {lengthAndText<getKORRoot>, std::to_string(root.size()) + root},
        {lengthAndText<KORFlowID>, "2RJ"},
        {[] { return std::to_string(KORFlow::GetFlowId()); }, "1"},
        {[] { return std::string(KORFlow::GetFlowString()); }, "RJ"},
        {[] { return std::to_string(KORFlow::GetFlowVersionId()); }, "12"},
        {[] { return std::string(KORFlow::GetFlowVersionString()); }, "GQ.2.1"},
        {[] { return std::string(KORFlowID()); }, kReport},
        {copiedText<KORFlow::GetVersionText>, kReport},
        {copiedText<KORFlow::GetInstallId>, "Install Id: 4711\n"},
        {copiedText<KORFlow::GetExactAccessDate>, "Exact Access Date: 2024-05-06\n"},
        {copiedText<KORFlow::GetFlowId_fromFile>, "Flow Id: 3\n"},
        {copiedText<KORFlow::GetFullFlowName>, "Full Flow Name: Vantorium Enterprise TAVO Flow\n"},
        {copiedText<KORFlow::GetUpdateName>, "UPDATE Name: U1\n"},
        {copiedText<KORFlow::GetAbbreviatedFlowName>, "TAVO Flow\n"},
        {[] {
           int32_t flow = 0, release = 0;
           const int statuses = kor_flow(nullptr, &flow, nullptr) + kor_release(nullptr, &release, nullptr);
           return std::to_string(statuses) + std::to_string(flow) + std::to_string(release);
         },
         "0112"},
        {[] { return statusAndText([](char* b, size_t s) { return kor_report(nullptr, b, s, nullptr); }); },
         "0" + kReport},
        {[] { return statusAndText([](char* b, size_t s) { return kor_value(nullptr, 6, b, s, nullptr); }); },
         "0TAVO Flow"},
        {[home = tree.root() + "kor"] {
           return statusAndText([&](char* b, size_t s) { return kor_value(home.c_str(), 1, b, s, nullptr); });
         },
         "04711"},
    };
    const std::string output = korflowid::test::captureStdout([&] {
      runTogether(8, [&](int thread) {
        // Each thread starts elsewhere in the list, so every export meets a cold module somewhere.
        for (std::size_t k = 0; k < 40 * std::size(exports); ++k) {
          const auto& [call, expected] = exports[(k + static_cast<std::size_t>(thread) * 5) % std::size(exports)];
          ASSERT_EQ(call(), expected);  // the first mismatch ends this thread's round
        }
      });
    });
    EXPECT_EQ(output, "");
  });
}

TEST(Concurrency, ReportTextStaysPutWhileOtherThreadsAssemble) {
  inFreshModule([] {
    InstallTree tree;
    tree.version("1", kVersionFile);
    tree.write("patch_3.txt", "");
    // Every thread gets the one buffer. While the installation stays as it is, the assemblers'
    // calls find the same text there and leave it alone, so the readers never see it rewritten.
    constexpr int kReaders = 3, kAssemblers = 3;
    std::atomic<const char*> handedOut{nullptr};
    runTogether(1 + kReaders + kAssemblers, [&](int thread) {
      if (thread == 0) {
        handedOut = KORFlowID();
        return;
      }
      const char* text = nullptr;
      while ((text = handedOut) == nullptr) std::this_thread::yield();
      bool same = true;
      for (int round = 0; same && round < 200; ++round) {
        same = text == kReport && (thread <= kReaders || KORFlowID() == text);
      }
      EXPECT_TRUE(same) << "the text moved, tore or changed: " << text;
    });
    // The thread that got the pointer has ended; the pointer still shows the newest report.
    tree.write("patch_9.txt", "");
    EXPECT_EQ(KORFlowID(), handedOut.load());
    EXPECT_EQ(handedOut.load(), kReportWithPatch9);
  });
}

}  // namespace
