// The release of an installation, read from the flow version text that GetFlowId leaves behind.
#include <KORFlow.h>

#include <mutex>

#include "common/CallerBuffer.h"
#include "flow/FlowTables.h"
#include "location/ModuleState.h"

using korflowid::moduleState;

namespace korflowid {
namespace {

/// The release of the flow version text as it stands, compared afresh.
KORFlow::FlowVersionId compareRelease() {
  // Once the flow id is published the text is final and its release was settled with it.
  if (moduleState.flowId.load(std::memory_order_acquire) != KORFlow::FlowUnknown) return moduleState.releaseOfFlow;
  KORFlow::GetFlowId();
  if (moduleState.flowId.load(std::memory_order_acquire) != KORFlow::FlowUnknown) return moduleState.releaseOfFlow;
  const std::lock_guard<platform::Lock> lock(moduleState.flowLock);
  return releaseOf(moduleState.flowVersionText.view());
}

}  // namespace
}  // namespace korflowid

KORFlow::FlowVersionId KORFlow::GetFlowVersionId() {
  const FlowVersionId release = korflowid::withoutExceptions(VersionUnknown, korflowid::compareRelease);
  moduleState.flowVersionId.store(release, std::memory_order_relaxed);
  return release;
}

const char* KORFlow::GetFlowVersionString() {
  FlowVersionId release = moduleState.flowVersionId.load(std::memory_order_relaxed);
  if (release == VersionUnknown) release = GetFlowVersionId();
  return korflowid::tableString(korflowid::kFlowVersionStrings, release);
}
