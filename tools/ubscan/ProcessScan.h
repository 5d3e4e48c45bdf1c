// One scan round over every running process, and a printed table of the
// result.
#pragma once

#include <cstdint>
#include <cstdio>

#include "service/ScanTables.h"

namespace ub {

// Enumerates the process IDs (at most 1024), marks the ended records and
// scans each ID. Returns false when the enumeration fails.
bool RunScanRound(IProcessSource& source, CScanTables& tables, int designated, bool firstRound);

using LevelColumnFn = const char* (*)(uint32_t flags);

// One line per process ("PID", ID, path of its main module), then one
// indented line per module: flags, level column, full path. Module indices
// outside `modules` are passed over.
void PrintRecords(std::FILE* out, const std::vector<std::unique_ptr<ModuleRecord>>& modules,
                  const std::vector<std::unique_ptr<ProcessRecord>>& processes, LevelColumnFn levelColumn);

inline void PrintTables(std::FILE* out, const CScanTables& tables, LevelColumnFn levelColumn) {
    PrintRecords(out, tables.Modules(), tables.Processes(), levelColumn);
}

}  // namespace ub
