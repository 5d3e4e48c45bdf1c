// The process source over psapi and kernel32. Process handles cross the
// interface as 32-bit values (Windows handles are 32-bit significant).
#pragma once

#include "service/ProcessSource.h"

namespace ub {

class CWin32ProcessSource : public IProcessSource {
public:
    CWin32ProcessSource();

    // The module enumerator resolved at construction: "K32EnumProcessModulesEx"
    // (kernel32, Windows 7 and later) or "EnumProcessModulesEx" (psapi, Vista),
    // which list the 32-bit modules of a WOW64 process too, else
    // "EnumProcessModules" (Windows 2000 and XP have no other).
    const char* ModuleEnumerator() const { return m_enumeratorName; }

    bool ReadMemory(uint32_t processHandle, uint64_t address, void* buffer, size_t size,
                    size_t* bytesRead, uint32_t* lastError) override;
    // Pages committed with VirtualAlloc: zero on first use, resident only
    // once the read writes them. nullptr when the size cannot be committed.
    void* AllocateCopy(size_t size) override;
    void FreeCopy(void* copy, size_t size) override;
    bool EnumProcessIds(uint32_t* ids, uint32_t capacity, uint32_t* count) override;
    uint32_t OpenProcess(uint32_t processId) override;
    void CloseProcess(uint32_t handle) override;
    bool HasEnded(uint32_t handle) override;
    bool EnumModules(uint32_t handle, uint64_t* modules, uint32_t capacity,
                     uint32_t* count) override;
    bool ReadModulePath(uint32_t handle, uint64_t module, char* buffer, size_t size) override;
    bool ReadBaseName(uint32_t handle, uint64_t module, char* buffer, size_t size) override;
    void GetModuleInfo(uint32_t handle, uint64_t module, ModuleInfo* info) override;
    void GetTimes(uint32_t handle, ProcessTimes* times) override;

private:
    using EnumModulesExFn = int(__stdcall*)(void* process, void* modules, unsigned long bytes,
                                            unsigned long* needed, unsigned long filter);
    EnumModulesExFn m_enumModulesEx = nullptr;
    const char* m_enumeratorName = "EnumProcessModules";
};

}  // namespace ub
