#include "service/ScanTables.h"

#include <algorithm>
#include <cstring>

#include "common/TextFold.h"

namespace ub {
namespace {

void CopyName(char* dest, size_t size, const char* src) {
    size_t n = strnlen(src, size - 1);
    std::memcpy(dest, src, n);
    std::memset(dest + n, 0, size - n);
}

void StoreTimes(ProcessRecord& rec, const ProcessTimes& t) {
    rec.creationTime = ToFileTime(t.creation);
    rec.exitTime = ToFileTime(t.exit);
    rec.kernelTime = ToFileTime(t.kernel);
    rec.userTime = ToFileTime(t.user);
}

ProcessTimes LoadTimes(const ProcessRecord& rec) {
    return ProcessTimes{ToU64(rec.creationTime), ToU64(rec.exitTime), ToU64(rec.kernelTime),
                        ToU64(rec.userTime)};
}

bool IsRunning(uint8_t status) {
    return status == ST_REPORTED || status == ST_NEW || status == ST_UPDATED;
}

// The names of one module, read into fixed buffers; false when either
// name cannot be read.
struct ModuleNames {
    char path[kPathSize];
    char baseName[kNameSize];

    bool Read(IProcessSource& source, uint32_t handle, uint64_t module) {
        if (!source.ReadModulePath(handle, module, path, sizeof path)) return false;
        path[sizeof path - 1] = 0;
        if (!source.ReadBaseName(handle, module, baseName, sizeof baseName)) return false;
        baseName[sizeof baseName - 1] = 0;
        return true;
    }
};

}  // namespace

std::string CScanTables::PathKey(const char* path) { return FoldedKey(path, kPathSize); }

int CScanTables::FindModuleByPath(const char* fullPath) const {
    auto it = m_moduleIndex.find(PathKey(fullPath));
    return it == m_moduleIndex.end() ? -1 : it->second;
}

void CScanTables::ReindexModules() {
    m_moduleIndex.clear();
    for (size_t i = 0; i < m_modules.size(); ++i)
        m_moduleIndex.emplace(PathKey(m_modules[i]->fullPath), int(i));
}

int CScanTables::FindProcess(uint32_t processId) const {
    for (size_t i = 0; i < m_processes.size(); ++i) {
        const ProcessRecord& rec = *m_processes[i];
        if (rec.status == ST_FINISHED || rec.status == ST_NEW_FINISHED) continue;
        if (rec.processId == processId) return int(i);
    }
    return -1;
}

void CScanTables::MarkEndedProcesses(const uint32_t* ids, uint32_t count) {
    for (auto& p : m_processes) {
        ProcessRecord& rec = *p;
        if (!IsRunning(rec.status)) continue;
        bool listed = std::find(ids, ids + count, rec.processId) != ids + count;
        if (listed && !m_source.HasEnded(rec.processHandle)) continue;
        rec.status = rec.status == ST_NEW ? ST_NEW_FINISHED : ST_FINISHED;
        ProcessTimes times = LoadTimes(rec);
        m_source.GetTimes(rec.processHandle, &times);
        StoreTimes(rec, times);
        m_source.CloseProcess(rec.processHandle);
        rec.processHandle = 0;
    }
}

int CScanTables::AttachModule(uint32_t handle, uint64_t module, const char* path,
                              const char* baseName, uint32_t imageSize) {
    int pos = FindModuleByPath(path);
    if (pos < 0) {
        auto rec = std::make_unique<ModuleRecord>();
        std::memset(rec.get(), 0, sizeof(ModuleRecord));
        rec->status = ST_NEW;
        CopyName(rec->baseName, sizeof rec->baseName, baseName);
        CopyName(rec->fullPath, sizeof rec->fullPath, path);
        rec->flags = InspectRemoteImage(m_source, handle, module, imageSize);
        pos = int(m_modules.size());
        m_moduleIndex.emplace(PathKey(rec->fullPath), pos);
        m_modules.push_back(std::move(rec));
        return pos;
    }
    ModuleRecord& rec = *m_modules[size_t(pos)];
    if (rec.status == ST_REPORTED) {
        rec.status = ST_UPDATED;
        CopyName(rec.baseName, sizeof rec.baseName, baseName);
        CopyName(rec.fullPath, sizeof rec.fullPath, path);
        rec.flags = InspectRemoteImage(m_source, handle, module, imageSize);
    }
    return pos;
}

int CScanTables::ScanProcess(uint32_t processId, int designated, bool firstRound) {
    int pos = FindProcess(processId);
    bool opened = false;
    uint32_t handle;
    if (pos < 0) {
        handle = m_source.OpenProcess(processId);
        if (handle == 0) return 0;
        opened = true;
    } else {
        handle = m_processes[size_t(pos)]->processHandle;
    }
    auto abandon = [&] {
        if (opened) m_source.CloseProcess(handle);
        return 0;
    };

    uint64_t modules[kMaxModulesPerProcess];
    uint32_t n = 0;
    if (!m_source.EnumModules(handle, modules, kMaxModulesPerProcess, &n)) return abandon();
    if (n == 0) return abandon();  // no main module to record

    // Skip rule: an unchanged module number and no forced rescan.
    if (pos >= 0 && designated != kRescanAll && designated != pos &&
        n == m_processes[size_t(pos)]->moduleCount)
        return 0;

    ModuleNames names;
    if (!names.Read(m_source, handle, modules[0])) return abandon();
    ModuleInfo info;
    m_source.GetModuleInfo(handle, modules[0], &info);
    int mainIndex = AttachModule(handle, modules[0], names.path, names.baseName, info.imageSize);

    ProcessRecord* rec;
    if (pos < 0) {
        auto fresh = std::make_unique<ProcessRecord>();
        std::memset(fresh.get(), 0, sizeof(ProcessRecord));
        fresh->status = firstRound ? ST_REPORTED : ST_NEW;
        fresh->processHandle = handle;
        rec = fresh.get();
        m_processes.push_back(std::move(fresh));
    } else {
        rec = m_processes[size_t(pos)].get();
        if (rec->status == ST_REPORTED) rec->status = ST_UPDATED;
    }

    rec->processId = processId;
    ProcessTimes times = LoadTimes(*rec);
    m_source.GetTimes(handle, &times);
    times.exit = 0;
    StoreTimes(*rec, times);

    rec->moduleIndex[0] = uint32_t(mainIndex);
    rec->moduleBase[0] = uint32_t(info.base);  // low 32 bits on 64-bit Windows
    rec->moduleSize[0] = info.imageSize;
    rec->moduleCount = 1;

    uint32_t used = std::min(n, kMaxModulesPerProcess);
    for (uint32_t i = 1; i < used; ++i) {
        if (!names.Read(m_source, handle, modules[i])) continue;
        ModuleInfo mi;
        m_source.GetModuleInfo(handle, modules[i], &mi);
        int index = AttachModule(handle, modules[i], names.path, names.baseName, mi.imageSize);
        uint32_t slot = rec->moduleCount++;
        rec->moduleIndex[slot] = uint32_t(index);
        rec->moduleBase[slot] = uint32_t(mi.base);
        rec->moduleSize[slot] = mi.imageSize;
    }
    return 1;
}

void CScanTables::ReleaseTables() {
    m_modules.clear();
    m_processes.clear();
    m_moduleIndex.clear();
}

}  // namespace ub
