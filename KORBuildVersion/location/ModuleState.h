// The library's process-wide state: one instance per process, zero or empty at load, never reset.
#ifndef KORFLOWID_LOCATION_MODULESTATE_H
#define KORFLOWID_LOCATION_MODULESTATE_H

#include <KORFlow.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string_view>

#include "location/FlowDirectory.h"
#include "rules/ReportLayout.h"

namespace korflowid {

struct CachedReport;  // report/ReportQueries.h

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

/// Cached values are published once, with release order, after everything they stand for is written,
/// so a reader that sees them needs no lock. Only what may still change takes the mutex.
struct ModuleState {
  ModuleState() = default;
  ModuleState(const ModuleState&) = delete;
  ModuleState& operator=(const ModuleState&) = delete;
  ~ModuleState();

  /// Set by KORFlow::GetFlowId once a flow marker was found; never changes after that.
  std::atomic<KORFlow::FlowId> flowId{KORFlow::FlowUnknown};
  /// The release of the final flow version text, written once just before flowId is published.
  KORFlow::FlowVersionId releaseOfFlow = KORFlow::VersionUnknown;
  /// Rewritten by every KORFlow::GetFlowVersionId call.
  std::atomic<KORFlow::FlowVersionId> flowVersionId{KORFlow::VersionUnknown};
  /// Guards flowVersionText, which every identification rewrites while flowId is 0.
  std::mutex flowMutex;
  /// Written by KORFlow::GetFlowId; final once flowId is non-zero.
  FlowVersionText flowVersionText;
  /// The first non-empty report with its label positions, kept for all later report queries and
  /// released at unload.
  std::atomic<const CachedReport*> reportCache{nullptr};
};

/// Lives for the life of the module.
extern ModuleState moduleState;

/// The calling thread's report buffer for KORFlowID(), kReportBufferSize bytes, zero at first. Made on
/// the thread's first call with `create` and released when the thread ends, so threads that never ask
/// pay one pointer. Null when the thread has none (or it cannot be had).
char* reportBufferOfThisThread(bool create) noexcept;

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_MODULESTATE_H
