// The rows of a list page as plain values, and the rules every list page
// shares: the order a fill leaves its rows in, and the walk over the
// selected rows. Portable; the pages put the rows into their list control.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ub {

// A column's heading and width in pixels; left-aligned.
struct ListColumn {
    const char* heading;
    int width;
};

struct ListRow {
    std::vector<std::string> texts;  // column 0 first
    int icon = 0;                    // icon resource of the row, 0 for none
    uintptr_t data = 0;              // the record the row points to
};

// Orders two rows by their item data: negative, 0 or positive.
using RowCompare = std::function<int(uintptr_t a, uintptr_t b)>;

// A fill inserts each row at position 0, in the order given, then sorts all
// rows once; rows that compare equal keep their inserted order.
inline void ArrangeFill(std::vector<ListRow>& rows, const RowCompare& compare) {
    std::reverse(rows.begin(), rows.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const ListRow& a, const ListRow& b) { return compare(a.data, b.data) < 0; });
}

// Visits the selected rows in list order; the next selected row is looked
// up before the current one is acted on. `next(start)` is the first
// selected row after `start` (-1: from the top), or -1. Returns the last row
// visited, -1 when none was selected.
template <class Next, class Act>
int VisitSelected(Next next, Act act) {
    int last = -1;
    for (int row = next(-1); row >= 0;) {
        int following = next(row);
        act(row);
        last = row;
        row = following;
    }
    return last;
}

// The row a page scrolls into view after acting on its selection: the last
// row visited (an index into the refilled list), row 0 when none was.
inline int ScrollRowAfter(int lastVisited) { return lastVisited < 0 ? 0 : lastVisited; }

}  // namespace ub
