// Fuzzes KOR_HOME through the path reduction, the flow code, the cached flow id and the release.
// Input: two bytes of caller buffer size, then the value of KOR_HOME up to the first zero byte.
#include <KORFlow.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "flow/FlowTables.h"
#include "location/FlowDirectory.h"
#include "location/ModuleState.h"

namespace {

using korflowid::FlowDirectoryOutcome;
using korflowid::moduleState;
using korflowid::fuzz::GuardedBuffer;

constexpr std::size_t kRootBufferSize = 1024;

/// The flow directory name written from the path's point of view: the name of the directory that
/// holds the first segment that starts with "..", one level up from there. Nothing when the root
/// does not fit the reduction's buffer or has no segment left to remove.
std::optional<std::string> expectedName(const std::string& home) {
  std::string root = home + "/../";
  if (root.size() >= kRootBufferSize) return std::nullopt;
  for (char& c : root) c = c == '\\' ? '/' : c;
  root.pop_back();
  // Segments between slashes; the first one that begins with ".." (the one we appended at the
  // latest) ends the path, and the one before it is dropped.
  std::vector<std::string> segments;
  std::size_t from = 0;
  for (;;) {
    const std::size_t slash = root.find('/', from);
    segments.push_back(root.substr(from, slash == std::string::npos ? std::string::npos : slash - from));
    if (slash == std::string::npos) break;
    from = slash + 1;
  }
  std::size_t up = 1;  // segment 0 stands before any slash and cannot supply "/.."
  while (segments[up].compare(0, 2, "..") != 0) ++up;
  if (up < 2) return std::nullopt;  // nothing but the first segment before "/.."
  return segments[up - 2];
}

std::string_view expectedCode(const std::string& name) {
  for (const korflowid::FlowMarker& marker : korflowid::kFlowMarkers) {
    if (name.find(marker.codeMarker) != std::string::npos) return marker.code;
  }
  return name;
}

void checkFlowCode(const std::optional<std::string>& name, unsigned int size) {
  GuardedBuffer buffer(size);
  const unsigned int result = KORFlowID(buffer.data(), size);
  FUZZ_CHECK(buffer.guardsIntact());
  if (!name) {
    FUZZ_CHECK(result == 0xFFFFFFFEu);
    FUZZ_CHECK(buffer.onlyFirstByteCleared());
    return;
  }
  const std::string_view code = expectedCode(*name);
  FUZZ_CHECK(result == code.size());
  FUZZ_CHECK(buffer.holdsCopyOf(code));
}

void checkRoot(const std::string& home, unsigned int size) {
  GuardedBuffer buffer(size);
  const unsigned int result = getKORRoot(buffer.data(), size);
  FUZZ_CHECK(buffer.guardsIntact());
  FUZZ_CHECK(result == home.size() + 4);
  FUZZ_CHECK(buffer.holdsCopyOf(home + "/../"));
}

void checkCachedIdentification(const std::optional<std::string>& name) {
  // Start cold, as a new process would; the sentinel shows whether the version text was written.
  moduleState.flowId.store(KORFlow::FlowUnknown);
  moduleState.flowVersionId.store(KORFlow::VersionUnknown);
  moduleState.flowVersionText.assign("\x01sentinel");
  const KORFlow::FlowId id = KORFlow::GetFlowId();
  FUZZ_CHECK(std::string_view(KORFlow::GetFlowString()) == korflowid::tableString(korflowid::kFlowStrings, id));
  if (!name) {
    FUZZ_CHECK(id == KORFlow::FlowUnknown);
    FUZZ_CHECK(moduleState.flowVersionText.view() == "\x01sentinel");
  } else {
    std::string versionText = *name;
    KORFlow::FlowId expectedId = KORFlow::FlowUnknown;
    for (const korflowid::FlowMarker& marker : korflowid::kFlowMarkers) {
      const std::size_t at = versionText.find(marker.idMarker);
      if (at == std::string::npos) continue;
      versionText.erase(at, marker.idMarker.size());
      expectedId = marker.id;
      break;
    }
    FUZZ_CHECK(id == expectedId);
    FUZZ_CHECK(moduleState.flowVersionText.view() == versionText);
  }

  const KORFlow::FlowVersionId release = KORFlow::GetFlowVersionId();
  const std::string_view releaseString = KORFlow::GetFlowVersionString();
  if (release == KORFlow::VersionUnknown) {
    FUZZ_CHECK(releaseString == "UNKNOWN");
  } else {
    // Only a whole-text match names a release (an older release name shares a value).
    bool matched = false;
    for (const korflowid::Release& known : korflowid::kReleases) {
      matched = matched || (known.id == release && known.text == moduleState.flowVersionText.view());
    }
    FUZZ_CHECK(matched);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korflowid::fuzz::silenceStandardOutput();
  const unsigned int bufferSize = korflowid::fuzz::takeNumber(data, size, 2) % 1100;
  const std::string home(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  korflowid::fuzz::setHome(home);

  const std::optional<std::string> name = expectedName(home);
  char root[korflowid::kRootBufferSize];
  const korflowid::FlowDirectory directory = korflowid::computeFlowDirectoryName(root);
  FUZZ_CHECK((directory.outcome == FlowDirectoryOutcome::Found) == name.has_value());
  if (name) {
    FUZZ_CHECK(directory.name == *name);
    FUZZ_CHECK(directory.name.find_first_of("/\\") == std::string_view::npos);
  } else {
    FUZZ_CHECK(directory.outcome == FlowDirectoryOutcome::RootNotReducible);
  }

  for (const unsigned int tried : {bufferSize, 0u, 1u, 7u, 8u}) checkFlowCode(name, tried);
  if (name) {
    const unsigned int exact = static_cast<unsigned int>(expectedCode(*name).size());
    checkFlowCode(name, exact);
    checkFlowCode(name, exact + 1);
  }
  FUZZ_CHECK(KORFlowID(nullptr, 0) == (name ? expectedCode(*name).size() : 0xFFFFFFFEu));
  for (const unsigned int tried : {bufferSize, 0u, static_cast<unsigned int>(home.size() + 4)}) checkRoot(home, tried);

  checkCachedIdentification(name);
  return 0;
}
