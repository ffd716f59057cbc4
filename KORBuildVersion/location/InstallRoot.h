// The installation root: KOR_HOME followed by "/../", nothing normalised.
#ifndef KORFLOWID_LOCATION_INSTALLROOT_H
#define KORFLOWID_LOCATION_INSTALLROOT_H

#include <string>
#include <string_view>

namespace korflowid {

/// What follows KOR_HOME in the root: it only ever climbs one level textually; a later reduction
/// decides what that means.
inline constexpr std::string_view kRootClimb = "/../";

/// The whole root in the library's own text (UTF-8 on Windows), never cut; empty when KOR_HOME is unset.
std::string computeKORRoot();

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_INSTALLROOT_H
