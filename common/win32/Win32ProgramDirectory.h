// The folder of the running program: where the client finds its own files
// and what it trusts as its own modules.
#pragma once

#include <string>

namespace ub {

// The full path of the running executable; empty when it cannot be read.
std::string ProgramPath();
// Its folder through the last backslash.
std::string ProgramDirectory();

}  // namespace ub
