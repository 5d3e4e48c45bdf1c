// The Windows service "Umbrastead": dispatcher entry, service main and
// control handler around the scan loop.
#pragma once

#include <windows.h>

namespace ub {

constexpr char kServiceName[] = "Umbrastead";

// NT family, major version 5 or later.
bool IsSupportedSystem();

// Single instance: creates "…SvrMutex…"; nullptr when it already existed
// or could not be created.
HANDLE AcquireServiceInstance();

void WINAPI ServiceMain(DWORD argc, LPSTR* argv);
void WINAPI ServiceControlHandler(DWORD control);

// The program: version check, then the service control dispatcher. Returns
// the dispatcher's result (0 when started outside the service manager).
int RunServiceProgram();

}  // namespace ub
