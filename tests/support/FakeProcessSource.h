// A scripted process source: processes with modules whose images are held
// in memory. Processes that end stay reachable through their handles, as
// on Windows, until the handle is closed.
#pragma once

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "service/ProcessSource.h"

namespace ub::test {

struct FakeModule {
    uint64_t base = 0;
    std::string path;
    std::string baseName;
    std::vector<uint8_t> image;  // what a read at `base` returns
    bool nameFails = false;
    bool infoFails = false;
};

struct FakeProcess {
    uint32_t pid = 0;
    std::vector<FakeModule> modules;
    ProcessTimes times;
    bool ended = false;
    bool openFails = false;
    bool enumFails = false;
    uint32_t reportedModuleCount = 0;  // when nonzero, the count the enumeration reports
};

class FakeProcessSource : public IProcessSource {
public:
    // Starts a process; it is listed until End() is called.
    FakeProcess& Start(FakeProcess p) {
        m_all.push_back(std::move(p));
        return m_all.back();
    }
    void End(uint32_t pid, uint64_t exitTime) {
        for (FakeProcess& p : m_all) {
            if (p.pid == pid && !p.ended) {
                p.ended = true;
                p.times.exit = exitTime;
            }
        }
    }
    bool enumFails = false;
    int opens = 0;
    int closes = 0;
    std::map<uint64_t, int> reads;  // reads per module base
    std::vector<uint32_t> closedHandles;

    bool EnumProcessIds(uint32_t* ids, uint32_t capacity, uint32_t* count) override {
        if (enumFails) return false;
        uint32_t n = 0;
        for (const FakeProcess& p : m_all)
            if (!p.ended && n < capacity) ids[n++] = p.pid;
        *count = n;
        return true;
    }
    uint32_t OpenProcess(uint32_t pid) override {
        for (size_t i = 0; i < m_all.size(); ++i) {
            FakeProcess& p = m_all[i];
            if (p.pid != pid || p.ended) continue;
            if (p.openFails) return 0;
            ++opens;
            uint32_t h = m_nextHandle;
            m_nextHandle += 4;
            m_handles[h] = i;
            return h;
        }
        return 0;
    }
    void CloseProcess(uint32_t handle) override {
        ++closes;
        closedHandles.push_back(handle);
        m_handles.erase(handle);
    }
    bool HasEnded(uint32_t handle) override {
        FakeProcess* p = Get(handle);
        return p && p->ended;
    }
    bool EnumModules(uint32_t handle, uint64_t* modules, uint32_t capacity,
                     uint32_t* count) override {
        FakeProcess* p = Get(handle);
        if (!p || p->enumFails) return false;
        uint32_t n = uint32_t(p->modules.size());
        for (uint32_t i = 0; i < n && i < capacity; ++i) modules[i] = p->modules[i].base;
        *count = p->reportedModuleCount ? p->reportedModuleCount : n;
        return true;
    }
    bool ReadModulePath(uint32_t handle, uint64_t module, char* buffer, size_t size) override {
        const FakeModule* m = Find(handle, module);
        if (!m || m->nameFails) return false;
        std::strncpy(buffer, m->path.c_str(), size);
        return true;
    }
    bool ReadBaseName(uint32_t handle, uint64_t module, char* buffer, size_t size) override {
        const FakeModule* m = Find(handle, module);
        if (!m || m->nameFails) return false;
        std::strncpy(buffer, m->baseName.c_str(), size);
        return true;
    }
    void GetModuleInfo(uint32_t handle, uint64_t module, ModuleInfo* info) override {
        const FakeModule* m = Find(handle, module);
        if (!m || m->infoFails) return;
        info->base = m->base;
        info->imageSize = uint32_t(m->image.size());
    }
    void GetTimes(uint32_t handle, ProcessTimes* times) override {
        if (FakeProcess* p = Get(handle)) *times = p->times;
    }
    bool ReadMemory(uint32_t handle, uint64_t address, void* buffer, size_t size,
                    size_t* bytesRead, uint32_t* lastError) override {
        ++reads[address];
        const FakeModule* m = Find(handle, address);
        if (!m) {
            *bytesRead = 0;
            *lastError = 5;
            return false;
        }
        size_t n = std::min(size, m->image.size());
        std::memcpy(buffer, m->image.data(), n);
        *bytesRead = n;
        *lastError = n == size ? 0 : 299;
        return n == size;
    }

private:
    FakeProcess* Get(uint32_t handle) {
        auto it = m_handles.find(handle);
        return it == m_handles.end() ? nullptr : &m_all[it->second];
    }
    const FakeModule* Find(uint32_t handle, uint64_t base) {
        FakeProcess* p = Get(handle);
        if (!p) return nullptr;
        for (const FakeModule& m : p->modules)
            if (m.base == base) return &m;
        return nullptr;
    }

    std::deque<FakeProcess> m_all;
    std::map<uint32_t, size_t> m_handles;
    uint32_t m_nextHandle = 0x100;
};

}  // namespace ub::test
