// The client's copies of the service's tables, rebuilt from snapshots and
// kept up to date by merging each publication. Positions in the module
// table equal the service's, so module indices of process records are used
// as positions. Owned and used by the user-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/ChannelBlock.h"

namespace ub {

// Client-only record statuses.
enum : uint8_t {
    ST_NEW_SHOWN = 2,
    ST_FINISHED_SHOWN = 5,
};

// The most module records the client keeps. A genuine service's table only
// grows as modules are really loaded (its block holds 8102 at once); a
// block writer that sends new paths in every delta must not grow it
// without bound.
constexpr size_t kMaxClientModules = 8 * kMaxModuleSlots;
// The same for process records: ended processes stay until they are purged
// or a snapshot comes, and a block writer could send new ones in every delta.
constexpr size_t kMaxClientProcesses = 8 * kMaxProcessSlots;

class CClientTables : public IChannelMerge {
public:
    std::vector<std::unique_ptr<ModuleRecord>> modules;
    std::vector<std::unique_ptr<ProcessRecord>> processes;

    // Set when a merge dropped new modules or processes at their cap: the next refresh
    // asks for a complete snapshot, which empties the tables. The records
    // held keep their positions, which the merge relies on.
    bool WantsSnapshot() const { return m_wantsSnapshot; }

    void ClearTables() override;
    // Merges the module slots, then the process slots. The block is not
    // trusted: counts are clamped to the slots there are, strings are cut at
    // their buffer's end, and a process whose main-module index lies outside
    // the module table is skipped.
    void Merge(const CChannelBlock& block) override;
    // After a refresh: modules back to 0; processes 1 → 2, 3 and 4 → 5,
    // 100 + s → s.
    void AgeStatuses();

    // First module with this full path (letter case ignored), or -1.
    int FindModuleByPath(const char* path) const;
    // The running (status not 3, 4 or 5) record with this ID whose main
    // module has this path, or -1.
    int FindRunningProcess(uint32_t processId, const char* mainPath) const;
    // Full path of a process's main module, or nullptr when its index lies
    // outside the module table.
    const char* MainModulePath(const ProcessRecord& rec) const;

private:
    void MergeModule(const ModuleRecord& slot);
    void MergeProcess(const ProcessRecord& slot);

    std::unordered_map<std::string, int> m_moduleIndex;  // folded path -> first position
    bool m_wantsSnapshot = false;
};

// Refresh period of the client's second timer for a CliSpeed setting.
uint32_t RefreshPeriodMs(int32_t cliSpeed);

}  // namespace ub
