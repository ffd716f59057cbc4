// The single definition of the process-wide state.
#include "location/ModuleState.h"

namespace korflowid {

ModuleState moduleState;

}  // namespace korflowid
