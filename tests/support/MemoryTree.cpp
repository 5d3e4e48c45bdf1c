#include "tests/support/MemoryTree.h"

#include <algorithm>
#include <stdexcept>

namespace ub::test {

void CMemoryTree::Missing(TreeItem item) {
    throw std::logic_error("tree item " + std::to_string(item) + " does not exist");
}

TreeItem CMemoryTree::InsertItem(TreeItem parent, const char* text, int image, uintptr_t data, uint32_t state) {
    Node& p = parent == kNoItem ? m_top : At(parent);
    TreeItem item;
    if (!m_free.empty()) {
        item = m_free.back();
        m_free.pop_back();
    } else {
        if (m_count % kChunk == 0) m_chunks.push_back(std::make_unique<Node[]>(kChunk));
        item = ++m_count;
    }
    Node& n = m_chunks[(item - 1) / kChunk][(item - 1) % kChunk];
    n = Node();
    n.text = text;
    n.image = image;
    n.data = data;
    n.state = uint16_t(state);
    n.parent = uint32_t(parent);
    n.prev = p.last;
    if (p.last != kNoItem) At(p.last).next = uint32_t(item);
    else p.first = uint32_t(item);
    p.last = uint32_t(item);
    ++inserts;
    ++m_live;
    return item;
}

void CMemoryTree::Unlink(TreeItem item) {
    Node& n = At(item);
    Node& p = n.parent == kNoItem ? m_top : At(n.parent);
    if (n.prev != kNoItem) At(n.prev).next = n.next;
    else p.first = n.next;
    if (n.next != kNoItem) At(n.next).prev = n.prev;
    else p.last = n.prev;
    n.next = n.prev = 0;
}

void CMemoryTree::DeleteItem(TreeItem item) {
    while (At(item).first != kNoItem) DeleteItem(At(item).first);
    Unlink(item);
    if (m_selected == item) m_selected = kNoItem;
    Node& n = At(item);
    n.alive = false;
    m_free.push_back(item);
    ++deletes;
    --m_live;
}

void CMemoryTree::SortChildren(TreeItem parent, const TreeCompare& compare) {
    std::vector<TreeItem> kids = Children(parent);
    std::stable_sort(kids.begin(), kids.end(),
                     [&](TreeItem a, TreeItem b) { return compare(At(a).data, At(b).data) < 0; });
    Node& p = parent == kNoItem ? m_top : At(parent);
    p.first = p.last = kNoItem;
    for (TreeItem k : kids) {
        Node& n = At(k);
        n.prev = p.last;
        n.next = 0;
        if (p.last != kNoItem) At(p.last).next = uint32_t(k);
        else p.first = uint32_t(k);
        p.last = uint32_t(k);
    }
    ++sorts;
}

bool CMemoryTree::SelectItem(TreeItem item) {
    if (item == kNoItem || item > m_count || !m_chunks[(item - 1) / kChunk][(item - 1) % kChunk].alive) return false;
    if (m_selected == item) return true;
    m_selected = item;
    if (onSelChanged) onSelChanged(item);
    return true;
}

std::vector<TreeItem> CMemoryTree::Children(TreeItem parent) {
    std::vector<TreeItem> kids;
    for (TreeItem k = FirstChild(parent); k != kNoItem; k = At(k).next) kids.push_back(k);
    return kids;
}

std::vector<std::string> CMemoryTree::ChildTexts(TreeItem parent) {
    std::vector<std::string> texts;
    for (TreeItem k : Children(parent)) texts.push_back(At(k).text);
    return texts;
}

}  // namespace ub::test
