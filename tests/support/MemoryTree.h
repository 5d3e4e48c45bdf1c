// An in-memory tree behind the tree interface, for tests and benchmarks.
// Items are numbered from 1; the number of a deleted item is given to a
// later one.
#pragma once

#include <memory>
#include <functional>
#include <string>
#include <vector>

#include "client/monitor/Tree.h"

namespace ub::test {

class CMemoryTree : public ITree {
public:
    // Links are item numbers; 32 bits keep a node within two cache lines.
    struct Node {
        std::string text;
        uintptr_t data = 0;
        int32_t image = 0;
        uint16_t state = 0;
        bool alive = true;
        bool expanded = false;
        uint32_t parent = 0, first = 0, last = 0, next = 0, prev = 0;
    };

    // Called after the selection changed, as a tree window notifies.
    std::function<void(TreeItem)> onSelChanged;
    int inserts = 0, deletes = 0, sorts = 0;

    TreeItem InsertItem(TreeItem parent, const char* text, int image, uintptr_t data, uint32_t state) override;
    void DeleteItem(TreeItem item) override;
    TreeItem FirstChild(TreeItem parent) override { return parent == kNoItem ? m_top.first : At(parent).first; }
    TreeItem NextSibling(TreeItem item) override { return At(item).next; }
    TreeItem Parent(TreeItem item) override { return At(item).parent; }
    uintptr_t ItemData(TreeItem item) override { return At(item).data; }
    void SetImage(TreeItem item, int image) override { At(item).image = image; }
    void SetState(TreeItem item, uint32_t state) override { At(item).state = state; }
    void SortChildren(TreeItem parent, const TreeCompare& compare) override;
    void Expand(TreeItem item) override { At(item).expanded = true; }
    void EnsureVisible(TreeItem item) override { visible = item; }
    bool SelectItem(TreeItem item) override;
    TreeItem SelectedItem() override { return m_selected; }

    // Test views.
    TreeItem visible = kNoItem;
    const Node& NodeOf(TreeItem item) { return At(item); }
    std::vector<TreeItem> Children(TreeItem parent);
    std::vector<std::string> ChildTexts(TreeItem parent);
    size_t LiveCount() const { return m_live; }

private:
    Node& At(TreeItem item) {
        if (item == kNoItem || item > m_count) Missing(item);
        Node& n = m_chunks[(item - 1) / kChunk][(item - 1) % kChunk];
        if (!n.alive) Missing(item);
        return n;
    }
    [[noreturn]] static void Missing(TreeItem item);
    void Unlink(TreeItem item);

    // Nodes in fixed chunks, so that references stay valid as the tree grows.
    static constexpr size_t kChunk = 256;
    std::vector<std::unique_ptr<Node[]>> m_chunks;
    size_t m_count = 0;
    std::vector<TreeItem> m_free;
    Node m_top;
    TreeItem m_selected = kNoItem;
    size_t m_live = 0;
};

}  // namespace ub::test
