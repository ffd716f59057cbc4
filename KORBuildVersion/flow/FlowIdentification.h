// The answers behind both interfaces' flow, release and flow code: the process's kept flow, or any
// installation's afresh.
#ifndef KORFLOWID_FLOW_FLOWIDENTIFICATION_H
#define KORFLOWID_FLOW_FLOWIDENTIFICATION_H

#include <KORFlow.h>

#include <string_view>

#include "location/FlowDirectory.h"

namespace korflowid {

struct FlowAnswer {
  FlowDirectoryOutcome outcome;
  KORFlow::FlowId flow;
  KORFlow::FlowVersionId release;  // with a failing outcome, the release of the text an earlier call left
};

/// The process's installation: the kept flow once one was found, otherwise identified again (and kept
/// when a flow marker is found). Throws only what printing a console message throws.
FlowAnswer answerKeptFlow(Console console);

/// The installation `home` names, identified afresh; nothing is kept and nothing printed.
FlowAnswer answerFlowOf(const char* home);

struct FlowCode {
  FlowDirectoryOutcome outcome;
  std::string_view code;  // a fixed string, or inside `root`; empty unless the outcome is Found
};

/// The flow code of `home`, or of KOR_HOME when it is null; keeps no state.
///   KOR_HOME=D:\inst\KORGQ.1\kor  =>  "KW"
FlowCode computeFlowCode(char (&root)[kRootBufferSize], const char* home, Console console);

}  // namespace korflowid

#endif  // KORFLOWID_FLOW_FLOWIDENTIFICATION_H
