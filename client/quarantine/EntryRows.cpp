#include "client/quarantine/EntryRows.h"

#include "client/monitor/Classification.h"

namespace ub {

std::vector<ListRow> AuthenticRows(const AuthenticList& entries, const EntryTimeText& timeText) {
    std::vector<ListRow> rows;
    for (const auto& e : entries) {
        ListRow row;
        row.texts = {e->name, e->path, timeText(e->time)};
        row.icon = ICON_AUTHENTIC;
        row.data = reinterpret_cast<uintptr_t>(e.get());
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ListRow> QuarantineRows(const QuarantineList& entries, const EntryTimeText& timeText) {
    std::vector<ListRow> rows;
    for (const auto& e : entries) {
        ListRow row;
        row.texts = {e->backupName, e->originalPath, timeText(e->time), QuarantineStatusText(e->status)};
        row.data = reinterpret_cast<uintptr_t>(e.get());
        rows.push_back(std::move(row));
    }
    return rows;
}

int CompareAuthenticRows(uintptr_t a, uintptr_t b, int key) {
    return CompareEntries(*reinterpret_cast<const AuthenticEntry*>(a), *reinterpret_cast<const AuthenticEntry*>(b),
                          key);
}

int CompareQuarantineRows(uintptr_t a, uintptr_t b, int key) {
    return CompareEntries(*reinterpret_cast<const QuarantineEntry*>(a), *reinterpret_cast<const QuarantineEntry*>(b),
                          key);
}

}  // namespace ub
