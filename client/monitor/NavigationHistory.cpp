#include "client/monitor/NavigationHistory.h"

#include <algorithm>

namespace ub {

CNavigationHistory::Entry CNavigationHistory::Make(TreeItem item) const {
    Entry e;
    e.item = item;
    if (m_tree) {
        // The item is in the tree now: its ancestors can be read.
        for (TreeItem k = item; k != kNoItem; k = m_tree->Parent(k)) e.place.emplace_back(k, m_tree->ItemData(k));
        std::reverse(e.place.begin(), e.place.end());
    }
    return e;
}

bool CNavigationHistory::InPlace(ITree& tree, const Entry& entry) {
    if (entry.item == kNoItem) return false;
    if (entry.place.empty()) return true;  // taken without a tree
    // From the top down, each node must still be a child of the one above
    // with the same data; only nodes found that way are asked anything.
    TreeItem parent = kNoItem;
    for (const auto& [node, data] : entry.place) {
        TreeItem k = tree.FirstChild(parent);
        while (k != kNoItem && k != node) k = tree.NextSibling(k);
        if (k == kNoItem || tree.ItemData(k) != data) return false;
        parent = k;
    }
    return true;
}

void CNavigationHistory::Reset(TreeItem item) {
    m_entries.clear();
    m_entries.push_back(item == kNoItem ? Entry{} : Make(item));
}

void CNavigationHistory::OnSelected(TreeItem item) {
    if (!m_entries.empty() && m_entries.front().item == item) return;
    m_entries.push_front(Make(item));
}

void CNavigationHistory::SetFirstValue(uintptr_t value) {
    if (!m_entries.empty()) m_entries.front().value = value;
}

void CNavigationHistory::NavigateBack(ITree& tree, const std::function<void(uintptr_t value)>& reselect) {
    while (m_entries.size() > 1) {
        Entry first = m_entries.front();
        m_entries.pop_front();
        // Selecting puts the node back in front with value 0 (OnSelected).
        if (first.item != tree.SelectedItem() && InPlace(tree, first) && tree.SelectItem(first.item)) {
            if (reselect) reselect(first.value);
            return;
        }
    }
    if (!m_entries.empty() && InPlace(tree, m_entries.front())) tree.SelectItem(m_entries.front().item);
}

}  // namespace ub
