// What the library costs an application at start-up, each figure beside the least work its job takes.
//
// Every tree lives in a fresh temporary directory made by this binary. The floors use plain POSIX
// calls on the same tree: they list, get creation times and read bytes, and parse or copy nothing.
#include <KORFlow.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <korflowid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

// Every operator new of the process, the library's included (the executable's definitions take
// precedence over the C++ runtime's for the whole process).
std::atomic<std::size_t> allocationCount{0};

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReportLimit = 20000;  // a report of this many bytes or more is not delivered
constexpr int kSmallTreePatches = 20;

std::string benchDirectory;  // the temporary directory holding every tree

struct Tree {
  std::string home;            // what KOR_HOME is set to
  std::string root;            // KOR_HOME followed by "/../", as the library forms it
  std::size_t reportSize = 0;  // bytes of the report when it fits, 0 when it does not
};

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

/// About 150 bytes in three or four labelled lines, as an installer writes them (CR LF).
std::string versionFileContent(int index) {
  char text[400];
  if (index % 2 == 0) {
    std::snprintf(text, sizeof text,
                  "Install Id: 7c3e9a12-4b1d-%06d\r\n"
                  "Exact Access Date: 2024-03-14 09:26:53\r\n"
                  "Flow Id: 3\r\n"
                  "Full Flow Name: Vantorium Enterprise TAVO Flow\r\n",
                  index);
  } else {
    std::snprintf(text, sizeof text,
                  "Install Id: 7c3e9a12-4b1d-4f0e-9a57-%06d\r\n"
                  "Exact Access Date: 2024-03-14 09:26:53 +01:00 (local time)\r\n"
                  "Flow Id: 3 (service pack level 2)\r\n",
                  index);
  }
  return text;
}

/// An installation root "<name>/RJGQ.2.1" with KOR_HOME at "<name>/RJGQ.2.1/kor".
Tree makeRoot(const std::string& name) {
  const fs::path flowDirectory = fs::path(benchDirectory) / name / "RJGQ.2.1";
  fs::create_directories(flowDirectory / "kor");
  fs::create_directories(flowDirectory / "InstallVersions");
  Tree tree;
  tree.home = (flowDirectory / "kor").string();
  tree.root = tree.home + "/../";
  return tree;
}

/// `versions` version files and `patches` patch files; the report size the library must give.
Tree makeTree(const std::string& name, int versions, int patches) {
  Tree tree = makeRoot(name);
  const fs::path root = fs::path(benchDirectory) / name / "RJGQ.2.1";
  std::size_t size = 0;
  for (int i = 0; i < versions; ++i) {
    const std::string content = versionFileContent(i);
    writeFile(root / "InstallVersions" / ("InstallVersion_" + std::to_string(i) + ".txt"), content);
    size += content.size() + 2;  // every file ends with one more CR LF
  }
  if (patches > 0) size += std::strlen("Patches installed in this flow:\r\n") + 2;
  for (int i = 1; i <= patches; ++i) {
    writeFile(root / ("patch_" + std::to_string(i) + ".txt"), "");
    size += std::strlen("Patch #\r\n") + std::to_string(i).size();
  }
  tree.reportSize = size < kReportLimit ? size : 0;
  return tree;
}

std::int64_t birthSeconds(const std::string& path) {
  struct statx info;
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0) return 0;
  return (info.stx_mask & STATX_BTIME) ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec;
}

/// A report just under 20000 bytes whose only "UPDATE Name:" line is its last line: older version
/// files fill it, and the newest, created a second later, carries the label.
Tree makeQueryTree() {
  Tree tree = makeRoot("query");
  const fs::path versions = fs::path(benchDirectory) / "query" / "RJGQ.2.1" / "InstallVersions";
  const std::string last = "Exact Access Date: 2024-06-02 17:40:11\r\nUPDATE Name: Update 7 (2024-06)\r\n";
  const std::size_t target = kReportLimit - 10;
  constexpr std::string_view kNotePrefix = "Note: \r\n";  // the padding line without its dashes
  std::size_t size = 0;
  std::int64_t newestFill = 0;
  for (int i = 0;; ++i) {
    const std::string content = versionFileContent(i);
    // Leaves room for the labelled file: its padding line and its closing CR LF.
    if (size + content.size() + 2 + kNotePrefix.size() + last.size() + 2 > target) break;
    const fs::path path = versions / ("InstallVersion_" + std::to_string(i) + ".txt");
    writeFile(path, content);
    size += content.size() + 2;
    newestFill = std::max(newestFill, birthSeconds(path.string()));
  }
  // Creation times count in whole seconds; the labelled file must be strictly the newest.
  const fs::path lastPath = versions / "InstallVersion_update.txt";
  const std::size_t dashes = target - size - kNotePrefix.size() - last.size() - 2;
  const std::string padded = std::string(kNotePrefix.substr(0, 6)) + std::string(dashes, '-') + "\r\n" + last;
  for (;;) {
    writeFile(lastPath, padded);
    if (birthSeconds(lastPath.string()) > newestFill) break;
    fs::remove(lastPath);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  tree.reportSize = size + padded.size() + 2;
  return tree;
}

enum class TreeKind { Small, ManyVersions, ManyPatches };

/// Trees are made on first use, so a filtered run makes only what it measures.
const Tree& tree(TreeKind kind, int size) {
  static std::map<std::pair<TreeKind, int>, Tree> trees;
  const auto key = std::make_pair(kind, size);
  auto found = trees.find(key);
  if (found != trees.end()) return found->second;
  Tree made;
  switch (kind) {
    case TreeKind::Small:
      made = makeTree("small-" + std::to_string(size), size, kSmallTreePatches);
      break;
    case TreeKind::ManyVersions:
      made = makeTree("versions-" + std::to_string(size), size, kSmallTreePatches);
      break;
    case TreeKind::ManyPatches:
      made = makeTree("patches-" + std::to_string(size), 1, size);
      break;
  }
  return trees.emplace(key, std::move(made)).first->second;
}

void useTree(const Tree& t) {
  ::setenv("KOR_HOME", t.home.c_str(), 1);
}

// --- The floors -------------------------------------------------------------------------------

struct FloorCount {
  std::size_t entries = 0;
  std::int64_t times = 0;
  std::size_t bytes = 0;
};

void listDirectory(const std::string& path, FloorCount& count) {
  DIR* directory = ::opendir(path.c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = ::readdir(directory)) count.entries += entry->d_name[0] != '.';
  ::closedir(directory);
}

/// Lists the root (patch files) and "InstallVersions/", gets each version file's creation time and
/// size and, when `readFiles`, opens it, reads all its bytes into one scratch buffer and closes it.
/// A file is read until its size is in, one read for these small files: a further read only to
/// hear that nothing follows is work the job does not need.
FloorCount floorWork(const Tree& t, bool readFiles) {
  FloorCount count;
  listDirectory(t.root, count);
  const std::string versionDirectory = t.root + "InstallVersions/";
  DIR* directory = ::opendir(versionDirectory.c_str());
  if (directory == nullptr) return count;
  const int directoryFd = ::dirfd(directory);
  char buffer[4096];
  while (const dirent* entry = ::readdir(directory)) {
    if (entry->d_name[0] == '.') continue;
    ++count.entries;
    struct statx info;
    std::size_t size = SIZE_MAX;  // read until a read gives nothing where the size is unknown
    if (::statx(directoryFd, entry->d_name, AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_SIZE, &info) == 0) {
      count.times += info.stx_btime.tv_sec;
      if ((info.stx_mask & STATX_SIZE) && info.stx_size > 0) size = info.stx_size;
    }
    if (!readFiles) continue;
    const int fd = ::openat(directoryFd, entry->d_name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    std::size_t bytes = 0;
    ssize_t got;
    while (bytes < size && (got = ::read(fd, buffer, sizeof buffer)) > 0) bytes += static_cast<std::size_t>(got);
    count.bytes += bytes;
    ::close(fd);
  }
  ::closedir(directory);
  return count;
}

/// Allocations per call of the loop that `body` runs, shown beside the time.
template <typename Body>
void countAllocations(benchmark::State& state, Body&& body) {
  const std::size_t before = allocationCount.load();
  for (auto _ : state) body();
  state.counters["allocs_per_call"] =
      static_cast<double>(allocationCount.load() - before) / static_cast<double>(state.iterations());
}

/// The least work that naming the flow directory takes: read KOR_HOME, copy it and "/../" into a
/// 1024-byte buffer, turn backslashes into slashes, drop one trailing slash, cut at the first
/// "/..", drop the last segment and take what follows the last slash.
std::string_view reduceHome(char (&buffer)[1024]) {
  const char* home = std::getenv("KOR_HOME");
  std::size_t length = std::strlen(home);
  if (length + 4 >= sizeof buffer) return {};
  std::memcpy(buffer, home, length);
  std::memcpy(buffer + length, "/../", 5);
  length += 4;
  std::replace(buffer, buffer + length, '\\', '/');
  std::string_view path(buffer, length - 1);
  path = path.substr(0, path.find("/.."));
  path = path.substr(0, path.rfind('/'));
  return path.substr(path.rfind('/') + 1);
}

void flowCodeFloor(benchmark::State& state) {
  useTree(tree(TreeKind::Small, 1));
  char buffer[1024];
  if (reduceHome(buffer) != "RJGQ.2.1") {
    state.SkipWithError("wrong flow directory name");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(reduceHome(buffer));
    benchmark::ClobberMemory();
  }
}

// --- 1. KORFlowID(char*, unsigned int) ----------------------------------------------------------

void flowCodeLibrary(benchmark::State& state) {
  useTree(tree(TreeKind::Small, 1));
  char buffer[64];
  if (KORFlowID(buffer, sizeof buffer) != 2 || std::strcmp(buffer, "RJ") != 0) {
    state.SkipWithError("wrong flow code");
    return;
  }
  countAllocations(state, [&] {
    benchmark::DoNotOptimize(KORFlowID(buffer, sizeof buffer));
    benchmark::ClobberMemory();
  });
}

// --- 1b. The first, uncached KORFlow::GetFlowId -------------------------------------------------

/// KORFlow::GetFlowId of a private copy of the module, whose flow id stays unknown: its flow
/// directory names a release but no flow marker, so every call does the whole identification, as
/// the first call of a process does. The process's own module is left to the cached cases.
void firstFlowIdLibrary(benchmark::State& state) {
  static KORFlow::FlowId (*getFlowId)() = [] {
    const fs::path copy = fs::path(benchDirectory) / "module-copy.so";
    fs::copy_file(KORFLOWID_MODULE_PATH, copy, fs::copy_options::overwrite_existing);
    void* module = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    return module == nullptr ? nullptr
                             : reinterpret_cast<KORFlow::FlowId (*)()>(::dlsym(module, "_ZN7KORFlow9GetFlowIdEv"));
  }();
  static const Tree unmarked = [] {
    Tree made;
    made.home = benchDirectory + "/unmarked/GQ.2.1/kor";
    fs::create_directories(made.home);
    return made;
  }();
  useTree(unmarked);
  if (getFlowId == nullptr || getFlowId() != KORFlow::FlowUnknown) {
    state.SkipWithError("no private module, or it found a flow");
    return;
  }
  countAllocations(state, [&] {
    benchmark::DoNotOptimize(getFlowId());
    benchmark::ClobberMemory();
  });
}

void firstFlowIdFloor(benchmark::State& state) {
  flowCodeFloor(state);
}

// --- 2. and 3. KORFlowID() ----------------------------------------------------------------------

void reportLibrary(benchmark::State& state, TreeKind kind) {
  const Tree& t = tree(kind, static_cast<int>(state.range(0)));
  useTree(t);
  if (std::strlen(KORFlowID()) != t.reportSize) {
    state.SkipWithError("report of an unexpected size");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(KORFlowID());
}

void reportFloor(benchmark::State& state, TreeKind kind) {
  const Tree& t = tree(kind, static_cast<int>(state.range(0)));
  // Only a report that fits needs its files read; beyond that, the order alone is unavoidable.
  const bool readFiles = t.reportSize != 0;
  for (auto _ : state) benchmark::DoNotOptimize(floorWork(t, readFiles));
}

// --- 4. and 5. Cached queries -------------------------------------------------------------------

/// Made once: the process's report cache keeps the first report it reads.
const Tree& queryTree() {
  static const Tree query = makeQueryTree();
  return query;
}

void cachedLabelQuery(benchmark::State& state) {
  const Tree& query = queryTree();
  useTree(query);
  char buffer[256];
  KORFlow::GetUpdateName(buffer, sizeof buffer);  // seeds the process's report cache
  static char whole[kReportLimit];
  KORFlow::GetVersionText(whole, sizeof whole);
  const std::string_view report(whole, std::strlen(whole));
  if (report.size() != query.reportSize || report.find("UPDATE Name:") + 40 < report.size() ||
      std::strcmp(buffer, "UPDATE Name: Update 7 (2024-06)\n") != 0) {
    state.SkipWithError("the report cache does not hold the query tree's report");
    return;
  }
  state.counters["report_bytes"] = static_cast<double>(report.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(KORFlow::GetUpdateName(buffer, sizeof buffer));
    benchmark::ClobberMemory();
  }
}

void cachedFlowVersionId(benchmark::State& state) {
  useTree(tree(TreeKind::Small, 1));
  if (KORFlow::GetFlowId() != KORFlow::FlowRJ || KORFlow::GetFlowVersionId() != KORFlow::VersionGQ_2_1) {
    state.SkipWithError("flow not identified");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(KORFlow::GetFlowVersionId());
}

void seedQueryCache(benchmark::State& state, std::string_view& report) {
  const Tree& query = queryTree();
  useTree(query);
  static char whole[kReportLimit];
  KORFlow::GetVersionText(whole, sizeof whole);  // seeds the process's report cache
  report = std::string_view(whole, std::strlen(whole));
  if (report.size() != query.reportSize) state.SkipWithError("the report cache does not hold the query tree's report");
}

/// A label on the report's first line, where even a plain search would stop at once.
void cachedLabelQueryFirstLine(benchmark::State& state) {
  std::string_view report;
  seedQueryCache(state, report);
  char buffer[256];
  if (report.rfind("Install Id:", 0) != 0 || KORFlow::GetInstallId(buffer, sizeof buffer)[0] == '\0') {
    state.SkipWithError("the report does not begin with its install id");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(KORFlow::GetInstallId(buffer, sizeof buffer));
    benchmark::ClobberMemory();
  }
}

/// The whole cached report into a buffer of the report buffer's size, beside a plain copy of it.
void versionTextLibrary(benchmark::State& state) {
  std::string_view report;
  seedQueryCache(state, report);
  static char buffer[kReportLimit];
  for (auto _ : state) {
    benchmark::DoNotOptimize(KORFlow::GetVersionText(buffer, sizeof buffer));
    benchmark::ClobberMemory();
  }
  state.counters["report_bytes"] = static_cast<double>(report.size());
}

void versionTextFloor(benchmark::State& state) {
  std::string_view report;
  seedQueryCache(state, report);
  static char buffer[kReportLimit];
  for (auto _ : state) {
    std::memcpy(buffer, report.data(), report.size() + 1);
    benchmark::DoNotOptimize(buffer);
    benchmark::ClobberMemory();
  }
}

template <typename Result>
void cachedFlowCall(benchmark::State& state, Result (*call)()) {
  useTree(tree(TreeKind::Small, 1));
  if (KORFlow::GetFlowId() != KORFlow::FlowRJ || KORFlow::GetFlowVersionId() != KORFlow::VersionGQ_2_1) {
    state.SkipWithError("flow not identified");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(call());
}

/// The C interface beside the C++ call it shares its answer with, which stands as the floor here.
void cFlow(benchmark::State& state) {
  useTree(tree(TreeKind::Small, 1));
  int32_t id = 0;
  if (kor_flow(nullptr, &id, nullptr) != KOR_OK || id != KORFlow::FlowRJ) {
    state.SkipWithError("flow not identified");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(kor_flow(nullptr, &id, nullptr));
    benchmark::DoNotOptimize(id);
  }
}

void cInstallId(benchmark::State& state) {
  std::string_view report;
  seedQueryCache(state, report);
  char buffer[256];
  size_t length = 0;
  if (kor_value(nullptr, KOR_FIELD_INSTALL_ID, buffer, sizeof buffer, &length) != KOR_OK) {
    state.SkipWithError("no install id");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(kor_value(nullptr, KOR_FIELD_INSTALL_ID, buffer, sizeof buffer, &length));
    benchmark::ClobberMemory();
  }
}

void registerFlowAndQueryBenchmarks() {
  benchmark::RegisterBenchmark("c_flow/library", cFlow)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("c_flow/floor", cachedFlowCall<KORFlow::FlowId>, KORFlow::GetFlowId)
      ->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("c_install_id/library", cInstallId)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("c_install_id/floor", cachedLabelQueryFirstLine)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("first_flow_id/library", firstFlowIdLibrary)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("first_flow_id/floor", firstFlowIdFloor)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("cached_flow_id", cachedFlowCall<KORFlow::FlowId>, KORFlow::GetFlowId)
      ->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("cached_flow_string", cachedFlowCall<const char*>, KORFlow::GetFlowString)
      ->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("cached_flow_version_string", cachedFlowCall<const char*>, KORFlow::GetFlowVersionString)
      ->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("cached_label_query_first_line", cachedLabelQueryFirstLine)
      ->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("version_text/library", versionTextLibrary)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("version_text/floor", versionTextFloor)->Unit(benchmark::kNanosecond);
}

void registerBenchmarks() {
  benchmark::RegisterBenchmark("flow_code/library", flowCodeLibrary)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("flow_code/floor", flowCodeFloor)->Unit(benchmark::kNanosecond);
  const std::pair<const char*, TreeKind> series[] = {{"report", TreeKind::Small},
                                                     {"large_versions", TreeKind::ManyVersions},
                                                     {"large_patches", TreeKind::ManyPatches}};
  for (const auto& [name, kind] : series) {
    const std::string base = name;
    auto* library = benchmark::RegisterBenchmark((base + "/library").c_str(), reportLibrary, kind);
    auto* floor = benchmark::RegisterBenchmark((base + "/floor").c_str(), reportFloor, kind);
    for (benchmark::internal::Benchmark* b : {library, floor}) {
      b->Unit(benchmark::kMicrosecond);
      if (kind == TreeKind::Small) {
        b->Arg(1)->Arg(10)->Arg(100);
      } else {
        b->Arg(1000)->Arg(10000);
      }
    }
  }
  benchmark::RegisterBenchmark("cached_label_query", cachedLabelQuery)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("cached_flow_version_id", cachedFlowVersionId)->Unit(benchmark::kNanosecond);
  registerFlowAndQueryBenchmarks();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/korflowid-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  benchDirectory = pattern;

  registerBenchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::error_code ignored;
  fs::remove_all(benchDirectory, ignored);
  return 0;
}

// Counting only; the C runtime does the work.
void* operator new(std::size_t size) {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept {
  return ::operator new(size, nothrow);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
