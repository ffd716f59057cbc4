// The flow of an installation: the cached KORFlow::GetFlowId and the stateless flow code.
#include "flow/FlowIdentification.h"

#include <KORFlow.h>

#include <mutex>
#include <string_view>

#include "common/CallerBuffer.h"
#include "flow/FlowTables.h"
#include "location/ModuleState.h"
#include "platform/Environment.h"

using korflowid::FlowDirectoryOutcome;
using korflowid::moduleState;

namespace korflowid {
namespace {

/// The first flow marker that occurs in `name`, or null.
const FlowMarker* findFlowMarker(std::string_view name) {
  for (const FlowMarker& marker : kFlowMarkers) {
    if (name.find(marker.idMarker) != std::string_view::npos) return &marker;
  }
  return nullptr;
}

/// The whole identification, repeated on every call until a flow marker is found.
FlowDirectoryOutcome identifyFlow(Console console) {
  char root[kRootBufferSize];
  const FlowDirectory directory = computeFlowDirectoryName(root, nullptr, console);
  // A failed call leaves the flow version text as it was.
  if (directory.outcome != FlowDirectoryOutcome::Found) return directory.outcome;

  const std::lock_guard<platform::Lock> lock(moduleState.flowLock);
  // Another thread may have found the flow meanwhile; its flow version text is final.
  if (moduleState.flowId.load(std::memory_order_relaxed) != KORFlow::FlowUnknown) return directory.outcome;

  const std::string_view name = directory.name;
  const FlowMarker* const marker = findFlowMarker(name);
  if (marker == nullptr) {
    moduleState.flowVersionText.assign(name);
    return directory.outcome;
  }
  const std::size_t at = name.find(marker->idMarker);
  moduleState.flowVersionText.assign(name.substr(0, at), name.substr(at + marker->idMarker.size()));
  // The text never changes again, so its release is settled now; readers of the published flow id
  // then need neither the text nor the lock.
  moduleState.releaseOfFlow = releaseOf(moduleState.flowVersionText.view());
  moduleState.flowId.store(marker->id, std::memory_order_release);
  return directory.outcome;
}

}  // namespace

FlowAnswer answerKeptFlow(Console console) {
  KORFlow::FlowId flow = moduleState.flowId.load(std::memory_order_acquire);
  if (flow != KORFlow::FlowUnknown) return {FlowDirectoryOutcome::Found, flow, moduleState.releaseOfFlow};
  const FlowDirectoryOutcome outcome = identifyFlow(console);
  flow = moduleState.flowId.load(std::memory_order_acquire);
  if (flow != KORFlow::FlowUnknown) return {FlowDirectoryOutcome::Found, flow, moduleState.releaseOfFlow};
  const std::lock_guard<platform::Lock> lock(moduleState.flowLock);
  return {outcome, KORFlow::FlowUnknown, releaseOf(moduleState.flowVersionText.view())};
}

FlowAnswer answerFlowOf(const char* home) {
  char root[kRootBufferSize];
  const FlowDirectory directory = computeFlowDirectoryName(root, home, Console::Quiet);
  if (directory.outcome != FlowDirectoryOutcome::Found) {
    return {directory.outcome, KORFlow::FlowUnknown, KORFlow::VersionUnknown};
  }
  const std::string_view name = directory.name;
  const FlowMarker* const marker = findFlowMarker(name);
  if (marker == nullptr) return {directory.outcome, KORFlow::FlowUnknown, releaseOf(name)};
  FlowVersionText text;
  const std::size_t at = name.find(marker->idMarker);
  text.assign(name.substr(0, at), name.substr(at + marker->idMarker.size()));
  return {directory.outcome, marker->id, releaseOf(text.view())};
}

FlowCode computeFlowCode(char (&root)[kRootBufferSize], const char* home, Console console) {
  const FlowDirectory directory = computeFlowDirectoryName(root, home, console);
  if (directory.outcome != FlowDirectoryOutcome::Found) return {directory.outcome, {}};
  for (const FlowMarker& marker : kFlowMarkers) {
    if (directory.name.find(marker.codeMarker) != std::string_view::npos) return {directory.outcome, marker.code};
  }
  return {directory.outcome, directory.name};
}

}  // namespace korflowid

KORFlow::FlowId KORFlow::GetFlowId() {
  const FlowId known = moduleState.flowId.load(std::memory_order_acquire);
  if (known != FlowUnknown) return known;
  return korflowid::withoutExceptions(FlowUnknown,
                                      [] { return korflowid::answerKeptFlow(korflowid::Console::Print).flow; });
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
    const korflowid::FlowCode found = korflowid::computeFlowCode(root, nullptr, korflowid::Console::Print);
    if (found.outcome != FlowDirectoryOutcome::Found) {
      return fail(found.outcome == FlowDirectoryOutcome::HomeMissing ? kHomeMissing : kRootNotReducible);
    }
    // The full length, also when the copy was cut, so that a result >= size tells the caller so.
    // The code is shorter than the 1024-byte root it came from, and callers' text is no longer.
    return static_cast<unsigned int>(korflowid::platform::copyForCaller(found.code, buffer, size));
  } catch (...) {
    // Only the console message can throw, and only when the application made its stream do so.
    return fail(kRootNotReducible);
  }
}
