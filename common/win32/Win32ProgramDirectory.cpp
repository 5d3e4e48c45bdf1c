#include "common/win32/Win32ProgramDirectory.h"

#include <windows.h>

namespace ub {

std::string ProgramDirectory() {
    char buffer[1024];
    DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();  // failed or cut short
    std::string program(buffer, n);
    return program.substr(0, program.find_last_of('\\') + 1);
}

}  // namespace ub
