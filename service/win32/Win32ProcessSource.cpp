#include "service/win32/Win32ProcessSource.h"

#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1  // psapi.dll exports, as on Windows 2000 and XP
#endif
#include <windows.h>
#include <psapi.h>

namespace ub {
namespace {

// Handles are sign-extended back from their 32-bit value.
HANDLE ToHandle(uint32_t value) { return reinterpret_cast<HANDLE>(intptr_t(int32_t(value))); }
uint32_t FromHandle(HANDLE h) { return uint32_t(reinterpret_cast<uintptr_t>(h)); }
HMODULE ToModule(uint64_t value) { return reinterpret_cast<HMODULE>(uintptr_t(value)); }
uint64_t FromFileTime(const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

constexpr DWORD kListModulesAll = 0x03;  // LIST_MODULES_ALL: 32-bit and 64-bit modules

}  // namespace

CWin32ProcessSource::CWin32ProcessSource() {
    // Looked up at run time: Windows 2000 and XP have neither export.
    const struct {
        const char* dll;
        const char* name;
    } candidates[] = {{"kernel32.dll", "K32EnumProcessModulesEx"},
                      {"psapi.dll", "EnumProcessModulesEx"}};
    for (const auto& c : candidates) {
        HMODULE dll = ::GetModuleHandleA(c.dll);
        FARPROC fn = dll ? ::GetProcAddress(dll, c.name) : nullptr;
        if (!fn) continue;
        m_enumModulesEx = reinterpret_cast<EnumModulesExFn>(reinterpret_cast<void*>(fn));
        m_enumeratorName = c.name;
        return;
    }
}

bool CWin32ProcessSource::ReadMemory(uint32_t processHandle, uint64_t address, void* buffer,
                                     size_t size, size_t* bytesRead, uint32_t* lastError) {
    SIZE_T got = 0;
    BOOL ok = ::ReadProcessMemory(ToHandle(processHandle),
                                  reinterpret_cast<LPCVOID>(uintptr_t(address)), buffer, size, &got);
    *bytesRead = got;
    *lastError = ok ? 0 : ::GetLastError();
    return ok != FALSE;
}

void* CWin32ProcessSource::AllocateCopy(size_t size) {
    return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void CWin32ProcessSource::FreeCopy(void* copy, size_t) { ::VirtualFree(copy, 0, MEM_RELEASE); }

bool CWin32ProcessSource::EnumProcessIds(uint32_t* ids, uint32_t capacity, uint32_t* count) {
    static_assert(sizeof(DWORD) == sizeof(uint32_t), "process IDs are 32-bit");
    DWORD bytes = 0;
    if (!::EnumProcesses(reinterpret_cast<DWORD*>(ids), capacity * sizeof(DWORD), &bytes))
        return false;
    *count = bytes / sizeof(DWORD);
    return true;
}

uint32_t CWin32ProcessSource::OpenProcess(uint32_t processId) {
    HANDLE h = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    return h ? FromHandle(h) : 0;
}

void CWin32ProcessSource::CloseProcess(uint32_t handle) { ::CloseHandle(ToHandle(handle)); }

bool CWin32ProcessSource::HasEnded(uint32_t handle) {
    // The handle has no SYNCHRONIZE right, so the exit code tells. A process
    // that really exited with STILL_ACTIVE is caught when its ID leaves the
    // enumeration.
    DWORD code = 0;
    return ::GetExitCodeProcess(ToHandle(handle), &code) && code != STILL_ACTIVE;
}

bool CWin32ProcessSource::EnumModules(uint32_t handle, uint64_t* modules, uint32_t capacity,
                                      uint32_t* count) {
    HMODULE local[512];
    if (capacity > 512) capacity = 512;
    DWORD bytes = 0;
    const DWORD size = capacity * sizeof(HMODULE);
    const BOOL ok = m_enumModulesEx
                        ? m_enumModulesEx(ToHandle(handle), local, size, &bytes, kListModulesAll)
                        : ::EnumProcessModules(ToHandle(handle), local, size, &bytes);
    if (!ok) return false;
    *count = bytes / sizeof(HMODULE);
    uint32_t stored = *count < capacity ? *count : capacity;
    for (uint32_t i = 0; i < stored; ++i) modules[i] = uint64_t(reinterpret_cast<uintptr_t>(local[i]));
    return true;
}

bool CWin32ProcessSource::ReadModulePath(uint32_t handle, uint64_t module, char* buffer,
                                        size_t size) {
    if (::GetModuleFileNameExA(ToHandle(handle), ToModule(module), buffer, DWORD(size)) == 0)
        return false;
    buffer[size - 1] = 0;
    // The long form replaces the name only when it fits; otherwise the name
    // stays as the module enumeration gave it.
    char longPath[1024];
    DWORD n = ::GetLongPathNameA(buffer, longPath, sizeof longPath);
    if (n > 0 && n < sizeof longPath && n < size) ::lstrcpynA(buffer, longPath, int(size));
    return true;
}

bool CWin32ProcessSource::ReadBaseName(uint32_t handle, uint64_t module, char* buffer,
                                            size_t size) {
    return ::GetModuleBaseNameA(ToHandle(handle), ToModule(module), buffer, DWORD(size)) != 0;
}

void CWin32ProcessSource::GetModuleInfo(uint32_t handle, uint64_t module, ModuleInfo* info) {
    MODULEINFO mi = {};
    if (!::GetModuleInformation(ToHandle(handle), ToModule(module), &mi, sizeof mi)) return;
    info->base = uint64_t(reinterpret_cast<uintptr_t>(mi.lpBaseOfDll));
    info->imageSize = mi.SizeOfImage;
}

void CWin32ProcessSource::GetTimes(uint32_t handle, ProcessTimes* times) {
    FILETIME c, e, k, u;
    if (!::GetProcessTimes(ToHandle(handle), &c, &e, &k, &u)) return;
    times->creation = FromFileTime(c);
    times->exit = FromFileTime(e);
    times->kernel = FromFileTime(k);
    times->user = FromFileTime(u);
}

}  // namespace ub
