// The release of an installation, read from the flow version text that GetFlowId leaves behind.
#include <KORFlow.h>

#include "flow/FlowTables.h"
#include "location/ModuleState.h"

using korflowid::moduleState;

KORFlow::FlowVersionId KORFlow::GetFlowVersionId() {
  if (moduleState.flowId == FlowUnknown) GetFlowId();
  moduleState.flowVersionId = VersionUnknown;
  for (const korflowid::Release& release : korflowid::kReleases) {
    if (moduleState.flowVersionText == release.text) {
      moduleState.flowVersionId = release.id;
      break;
    }
  }
  return moduleState.flowVersionId;
}

const char* KORFlow::GetFlowVersionString() {
  if (moduleState.flowVersionId == VersionUnknown) GetFlowVersionId();
  return korflowid::tableString(korflowid::kFlowVersionStrings, moduleState.flowVersionId);
}
