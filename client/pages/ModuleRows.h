// The module list of a process: one row per loaded module with its level
// icon and address range, and the list's own comparison of two positions.
// Portable; the page puts the rows into its list control.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/controls/ListRows.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"

namespace ub {

// Column headings and widths in pixels ("Warning No." is hidden).
constexpr ListColumn kProcModColumns[] = {{"ModName", 120}, {"Address", 160}, {"FullName", 240}, {"Warning No.", 0}};

// "0x%08X - 0x%08X": the base and the last byte of the image (32 bits).
std::string AddressRangeText(uint32_t base, uint32_t size);

// The rows of every loaded module in load order; each row's data is the
// module's position in the process's arrays. A position whose module index
// is outside the table gets no row.
std::vector<ListRow> ProcessModuleRows(CTreeController& controller, const ProcessRecord& process,
                                       const CClientTables& tables);

// Order of two positions of the process's arrays for a sort key 0 to 7
// (names and paths with case ignored, addresses and flags unsigned); any
// other key, or a position without a module, compares equal.
int CompareProcessModules(const ProcessRecord& process, const CClientTables& tables, uintptr_t a, uintptr_t b,
                          int key);

}  // namespace ub
