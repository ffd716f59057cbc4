// The installation root: KOR_HOME followed by "/../", nothing normalised.
#ifndef KORFLOWID_LOCATION_INSTALLROOT_H
#define KORFLOWID_LOCATION_INSTALLROOT_H

#include <string>
#include <string_view>

namespace korflowid {

/// What follows KOR_HOME in the root: it only ever climbs one level textually; a later reduction
/// decides what that means.
inline constexpr std::string_view kRootClimb = "/../";

/// The whole root of `home`, or of KOR_HOME when it is null, in the library's own text (UTF-8 on
/// Windows), never cut; empty when KOR_HOME is unset.
std::string computeKORRoot(const char* home = nullptr);

}  // namespace korflowid

#endif  // KORFLOWID_LOCATION_INSTALLROOT_H
