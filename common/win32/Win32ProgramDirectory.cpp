#include "common/win32/Win32ProgramDirectory.h"

#include <windows.h>

#include "common/Paths.h"

namespace ub {

std::string ProgramPath() {
    char buffer[1024];
    DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();  // failed or cut short
    return std::string(buffer, n);
}

std::string ProgramDirectory() { return FolderOf(ProgramPath()); }

}  // namespace ub
