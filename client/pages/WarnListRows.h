// The warning list page's rows: every module that warrants a warning, with
// its name and level icon, level text, full path and flags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/controls/ListRows.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"

namespace ub {

// Column headings and widths in pixels ("Warning No." is hidden).
constexpr ListColumn kWarnListColumns[] = {
    {"ModName", 120}, {"Warning Level", 100}, {"FullName", 240}, {"Warning No.", 0}};

// Module flags as "0x%08X".
std::string FlagsText(uint32_t flags);

// One row per module of the table, in table order, for which the warning
// rule holds; each row's data is the module record.
std::vector<ListRow> WarningRows(CTreeController& controller, const CClientTables& tables);

// The module comparator over two rows' records.
int CompareWarningRows(uintptr_t a, uintptr_t b, int key);

}  // namespace ub
