// The module's load notification: the library has no per-thread work, so it asks for none.
#include <windows.h>

// extern "C": the runtime's DLL entry point calls DllMain by its C name; a C++-mangled one would be
// silently replaced by the runtime's empty default.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    // The loader refuses this for a DLL with a TLS directory, which MinGW's runtime gives every DLL,
    // so the call can fail and thread notifications keep arriving. Both are harmless: nothing below
    // depends on them, and every other reason falls through to success.
    ::DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
