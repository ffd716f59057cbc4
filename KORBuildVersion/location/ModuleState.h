// The library's process-wide state: one instance per process, zero or empty at load, never reset.
#ifndef KORFLOWID_LOCATION_MODULESTATE_H
#define KORFLOWID_LOCATION_MODULESTATE_H

#include <KORFlow.h>

#include <cstddef>
#include <string>

namespace korflowid {

/// A report of this many bytes or more is never delivered.
inline constexpr std::size_t kReportBufferSize = 20000;

struct ModuleState {
  /// Set by KORFlow::GetFlowId once a flow marker was found; never changes after that.
  KORFlow::FlowId flowId = KORFlow::FlowUnknown;
  /// Rewritten by every KORFlow::GetFlowVersionId call.
  KORFlow::FlowVersionId flowVersionId = KORFlow::VersionUnknown;
  /// The flow directory name less its flow marker, written by KORFlow::GetFlowId.
  std::string flowVersionText;
  /// The first non-empty report, kept for all later report queries.
  std::string reportCache;
  /// What KORFlowID() returns: the last report, zero-terminated.
  char reportBuffer[kReportBufferSize] = {};
};

/// Lives for the life of the module; its strings are released when the module unloads.
extern ModuleState moduleState;

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_MODULESTATE_H
