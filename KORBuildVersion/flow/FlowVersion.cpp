// The release of an installation, read from the flow version text that GetFlowId leaves behind.
#include <KORFlow.h>

#include "common/CallerBuffer.h"
#include "flow/FlowIdentification.h"
#include "flow/FlowTables.h"
#include "location/ModuleState.h"

using korflowid::moduleState;

KORFlow::FlowVersionId KORFlow::GetFlowVersionId() {
  // Once the flow id is published the text is final and its release was settled with it; until then
  // the text as it stands is compared afresh.
  const FlowVersionId release = korflowid::withoutExceptions(
      VersionUnknown, [] { return korflowid::answerKeptFlow(korflowid::Console::Print).release; });
  moduleState.flowVersionId.store(release, std::memory_order_relaxed);
  return release;
}

const char* KORFlow::GetFlowVersionString() {
  FlowVersionId release = moduleState.flowVersionId.load(std::memory_order_relaxed);
  if (release == VersionUnknown) release = GetFlowVersionId();
  return korflowid::tableString(korflowid::kFlowVersionStrings, release);
}
