// Replaces libstdc++'s verbose terminate handler, which prints the demangled type of an uncaught
// exception to stderr. A GUI program has no stderr to read, and the demangler it pulls in is a quarter
// of the statically linked program's size; terminating is all that is left to do.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler();
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
