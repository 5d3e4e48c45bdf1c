#include "client/monitor/NavigationHistory.h"

namespace ub {

void CNavigationHistory::Reset(TreeItem item) {
    m_entries.clear();
    m_entries.push_back(Entry{item, 0});
}

void CNavigationHistory::OnSelected(TreeItem item) {
    if (!m_entries.empty() && m_entries.front().item == item) return;
    m_entries.push_front(Entry{item, 0});
}

void CNavigationHistory::SetFirstValue(uintptr_t value) {
    if (!m_entries.empty()) m_entries.front().value = value;
}

void CNavigationHistory::NavigateBack(ITree& tree, const std::function<void(uintptr_t value)>& reselect) {
    while (m_entries.size() > 1) {
        Entry first = m_entries.front();
        m_entries.pop_front();
        // Selecting puts the node back in front with value 0 (OnSelected).
        if (first.item != tree.SelectedItem() && tree.SelectItem(first.item)) {
            if (reselect) reselect(first.value);
            return;
        }
    }
    if (!m_entries.empty() && m_entries.front().item != kNoItem) tree.SelectItem(m_entries.front().item);
}

}  // namespace ub
