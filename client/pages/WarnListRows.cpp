#include "client/pages/WarnListRows.h"

#include <cstdio>

#include "client/monitor/WarningLevel.h"

namespace ub {

std::string FlagsText(uint32_t flags) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(flags));
    return text;
}

std::vector<ListRow> WarningRows(CTreeController& controller, const CClientTables& tables) {
    std::vector<ListRow> rows;
    for (const auto& m : tables.modules) {
        if (!controller.IsWarning(*m)) continue;
        ListRow row;
        row.texts = {m->baseName, WarningLevelText(WarningLevelOf(m->flags)), m->fullPath, FlagsText(m->flags)};
        row.icon = LevelIcon(m->flags, false);  // a listed module is not on a trusted path
        row.data = reinterpret_cast<uintptr_t>(m.get());
        rows.push_back(std::move(row));
    }
    return rows;
}

int CompareWarningRows(uintptr_t a, uintptr_t b, int key) {
    return CompareModules(*reinterpret_cast<const ModuleRecord*>(a), *reinterpret_cast<const ModuleRecord*>(b), key);
}

}  // namespace ub
