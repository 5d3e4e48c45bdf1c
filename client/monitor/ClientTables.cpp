#include "client/monitor/ClientTables.h"

#include <algorithm>
#include <cstring>

#include "client/monitor/Classification.h"
#include "common/TextFold.h"

namespace ub {
namespace {

bool IsEnded(uint8_t status) {
    return status == ST_FINISHED || status == ST_NEW_FINISHED || status == ST_FINISHED_SHOWN;
}

// Replaces a record by its slot; a rescanned slot (100) keeps the record's
// previous status as 100 + s.
template <typename Record>
void ReplaceFromSlot(Record& rec, const Record& slot) {
    uint8_t previous = rec.status;
    rec = slot;
    if (slot.status == ST_UPDATED) rec.status = uint8_t(ST_UPDATED + previous);
}

}  // namespace

uint32_t RefreshPeriodMs(int32_t cliSpeed) {
    if (cliSpeed == 2) return 400;
    if (cliSpeed == 1) return 2000;
    return 10000;
}

void CClientTables::ClearTables() {
    modules.clear();
    processes.clear();
    m_moduleIndex.clear();
    m_wantsSnapshot = false;
}

int CClientTables::FindModuleByPath(const char* path) const {
    auto it = m_moduleIndex.find(FoldedKey(path, kPathSize));
    return it == m_moduleIndex.end() ? -1 : it->second;
}

const char* CClientTables::MainModulePath(const ProcessRecord& rec) const {
    if (rec.moduleCount == 0 || rec.moduleIndex[0] >= modules.size()) return nullptr;
    return modules[rec.moduleIndex[0]]->fullPath;
}

int CClientTables::FindRunningProcess(uint32_t processId, const char* mainPath) const {
    for (size_t i = 0; i < processes.size(); ++i) {
        const ProcessRecord& rec = *processes[i];
        if (rec.processId != processId || IsEnded(rec.status)) continue;
        const char* path = MainModulePath(rec);
        if (path && EqualPaths(path, mainPath)) return int(i);
    }
    return -1;
}

void CClientTables::MergeModule(const ModuleRecord& slot) {
    int pos = FindModuleByPath(slot.fullPath);
    if (pos >= 0) {
        ReplaceFromSlot(*modules[size_t(pos)], slot);
        return;
    }
    if (modules.size() >= kMaxClientModules) {
        m_wantsSnapshot = true;
        return;
    }
    modules.push_back(std::make_unique<ModuleRecord>(slot));
    m_moduleIndex.emplace(FoldedKey(slot.fullPath, kPathSize), int(modules.size() - 1));
}

void CClientTables::MergeProcess(const ProcessRecord& slot) {
    const char* mainPath = MainModulePath(slot);
    if (!mainPath) return;  // would name a module the client does not hold
    int pos = FindRunningProcess(slot.processId, mainPath);
    if (pos >= 0) {
        ReplaceFromSlot(*processes[size_t(pos)], slot);
        return;
    }
    if (processes.size() >= kMaxClientProcesses) {
        m_wantsSnapshot = true;
        return;
    }
    processes.push_back(std::make_unique<ProcessRecord>(slot));
}

void CClientTables::Merge(const CChannelBlock& block) {
    uint32_t moduleCount = std::min<uint32_t>(block.ModuleCount(), kMaxModuleSlots);
    uint32_t processCount = std::min<uint32_t>(block.ProcessCount(), kMaxProcessSlots);
    for (uint32_t i = 0; i < moduleCount; ++i) {
        ModuleRecord slot;
        std::memcpy(&slot, block.ModuleSlot(i), sizeof slot);
        slot.baseName[kNameSize - 1] = 0;
        slot.fullPath[kPathSize - 1] = 0;
        MergeModule(slot);
    }
    for (uint32_t i = 0; i < processCount; ++i) {
        ProcessRecord slot;
        std::memcpy(&slot, block.ProcessSlot(i), sizeof slot);
        slot.moduleCount = std::min<uint32_t>(slot.moduleCount, kMaxModulesPerProcess);
        MergeProcess(slot);
    }
}

void CClientTables::AgeStatuses() {
    for (auto& m : modules) m->status = ST_REPORTED;
    for (auto& p : processes) {
        uint8_t& s = p->status;
        if (s == ST_NEW) s = ST_NEW_SHOWN;
        else if (s == ST_FINISHED || s == ST_NEW_FINISHED) s = ST_FINISHED_SHOWN;
        else if (s >= ST_UPDATED) s = uint8_t(s - ST_UPDATED);
    }
}

}  // namespace ub
