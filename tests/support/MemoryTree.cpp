#include "tests/support/MemoryTree.h"

#include <algorithm>
#include <stdexcept>

namespace ub::test {

CMemoryTree::Node& CMemoryTree::At(TreeItem item) {
    if (item == kNoItem || item > m_count) throw std::logic_error("tree item " + std::to_string(item) + " does not exist");
    Node& n = m_chunks[(item - 1) / kChunk][(item - 1) % kChunk];
    if (!n.alive) throw std::logic_error("tree item " + std::to_string(item) + " was deleted");
    return n;
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
    n.state = state;
    n.parent = parent;
    n.prev = p.last;
    if (p.last != kNoItem) At(p.last).next = item;
    else p.first = item;
    p.last = item;
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
    n.next = n.prev = kNoItem;
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
        n.next = kNoItem;
        if (p.last != kNoItem) At(p.last).next = k;
        else p.first = k;
        p.last = k;
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
