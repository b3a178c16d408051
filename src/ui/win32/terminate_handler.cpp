// Ends a window program quietly on an uncaught exception. The library's default handler prints the
// exception's demangled type to a console that a window program does not have, and its demangler
// alone is a sixth of the program. Defined in the program itself (not in a library), so that the
// linker takes this definition before it looks in the C++ runtime.

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
