// The installation root: KOR_HOME followed by "/../", nothing normalised.
#ifndef KORFLOWID_LOCATION_INSTALLROOT_H
#define KORFLOWID_LOCATION_INSTALLROOT_H

#include <string>

namespace korflowid {

/// The whole root, never cut; empty when KOR_HOME is unset.
std::string computeKORRoot();

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_INSTALLROOT_H
