// The module's load and unload notifications: no per-thread work, and nothing left behind at unload.
#include <windows.h>

#if defined(KORFLOWID_STATIC_CXX_RUNTIME)
namespace __gnu_cxx {
// The static C++ runtime's own release of what it allocated for itself at load: the pool from which
// it throws when memory runs out.
void __freeres() noexcept;
}  // namespace __gnu_cxx
#endif

// extern "C": the runtime's DLL entry point calls DllMain by its C name; a C++-mangled one would be
// silently replaced by the runtime's empty default.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    // The loader refuses this for a DLL with a TLS directory, which MinGW's runtime gives every DLL,
    // so the call can fail and thread notifications keep arriving. Both are harmless: nothing below
    // depends on them, and every other reason falls through to success.
    ::DisableThreadLibraryCalls(module);
  }
#if defined(KORFLOWID_STATIC_CXX_RUNTIME)
  // The module's own copy of the C++ runtime takes its exception pool from the heap at every load,
  // and would leave it there at every FreeLibrary: a host that loads plugins again and again would
  // grow by as much each time. Only at FreeLibrary (a null `reserved`): at process exit the heap goes
  // with the process, and the exit has stopped other threads wherever they were, a throw included.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) __gnu_cxx::__freeres();
#else
  (void)reserved;
#endif
  return TRUE;
}
