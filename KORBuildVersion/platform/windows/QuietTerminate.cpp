// The DLL's own terminate handler: abort without naming the exception.
//
// The DLL carries its own static copy of the C++ runtime. That runtime's default handler prints the
// type of an uncaught exception, and for that links in the whole symbol demangler and a printf
// family, a third of the module. No exception leaves an export (each one catches at its edge), so
// the handler can only run on a fault inside the library, where the message would name an internal
// type nobody outside can act on. The application's own runtime and its handler are untouched.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
