#include "service/Publisher.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ub {
namespace {

bool IsEnded(uint8_t status) { return status == ST_FINISHED || status == ST_NEW_FINISHED; }

// True when every module the process refers to lies below `held`, the
// number of leading table positions the client holds after this publication.
bool ModulesHeld(const ProcessRecord& rec, size_t held) {
    uint32_t count = std::min<uint32_t>(rec.moduleCount, kMaxModulesPerProcess);
    for (uint32_t i = 0; i < count; ++i)
        if (rec.moduleIndex[i] >= held) return false;
    return true;
}

}  // namespace

void CompactModules(CScanTables& tables) {
    auto& modules = tables.Modules();
    auto& processes = tables.Processes();
    std::vector<uint8_t> used(modules.size(), 0);
    for (const auto& p : processes) {
        uint32_t count = std::min<uint32_t>(p->moduleCount, kMaxModulesPerProcess);
        for (uint32_t i = 0; i < count; ++i)
            if (p->moduleIndex[i] < used.size()) used[p->moduleIndex[i]] = 1;
    }
    std::vector<uint32_t> newIndex(modules.size(), 0);
    size_t kept = 0;
    for (size_t i = 0; i < modules.size(); ++i) {
        if (!used[i]) continue;
        newIndex[i] = uint32_t(kept);
        modules[kept++] = std::move(modules[i]);
    }
    modules.resize(kept);
    for (auto& p : processes) {
        uint32_t count = std::min<uint32_t>(p->moduleCount, kMaxModulesPerProcess);
        for (uint32_t i = 0; i < count; ++i)
            if (p->moduleIndex[i] < newIndex.size()) p->moduleIndex[i] = newIndex[p->moduleIndex[i]];
    }
    tables.ReindexModules();
}

int PublishTables(CChannelBlock& block, IChannelLock& lock, CScanTables& tables, bool full) {
    if (!full) {
        uint8_t state = block.State();
        if (state == CS_FULL_WANTED) return 2;
        if (state != CS_CONSUMED) return 0;
    }
    if (!lock.Acquire()) return 0;

    auto& modules = tables.Modules();
    auto& processes = tables.Processes();
    if (full && modules.size() > kMaxModuleSlots) CompactModules(tables);

    block.SetState(full ? CS_FULL_READY : CS_DELTA_READY);
    block.SetCounts(0, 0);

    // Modules in table order. `held` ends as the number of leading
    // positions the client holds once this publication is merged: in a
    // snapshot, what was copied; in a delta, everything before the first new
    // module that did not fit (modules it knew already keep their places).
    uint32_t moduleCount = 0;
    size_t held = full ? 0 : modules.size();
    for (size_t i = 0; i < modules.size(); ++i) {
        ModuleRecord& rec = *modules[i];
        if (!full && rec.status == ST_REPORTED) continue;
        if (moduleCount == kMaxModuleSlots) {
            if (full) rec.status = ST_NEW;  // unknown to the client: goes out as new
            if (rec.status == ST_NEW && held > i) held = i;
            continue;
        }
        std::memcpy(block.ModuleSlot(moduleCount++), &rec, sizeof rec);
        rec.status = ST_REPORTED;
        if (full) held = i + 1;
    }

    uint32_t processCount = 0;
    for (size_t i = 0; i < processes.size();) {
        ProcessRecord& rec = *processes[i];
        bool selected = full || rec.status != ST_REPORTED;
        if (!selected) {
            ++i;
            continue;
        }
        if (processCount == kMaxProcessSlots || !ModulesHeld(rec, held)) {
            // Not sent this time; a running process the client has not got
            // in this snapshot must reach it as new.
            if (full && !IsEnded(rec.status)) rec.status = ST_NEW;
            ++i;
            continue;
        }
        std::memcpy(block.ProcessSlot(processCount++), &rec, sizeof rec);
        if (IsEnded(rec.status)) {
            processes.erase(processes.begin() + long(i));
            continue;
        }
        rec.status = ST_REPORTED;
        ++i;
    }

    block.SetCounts(processCount, moduleCount);
    lock.Release();
    return 1;
}

}  // namespace ub
