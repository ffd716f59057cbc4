// The library's process-wide state: one instance per process, zero or empty at load, never reset.
//
// It all lives in static storage and needs no destructor: the module runs inside other people's
// processes, so nothing of it may run at thread end, process exit or unload, and nothing it holds
// may be freed while a late caller (an atexit handler, a thread still asking) reads it.
#ifndef KORFLOWID_LOCATION_MODULESTATE_H
#define KORFLOWID_LOCATION_MODULESTATE_H

#include <KORFlow.h>

#include <atomic>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "location/FlowDirectory.h"
#include "platform/Lock.h"
#include "rules/ReportLayout.h"

namespace korflowid {

/// The flow directory name less its flow marker. It comes from the root buffer, so it always fits.
class FlowVersionText {
 public:
  std::string_view view() const { return {bytes_, length_}; }
  /// `head` followed by `tail`; together shorter than the root buffer.
  void assign(std::string_view head, std::string_view tail = {});

 private:
  char bytes_[kRootBufferSize] = {};
  std::size_t length_ = 0;
};

/// Where the line of a label stands in a report: from the label's first occurrence up to the next
/// carriage return after the label, or to the end of the report.
struct ReportLine {
  bool found = false;           // whether the label occurs at all
  bool endsBeforeZero = false;  // a zero byte cut the line: a copy stops there, without "\n"
  std::size_t begin = 0;
  std::size_t length = 0;  // up to the line's end or its first zero byte
};

/// A report with the lines of the five labels, found once, so that a query costs a copy whatever
/// the report's size.
struct IndexedReport {
  std::string_view text;
  std::size_t wholeLength = 0;  // up to the first zero byte, which ends every copy of the text
  ReportLine lines[std::size(kReportLabels)];
};

/// The first non-empty report, kept for all later report queries. One thread fills it, once, and
/// then publishes it; readers that see it published read it without a lock.
class ReportCache {
 public:
  /// The cached report, or null while none is published.
  const IndexedReport* published() const noexcept {
    return state_.load(std::memory_order_acquire) == State::Published ? &report_ : nullptr;
  }
  /// Copies `text` (shorter than kReportBufferSize) and its `index` in and publishes them, unless another
  /// thread got there first; then the cache is left as it is and null returned.
  const IndexedReport* publish(std::string_view text, const IndexedReport& index) noexcept;

 private:
  enum class State { Empty, Filling, Published };
  std::atomic<State> state_{State::Empty};
  IndexedReport report_;
  // Cache-line aligned, as a heap block would be: unaligned, a label query's copy out of it took twice
  // as long.
  alignas(64) char text_[kReportBufferSize] = {};
};

enum class CallAvailability : unsigned char { Unknown, Answers, Refused };

/// Cached values are published once, with release order, after everything they stand for is written,
/// so a reader that sees them needs no lock. Only what may still change takes a lock.
struct ModuleState {
  /// Set by KORFlow::GetFlowId once a flow marker was found; never changes after that.
  std::atomic<KORFlow::FlowId> flowId{KORFlow::FlowUnknown};
  /// The release of the final flow version text, written once just before flowId is published.
  KORFlow::FlowVersionId releaseOfFlow = KORFlow::VersionUnknown;
  /// Rewritten by every KORFlow::GetFlowVersionId call.
  std::atomic<KORFlow::FlowVersionId> flowVersionId{KORFlow::VersionUnknown};
  /// Guards flowVersionText, which every identification rewrites while flowId is 0.
  platform::Lock flowLock;
  /// Written by KORFlow::GetFlowId; final once flowId is non-zero.
  FlowVersionText flowVersionText;

  /// KORFlowID()'s text: one buffer at one address for every caller, so that a pointer from an
  /// earlier call, on any thread, shows the newest report. Written only under reportBufferLock;
  /// aligned like the cached text, for callers' copies of it.
  alignas(64) char reportBuffer[kReportBufferSize] = {};
  platform::Lock reportBufferLock;
  ReportCache reportCache;
#if defined(_WIN32)
  /// The report with its patch numbers in UTF-8, as the C interface gives it; elsewhere both
  /// interfaces' reports are one text, kept once.
  ReportCache ownTextReportCache;
#endif

  /// Whether statx answers in this process (Linux): a sandbox may refuse it. The first answer
  /// decides for the life of the process, so that files are never ordered partly by their birth
  /// time and partly by their modification time.
  std::atomic<CallAvailability> statx{CallAvailability::Unknown};

  ReportCache& reportCacheFor(NameText names) noexcept {
#if defined(_WIN32)
    if (names == NameText::Own) return ownTextReportCache;
#else
    static_cast<void>(names);
#endif
    return reportCache;
  }
};

/// Lives for the life of the module, with nothing to run when it goes. Every member starts as zero
/// bytes, so the 40 KB of buffers take room in memory only, not in the module's file.
extern ModuleState moduleState;

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_MODULESTATE_H
