// The flow of an installation: the cached KORFlow::GetFlowId and the stateless flow code.
#include <KORFlow.h>

#include <mutex>
#include <string_view>

#include "common/CallerBuffer.h"
#include "flow/FlowTables.h"
#include "location/FlowDirectory.h"
#include "location/ModuleState.h"
#include "platform/Environment.h"

using korflowid::FlowDirectoryOutcome;
using korflowid::moduleState;

namespace korflowid {
namespace {

/// The whole identification, repeated on every call until a flow marker is found.
KORFlow::FlowId identifyFlow() {
  char root[kRootBufferSize];
  const FlowDirectory directory = computeFlowDirectoryName(root);
  // A failed call leaves the flow version text as it was.
  if (directory.outcome != FlowDirectoryOutcome::Found) return moduleState.flowId.load(std::memory_order_acquire);

  const std::lock_guard<platform::Lock> lock(moduleState.flowLock);
  // Another thread may have found the flow meanwhile; its flow version text is final.
  const KORFlow::FlowId known = moduleState.flowId.load(std::memory_order_relaxed);
  if (known != KORFlow::FlowUnknown) return known;

  const std::string_view name = directory.name;
  for (const FlowMarker& marker : kFlowMarkers) {
    const std::size_t at = name.find(marker.idMarker);
    if (at == std::string_view::npos) continue;
    moduleState.flowVersionText.assign(name.substr(0, at), name.substr(at + marker.idMarker.size()));
    // The text never changes again, so its release is settled now; readers of the published flow
    // id then need neither the text nor the lock.
    moduleState.releaseOfFlow = releaseOf(moduleState.flowVersionText.view());
    moduleState.flowId.store(marker.id, std::memory_order_release);
    return marker.id;
  }
  moduleState.flowVersionText.assign(name);
  return KORFlow::FlowUnknown;
}

}  // namespace
}  // namespace korflowid

KORFlow::FlowId KORFlow::GetFlowId() {
  const FlowId known = moduleState.flowId.load(std::memory_order_acquire);
  if (known != FlowUnknown) return known;
  return korflowid::withoutExceptions(FlowUnknown, korflowid::identifyFlow);
}

const char* KORFlow::GetFlowString() {
  FlowId id = moduleState.flowId.load(std::memory_order_acquire);
  if (id == FlowUnknown) id = GetFlowId();
  return korflowid::tableString(korflowid::kFlowStrings, id);
}

unsigned int KORFlowID(char* buffer, unsigned int size) {
  constexpr unsigned int kHomeMissing = 0xFFFFFFFFu;
  constexpr unsigned int kRootNotReducible = 0xFFFFFFFEu;
  const auto fail = [buffer, size](unsigned int error) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return error;
  };
  try {
    char root[korflowid::kRootBufferSize];
    const korflowid::FlowDirectory directory = korflowid::computeFlowDirectoryName(root);
    if (directory.outcome != FlowDirectoryOutcome::Found) {
      return fail(directory.outcome == FlowDirectoryOutcome::HomeMissing ? kHomeMissing : kRootNotReducible);
    }

    std::string_view code = directory.name;
    for (const korflowid::FlowMarker& marker : korflowid::kFlowMarkers) {
      if (directory.name.find(marker.codeMarker) != std::string_view::npos) {
        code = marker.code;
        break;
      }
    }
    // The full length, also when the copy was cut, so that a result >= size tells the caller so.
    // The code is shorter than the 1024-byte root it came from, and callers' text is no longer.
    return static_cast<unsigned int>(korflowid::platform::copyForCaller(code, buffer, size));
  } catch (...) {
    // Only the console message can throw, and only when the application made its stream do so.
    return fail(kRootNotReducible);
  }
}
