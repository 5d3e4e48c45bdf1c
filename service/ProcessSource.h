// What the scan needs from the platform about processes and their modules.
// The Windows implementation (service/win32) goes through psapi and kernel32;
// tests script it. Process handles are kept as 32-bit values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "service/ImportInspector.h"

namespace ub {

struct ModuleInfo {
    uint64_t base = 0;
    uint32_t imageSize = 0;
};

struct ProcessTimes {
    uint64_t creation = 0;
    uint64_t exit = 0;
    uint64_t kernel = 0;
    uint64_t user = 0;
};

class IProcessSource : public IProcessMemory {
public:
    // Process IDs of the running processes; at most `capacity` are stored.
    // Returns false when the enumeration fails.
    virtual bool EnumProcessIds(uint32_t* ids, uint32_t capacity, uint32_t* count) = 0;
    // Opens a process for querying and reading memory; 0 on failure.
    virtual uint32_t OpenProcess(uint32_t processId) = 0;
    virtual void CloseProcess(uint32_t handle) = 0;
    // True when the process behind the handle has ended.
    virtual bool HasEnded(uint32_t handle) = 0;
    // Module handles of the process, at most `capacity` stored; `*count` is
    // the number the process has, which may exceed `capacity`.
    virtual bool EnumModules(uint32_t handle, uint64_t* modules, uint32_t capacity,
                             uint32_t* count) = 0;
    // The module's file path, converted to its long form in place.
    virtual bool ReadModulePath(uint32_t handle, uint64_t module, char* buffer, size_t size) = 0;
    virtual bool ReadBaseName(uint32_t handle, uint64_t module, char* buffer,
                                   size_t size) = 0;
    // Leaves `*info` as it is when the call fails.
    virtual void GetModuleInfo(uint32_t handle, uint64_t module, ModuleInfo* info) = 0;
    // Leaves `*times` as it is when the call fails.
    virtual void GetTimes(uint32_t handle, ProcessTimes* times) = 0;
};

}  // namespace ub
