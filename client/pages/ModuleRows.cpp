#include "client/pages/ModuleRows.h"

#include <cstdio>

#include "client/pages/WarnListRows.h"
#include "common/TextFold.h"
#include "common/ThreeWay.h"

namespace ub {
namespace {

uint32_t ModuleCount(const ProcessRecord& p) {
    return p.moduleCount < kMaxModulesPerProcess ? p.moduleCount : kMaxModulesPerProcess;
}

const ModuleRecord* ModuleAtPosition(const ProcessRecord& p, const CClientTables& tables, uintptr_t position) {
    if (position >= ModuleCount(p) || p.moduleIndex[position] >= tables.modules.size()) return nullptr;
    return tables.modules[p.moduleIndex[position]].get();
}

}  // namespace

std::string AddressRangeText(uint32_t base, uint32_t size) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X - 0x%08X", unsigned(base), unsigned(base + size - 1));
    return text;
}

std::vector<ListRow> ProcessModuleRows(CTreeController& controller, const ProcessRecord& p,
                                       const CClientTables& tables) {
    std::vector<ListRow> rows;
    for (uint32_t i = 0; i < ModuleCount(p); ++i) {
        const ModuleRecord* m = ModuleAtPosition(p, tables, i);
        if (!m) continue;
        ListRow row;
        row.texts = {m->baseName, AddressRangeText(p.moduleBase[i], p.moduleSize[i]), m->fullPath,
                     FlagsText(m->flags)};
        row.icon = LevelIcon(m->flags, controller.IsTrusted(*m));
        row.data = i;
        rows.push_back(std::move(row));
    }
    return rows;
}

int CompareProcessModules(const ProcessRecord& p, const CClientTables& tables, uintptr_t a, uintptr_t b, int key) {
    if (key < 0 || key > 7) return 0;
    const ModuleRecord* ma = ModuleAtPosition(p, tables, a);
    const ModuleRecord* mb = ModuleAtPosition(p, tables, b);
    if (!ma || !mb) return 0;
    int r;
    switch (key / 2) {
        case 0: r = CompareIgnoreCase(ma->baseName, mb->baseName); break;
        case 1: r = ThreeWay(p.moduleBase[a], p.moduleBase[b]); break;
        case 2: r = CompareIgnoreCase(ma->fullPath, mb->fullPath); break;
        case 3: r = ThreeWay(ma->flags, mb->flags); break;
        default: return 0;
    }
    return key % 2 ? -r : r;
}

}  // namespace ub
