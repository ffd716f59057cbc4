// Fuzzes the version file scan and the report assembly with arbitrary file contents and patch names.
// Input: one byte of flags, then pieces separated by the two bytes 0xFD 0xFD: the first version
// file, InstallVersion.txt (or a second version file), and up to three patch name parts.
#include <KORFlow.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "location/ModuleState.h"

namespace {

enum Flags : unsigned {
  kWriteVersionFile = 1u << 0,
  kWriteFallback = 1u << 1,
  kSecondVersionFile = 1u << 2,  // the second piece goes to InstallVersion_2.txt instead
  kRepeatVersionFile = 1u << 3,  // the first piece 64 times, to reach the report limit cheaply
  kPatchCountShift = 4,          // two bits: 0 to 3 patch files
};

constexpr std::size_t kReportLimit = 20000;
constexpr std::size_t kMaxLine = 199;

/// The installation tree, made once: <base>/kor is KOR_HOME, so <base>/ is the installation root.
struct Tree {
  std::string base;
  std::vector<std::string> written;

  Tree() {
    char pattern[] = "/tmp/korflowid-fuzz-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    FUZZ_CHECK(made != nullptr);
    base = std::string(made) + "/";
    FUZZ_CHECK(::mkdir((base + "kor").c_str(), 0700) == 0);
    FUZZ_CHECK(::mkdir((base + "InstallVersions").c_str(), 0700) == 0);
    ::setenv("KOR_HOME", (base + "kor").c_str(), 1);
  }

  ~Tree() {
    clear();
    for (const char* directory : {"InstallVersions", "kor", ""}) ::rmdir((base + directory).c_str());
  }

  void write(const std::string& relative, const std::string& bytes) {
    const std::string path = base + relative;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    written.push_back(path);
  }

  void clear() {
    for (const std::string& path : written) ::unlink(path.c_str());
    written.clear();
  }
};

/// Text-mode reading as the installer's readers see a file: control-Z ends it, CR LF is LF, lines
/// of 200 characters or more end the reading, zero bytes cut the line; each line gets CR LF.
std::string expectedLines(const std::string& bytes) {
  std::string translated;
  for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\x1a'; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    translated += bytes[i];
  }
  std::string text;
  std::size_t from = 0;
  while (from < translated.size()) {
    const std::size_t feed = translated.find('\n', from);
    const std::string line = translated.substr(from, feed == std::string::npos ? std::string::npos : feed - from);
    if (line.size() > kMaxLine) break;
    text += line.substr(0, line.find('\0'));
    text += "\r\n";
    if (feed == std::string::npos) break;
    from = feed + 1;
  }
  return text;
}

struct ExpectedPatch {
  std::string numberText;
  long long number;
};

ExpectedPatch expectedPatch(const std::string& name) {
  const std::size_t begin = name.find('_') + 1;
  std::size_t end = name.find(".txt");
  if (end == std::string::npos || end < begin) end = name.size();
  ExpectedPatch patch{name.substr(begin, end - begin), 0};
  const std::string& text = patch.numberText;
  std::size_t i = 0;
  while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr && text[i] != '\0') ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    patch.number = std::min(patch.number * 10 + (text[i] - '0'), 1LL << 32);
  }
  patch.number = std::clamp(negative ? -patch.number : patch.number, static_cast<long long>(INT32_MIN),
                            static_cast<long long>(INT32_MAX));
  return patch;
}

std::string patchBlock(const std::vector<ExpectedPatch>& patches) {
  if (patches.empty()) return {};
  std::string text = "Patches installed in this flow:\r\n";
  for (const ExpectedPatch& patch : patches) text += "Patch #" + patch.numberText + "\r\n";
  return text + "\r\n";
}

std::vector<std::string> splitPieces(const std::string& input) {
  std::vector<std::string> pieces;
  std::size_t from = 0;
  for (;;) {
    const std::size_t separator = input.find("\xfd\xfd", from);
    pieces.push_back(input.substr(from, separator == std::string::npos ? std::string::npos : separator - from));
    if (separator == std::string::npos) break;
    from = separator + 2;
  }
  pieces.resize(std::max<std::size_t>(pieces.size(), 5));
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korflowid::fuzz::silenceStandardOutput();
  static Tree tree;
  tree.clear();

  const unsigned flags = korflowid::fuzz::takeNumber(data, size, 1);
  const std::vector<std::string> pieces = splitPieces(std::string(reinterpret_cast<const char*>(data), size));

  // The files, and every order the directory search may yield them in (equal creation seconds
  // keep the search's order, which is arbitrary).
  std::vector<std::string> versionTexts;
  if (flags & kWriteVersionFile) {
    std::string bytes = pieces[0];
    if (flags & kRepeatVersionFile) {
      for (int i = 0; i < 6; ++i) bytes += bytes;
    }
    tree.write("InstallVersions/InstallVersion_1.txt", bytes);
    versionTexts.push_back(expectedLines(bytes) + "\r\n");
  }
  std::string fallback;
  if (flags & kSecondVersionFile) {
    tree.write("InstallVersions/InstallVersion_2.txt", pieces[1]);
    versionTexts.push_back(expectedLines(pieces[1]) + "\r\n");
  } else if (flags & kWriteFallback) {
    tree.write("InstallVersion.txt", pieces[1]);
    fallback = expectedLines(pieces[1]) + "\r\n";
  }
  std::vector<ExpectedPatch> patches;
  const unsigned patchCount = (flags >> kPatchCountShift) & 3u;
  for (unsigned i = 0; i < patchCount; ++i) {
    std::string part = pieces[2 + i].substr(0, 200);
    std::replace(part.begin(), part.end(), '/', '_');
    std::replace(part.begin(), part.end(), '\0', '_');
    const std::string name = "patch_" + part + ".txt";
    if (std::find(tree.written.begin(), tree.written.end(), tree.base + name) != tree.written.end()) continue;
    tree.write(name, "");
    // Names with control characters are not taken: no installation makes them, and a line break
    // in a name would forge a report line.
    if (std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
      patches.push_back(expectedPatch(name));
    }
  }

  const char* report = KORFlowID();
  FUZZ_CHECK(report == korflowid::moduleState.reportBuffer);
  const std::string actual(report);
  FUZZ_CHECK(actual.size() < kReportLimit);

  std::vector<std::string> candidates;
  std::sort(versionTexts.begin(), versionTexts.end());
  std::stable_sort(patches.begin(), patches.end(), [](auto& a, auto& b) { return a.number < b.number; });
  do {
    std::string versions;
    for (const std::string& text : versionTexts) versions += text;
    const std::string head = (versions.size() < 3 ? fallback : std::string()) + versions;
    std::vector<ExpectedPatch> order = patches;
    // Every order of the patches that is ascending by number; equal numbers may come either way.
    std::sort(order.begin(), order.end(), [](auto& a, auto& b) {
      return a.number != b.number ? a.number < b.number : a.numberText < b.numberText;
    });
    do {
      if (!std::is_sorted(order.begin(), order.end(), [](auto& a, auto& b) { return a.number < b.number; })) continue;
      const std::string whole = head + patchBlock(order);
      candidates.push_back(whole.size() < kReportLimit ? whole : std::string());
    } while (std::next_permutation(order.begin(), order.end(), [](auto& a, auto& b) {
      return a.number != b.number ? a.number < b.number : a.numberText < b.numberText;
    }));
  } while (std::next_permutation(versionTexts.begin(), versionTexts.end()));
  FUZZ_CHECK(std::find(candidates.begin(), candidates.end(), actual) != candidates.end());
  return 0;
}
