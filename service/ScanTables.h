// The service's process and module tables.
//
// Records are heap-allocated in their published byte layout. Positions in
// the module table are module indices: the table only grows and a record is
// never moved. Owned and used by the scan thread only; no locking.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/SharedFormat.h"
#include "service/ProcessSource.h"

namespace ub {

constexpr int kRescanAll = -1;
constexpr int kRescanNone = -2;

class CScanTables {
public:
    explicit CScanTables(IProcessSource& source) : m_source(source) {}
    CScanTables(const CScanTables&) = delete;
    CScanTables& operator=(const CScanTables&) = delete;

    // Scans one process into the tables. `designated` is the process-table
    // position to rescan this round, kRescanAll or kRescanNone. Returns 1
    // when the process was scanned, 0 when skipped or unreadable.
    int ScanProcess(uint32_t processId, int designated, bool firstRound);

    // Position of the module with this full path (letter case ignored), or -1.
    int FindModuleByPath(const char* fullPath) const;
    // Position of the running (not ended) record with this ID, or -1.
    int FindProcess(uint32_t processId) const;
    // Marks as ended every running record whose ID is not among `ids` or
    // whose process has ended (its ID may already name a new process); reads
    // the final times and closes the handle.
    void MarkEndedProcesses(const uint32_t* ids, uint32_t count);
    // Frees every record. Handles of running records are not closed.
    void ReleaseTables();

    std::vector<std::unique_ptr<ModuleRecord>>& Modules() { return m_modules; }
    std::vector<std::unique_ptr<ProcessRecord>>& Processes() { return m_processes; }
    const std::vector<std::unique_ptr<ModuleRecord>>& Modules() const { return m_modules; }
    const std::vector<std::unique_ptr<ProcessRecord>>& Processes() const { return m_processes; }

    // Rebuilds the path index after the module table was changed from outside.
    void ReindexModules();

private:
    int AttachModule(uint32_t handle, uint64_t module, const char* path, const char* baseName,
                     uint32_t imageSize);
    static std::string PathKey(const char* path);

    IProcessSource& m_source;
    std::vector<std::unique_ptr<ModuleRecord>> m_modules;
    std::vector<std::unique_ptr<ProcessRecord>> m_processes;
    // Folded full path -> first table position with that path. Gives the
    // same answer as a linear search from position 0 without its cost.
    std::unordered_map<std::string, int> m_moduleIndex;
};

}  // namespace ub
