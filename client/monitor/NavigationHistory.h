// The history of visited tree nodes, most recent first. Each entry keeps the
// node and a value: the record or row the user acted on before leaving the
// node, so that going back can select that row again.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "client/monitor/Tree.h"

namespace ub {

class CNavigationHistory {
public:
    struct Entry {
        TreeItem item = kNoItem;
        uintptr_t value = 0;
    };

    // Empties the history and puts in one entry (item, 0).
    void Reset(TreeItem item);
    // After the tree's selection changed to item: a new first entry (item, 0)
    // unless item is already the first entry's.
    void OnSelected(TreeItem item);
    // Stores the value of the first entry.
    void SetFirstValue(uintptr_t value);
    // The back button: drops entries until one whose node is not the
    // selected one can be selected, then hands its value to reselect. With
    // one entry left, selects its node when it has one.
    void NavigateBack(ITree& tree, const std::function<void(uintptr_t value)>& reselect);

    const std::deque<Entry>& Entries() const { return m_entries; }

private:
    std::deque<Entry> m_entries{Entry{}};
};

}  // namespace ub
