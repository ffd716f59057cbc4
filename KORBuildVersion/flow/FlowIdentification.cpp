// The flow of an installation: the cached KORFlow::GetFlowId and the stateless flow code.
#include <KORFlow.h>

#include <string>

#include "common/CallerBuffer.h"
#include "flow/FlowTables.h"
#include "location/FlowDirectory.h"
#include "location/ModuleState.h"

using korflowid::FlowDirectoryOutcome;
using korflowid::moduleState;

KORFlow::FlowId KORFlow::GetFlowId() {
  if (moduleState.flowId != FlowUnknown) return moduleState.flowId;
  return korflowid::withoutExceptions(FlowUnknown, [] {
    korflowid::FlowDirectory directory = korflowid::computeFlowDirectoryName();
    if (directory.outcome != FlowDirectoryOutcome::Found) return moduleState.flowId;

    std::string& versionText = moduleState.flowVersionText;
    versionText = std::move(directory.name);
    for (const korflowid::FlowMarker& marker : korflowid::kFlowMarkers) {
      const std::size_t at = versionText.find(marker.idMarker);
      if (at == std::string::npos) continue;
      versionText.erase(at, marker.idMarker.size());
      moduleState.flowId = marker.id;
      break;
    }
    return moduleState.flowId;
  });
}

const char* KORFlow::GetFlowString() {
  if (moduleState.flowId == FlowUnknown) GetFlowId();
  return korflowid::tableString(korflowid::kFlowStrings, moduleState.flowId);
}

unsigned int KORFlowID(char* buffer, unsigned int size) {
  constexpr unsigned int kHomeMissing = 0xFFFFFFFFu;
  constexpr unsigned int kRootNotReducible = 0xFFFFFFFEu;
  return korflowid::withoutExceptions(kRootNotReducible, [&] {
    const korflowid::FlowDirectory directory = korflowid::computeFlowDirectoryName();
    if (directory.outcome != FlowDirectoryOutcome::Found) {
      if (buffer != nullptr && size > 0) buffer[0] = '\0';
      return directory.outcome == FlowDirectoryOutcome::HomeMissing ? kHomeMissing : kRootNotReducible;
    }

    std::string_view code = directory.name;
    for (const korflowid::FlowMarker& marker : korflowid::kFlowMarkers) {
      if (directory.name.find(marker.codeMarker) != std::string::npos) {
        code = marker.code;
        break;
      }
    }
    korflowid::copyToCallerBuffer(code, buffer, size);
    // The full length, also when the copy was cut, so that a result >= size tells the caller so.
    // The code is shorter than the 1024-byte root it came from.
    return static_cast<unsigned int>(code.size());
  });
}
