// A small application that loads the module at run time and uses it where hosts hurt libraries: in
// its exit handlers, from threads still asking while it exits, across unload and reload, and over
// many calls that must leave no descriptor open, or (on Windows) many unloads that must leave no
// memory behind. Exits 0 when every answer was right.
//   korflowid_lifetime_host SCENARIO MODULE SAMPLE_KOR_HOME
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <dirent.h>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

const char* gModulePath = nullptr;

/// The module loaded at run time with the exports this host uses, by their (GCC) names.
struct Module {
  void* handle = nullptr;
  char* (*report)() = nullptr;
  char* (*installId)(char*, unsigned int) = nullptr;
  const char* (*flowString)() = nullptr;

  void load() {
#if defined(_WIN32)
    handle = ::LoadLibraryA(gModulePath);
    // Through the generic function type, which any function pointer may pass through.
    const auto find = [&](const char* name) {
      return reinterpret_cast<void (*)()>(::GetProcAddress(static_cast<HMODULE>(handle), name));
    };
#else
    handle = ::dlopen(gModulePath, RTLD_NOW | RTLD_LOCAL);
    const auto find = [&](const char* name) { return ::dlsym(handle, name); };
#endif
    if (handle == nullptr) fail("the module does not load");
    report = reinterpret_cast<decltype(report)>(find("_Z9KORFlowIDv"));
    installId = reinterpret_cast<decltype(installId)>(find("_ZN7KORFlow12GetInstallIdEPcj"));
    flowString = reinterpret_cast<decltype(flowString)>(find("_ZN7KORFlow13GetFlowStringEv"));
  }
  /// True when the module really left the process.
  bool unload() {
#if defined(_WIN32)
    ::FreeLibrary(static_cast<HMODULE>(handle));
    return ::GetModuleHandleA(gModulePath) == nullptr;
#else
    ::dlclose(handle);
    return ::dlopen(gModulePath, RTLD_NOW | RTLD_NOLOAD) == nullptr;
#endif
  }
  std::string answer(const char* when) const {
    char line[128];
    return std::string(when) + ": " + flowString() + ", " + installId(line, sizeof line) + "report of " +
           std::to_string(std::strlen(report())) + " bytes";
  }

  [[noreturn]] static void fail(const std::string& why) {
    std::printf("FAILED: %s\n", why.c_str());
    std::fflush(stdout);
    std::_Exit(1);
  }
};

Module gModule;

void expectAnswer(const char* when, const char* installId, bool quiet = false) {
  const std::string expected = std::string(when) + ": RJ, Install Id: " + installId + "\nreport of 273 bytes";
  const std::string actual = gModule.answer(when);
  if (actual != expected) Module::fail(actual);
  if (!quiet) std::printf("%s\n", actual.c_str());
}

void setHome(const std::string& home) {
#if defined(_WIN32)
  _putenv_s("KOR_HOME", home.c_str());
#else
  ::setenv("KOR_HOME", home.c_str(), 1);
#endif
}

/// Runs this program again on `scenario`; true when it passed.
bool runAgain(const char* self, const char* scenario, const char* home) {
  std::fflush(nullptr);
#if defined(_WIN32)
  const std::string program = std::string("\"") + self + "\"";
  return _spawnl(_P_WAIT, self, program.c_str(), scenario, gModulePath, home, nullptr) == 0;
#else
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl(self, self, scenario, gModulePath, home, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

struct AnswersWhenDestroyed {
  ~AnswersWhenDestroyed() {
    if (gModule.report != nullptr) expectAnswer("static destructor", "20240611-RJ-004711");
  }
};

std::size_t openDescriptors() {
#if defined(_WIN32)
  DWORD count = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &count);
  return count;
#else
  std::size_t count = 0;
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    while (::readdir(fds) != nullptr) ++count;
    ::closedir(fds);
  }
  return count;
#endif
}

#if defined(_WIN32)
/// Bytes in use on all of the process's heaps: the C runtime allocates from one of its own.
std::size_t busyHeapBytes() {
  HANDLE heaps[256];
  const DWORD count = ::GetProcessHeaps(256, heaps);
  if (count == 0 || count > 256) Module::fail("the heaps cannot be listed");
  std::size_t busy = 0;
  for (DWORD i = 0; i < count; ++i) {
    if (!::HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (::HeapWalk(heaps[i], &entry)) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) busy += entry.cbData;
    }
    ::HeapUnlock(heaps[i]);
  }
  return busy;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) Module::fail("usage: korflowid_lifetime_host SCENARIO MODULE SAMPLE_KOR_HOME");
  const std::string scenario = argv[1];
  gModulePath = argv[2];
  setHome(argv[3]);

  if (scenario == "exit-handlers") {
    // Both run after main returns and after the main thread's end, the handler first.
    static AnswersWhenDestroyed answersWhenDestroyed;
    gModule.load();
    std::atexit([] { expectAnswer("atexit", "20240611-RJ-004711"); });
    expectAnswer("main", "20240611-RJ-004711");  // the main thread's first call, before its end
    return 0;
  }
  if (scenario == "threads-at-exit") {
    for (int run = 0; run < 20; ++run) {
      if (!runAgain(argv[0], "threads-asking", argv[3])) Module::fail("run " + std::to_string(run) + " crashed");
    }
    std::printf("20 runs of threads asking while main returns\n");
    return 0;
  }
  if (scenario == "threads-asking") {
    gModule.load();
    for (int i = 0; i < 4; ++i) {
      std::thread([] {
        for (char line[128];; gModule.report()) gModule.installId(line, sizeof line);
      }).detach();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
  }
  if (scenario == "reload") {
    gModule.load();
    expectAnswer("first load", "20240611-RJ-004711");
    // A thread that has asked ends after the module left the process.
    // It unloads only once the thread has asked: a thread not yet scheduled would call into nothing.
    std::atomic<bool> asked{false};
    std::atomic<bool> end{false};
    std::thread asker([&] {
      gModule.report();
      asked = true;
      while (!end) std::this_thread::yield();
    });
    while (!asked) std::this_thread::yield();
    if (!gModule.unload()) Module::fail("the module stays loaded after its unload");
    end = true;
    asker.join();

    const std::filesystem::path other =
        std::filesystem::temp_directory_path() / ("korflowid-reload-" + std::to_string(::getpid())) / "TAVOGQ.2";
    std::filesystem::create_directories(other / "kor");
    std::filesystem::create_directories(other / "InstallVersions");
    std::ofstream(other / "InstallVersions" / "InstallVersion_1.txt") << "Install Id: 42\n";
    setHome((other / "kor").string());
    gModule.load();
    char line[64];
    const std::string answer = std::string(gModule.flowString()) + ", " + gModule.installId(line, sizeof line);
    std::filesystem::remove_all(other.parent_path());
    if (answer != "TAVO, Install Id: 42\n") Module::fail("after reload: " + answer);
    std::printf("reloaded: %s", answer.c_str());
    return 0;
  }
  if (scenario == "descriptors") {
    gModule.load();
    const std::size_t before = openDescriptors();
    for (int i = 0; i < 200; ++i) gModule.report();
    const std::size_t after = openDescriptors();
    if (after != before) Module::fail(std::to_string(before) + " open before, " + std::to_string(after) + " after");
    std::printf("%zu open before and after\n", before);
    return 0;
  }
#if defined(_WIN32)
  if (scenario == "heap-over-reloads") {
    // A plugin host loads and unloads the module for as long as it runs: each cycle must give back
    // what the module took, its own copy of the C++ runtime included.
    const auto cycle = [] {
      gModule.load();
      expectAnswer("loaded", "20240611-RJ-004711", true);
      if (!gModule.unload()) Module::fail("the module stays loaded after its unload");
    };
    cycle();  // what the first load costs the host and the system once
    const std::size_t before = busyHeapBytes();
    for (int i = 0; i < 100; ++i) cycle();
    const std::size_t after = busyHeapBytes();
    const std::size_t grown = after > before ? after - before : 0;
    std::printf("busy heap: %zu bytes before 100 loads and unloads, %zu after\n", before, after);
    if (grown > 64 * 1024) Module::fail("the heap grew by " + std::to_string(grown) + " bytes");
    return 0;
  }
#endif
  Module::fail("unknown scenario " + scenario);
}
