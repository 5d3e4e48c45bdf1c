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

// One line per process ("PID", ID, path of its main module), then one
// indented line per module: flags, level column, full path.
void PrintTables(std::FILE* out, const CScanTables& tables, const char* (*levelColumn)(uint32_t));

}  // namespace ub
