// The sort key of a list page: 2 × column + direction (0 ascending, 1
// descending). A header click makes the clicked column current and flips
// the direction, whichever column was current before.
#pragma once

namespace ub {

inline int NextSortKey(int key, int clickedColumn) { return 2 * clickedColumn + (1 - (key & 1)); }
inline int SortColumn(int key) { return key / 2; }
inline bool SortDescending(int key) { return (key & 1) != 0; }

}  // namespace ub
