// The textual reduction from the installation root to the flow directory name; no file is touched.
#include "rules/RootReduction.h"

#include <algorithm>

namespace korflowid {

RootReduction reduceRoot(char* root, std::size_t length) {
  RootReduction reduction;
  if (length >= kRootBufferSize) return reduction;
  std::replace(root, root + length, '\\', '/');
  std::string_view path(root, length);
  if (!path.empty() && path.back() == '/') path.remove_suffix(1);

  // Any segment that starts with two dots ends the usable part, not only a ".." segment.
  const std::size_t up = path.find("/..");
  if (up == std::string_view::npos) return reduction;
  path = path.substr(0, up);

  const std::size_t lastSegment = path.rfind('/');
  if (lastSegment == std::string_view::npos) return reduction;
  path = path.substr(0, lastSegment);

  const std::size_t nameStart = path.rfind('/');
  if (nameStart != std::string_view::npos) path.remove_prefix(nameStart + 1);
  reduction.reducible = true;
  reduction.name = path;
  reduction.climbAt = up;
  return reduction;
}

}  // namespace korflowid
