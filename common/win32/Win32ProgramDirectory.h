// The folder of the running program: where the client finds its own files
// and what it trusts as its own modules.
#pragma once

#include <string>

namespace ub {

// The folder of the running executable through its last backslash; empty
// when the module path cannot be read.
std::string ProgramDirectory();

}  // namespace ub
