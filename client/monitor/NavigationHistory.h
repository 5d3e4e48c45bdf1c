// The history of visited tree nodes, most recent first. Each entry keeps the
// node and a value: the record or row the user acted on before leaving the
// node, so that going back can select that row again.
//
// Nodes are deleted while the history keeps them (trusted, quarantined or
// recovered modules, stale warnings, rescanned or purged processes), and a
// deleted node's handle may be given to a new one. Each entry therefore also
// keeps the node's place: its ancestors and itself, each with its item
// data. Going back skips an entry whose place is no longer in the tree.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "client/monitor/Tree.h"

namespace ub {

class CNavigationHistory {
public:
    struct Entry {
        TreeItem item = kNoItem;
        uintptr_t value = 0;
        // From the top-level node down to the item: each node and its data.
        std::vector<std::pair<TreeItem, uintptr_t>> place;
    };

    // `tree` is where the entries' places are read; without one, entries
    // are taken as they are.
    explicit CNavigationHistory(ITree* tree = nullptr) : m_tree(tree) {}

    // Empties the history and puts in one entry (item, 0).
    void Reset(TreeItem item);
    // After the tree's selection changed to item: a new first entry (item, 0)
    // unless item is already the first entry's.
    void OnSelected(TreeItem item);
    // Stores the value of the first entry.
    void SetFirstValue(uintptr_t value);
    // The back button: drops entries until one whose node is still in its
    // place and is not the selected one can be selected, then hands its
    // value to reselect. With one entry left, selects its node when it is
    // still there.
    void NavigateBack(ITree& tree, const std::function<void(uintptr_t value)>& reselect);

    const std::deque<Entry>& Entries() const { return m_entries; }

private:
    Entry Make(TreeItem item) const;
    static bool InPlace(ITree& tree, const Entry& entry);

    ITree* m_tree;
    std::deque<Entry> m_entries{Entry{}};
};

}  // namespace ub
