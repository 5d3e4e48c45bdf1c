// The rows of the authentic and quarantine list pages, one per entry in
// list order, and their order by the entry comparator.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "client/controls/ListRows.h"
#include "client/quarantine/Entries.h"

namespace ub {

constexpr ListColumn kAuthenticColumns[] = {{"ModName", 120}, {"FullName", 240}, {"Date", 120}};
constexpr ListColumn kQuarantineColumns[] = {
    {"ModName", 120}, {"Original Path", 240}, {"Date", 120}, {"Status", 60}};

// The text of an entry's time (UTC) as the "Date" column shows it.
using EntryTimeText = std::function<std::string(const FileTime& utc)>;

// Name with the authentic icon, path, date.
std::vector<ListRow> AuthenticRows(const AuthenticList& entries, const EntryTimeText& timeText);
// Backup name (no icon), original path, date, status text.
std::vector<ListRow> QuarantineRows(const QuarantineList& entries, const EntryTimeText& timeText);

int CompareAuthenticRows(uintptr_t a, uintptr_t b, int key);
int CompareQuarantineRows(uintptr_t a, uintptr_t b, int key);

}  // namespace ub
