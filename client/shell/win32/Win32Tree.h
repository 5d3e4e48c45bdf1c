// The tree interface over a SysTreeView32 control: thin one-liners over its
// messages. Items are HTREEITEM values; the top level is TVI_ROOT.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "client/monitor/Tree.h"

namespace ub {

class CWin32Tree : public ITree {
public:
    explicit CWin32Tree(HWND tree = nullptr) : m_tree(tree) {}
    void Attach(HWND tree) { m_tree = tree; }
    HWND Handle() const { return m_tree; }

    TreeItem InsertItem(TreeItem parent, const char* text, int image, uintptr_t data, uint32_t state) override;
    void DeleteItem(TreeItem item) override { TreeView_DeleteItem(m_tree, Item(item)); }
    TreeItem FirstChild(TreeItem parent) override { return Handle(TreeView_GetChild(m_tree, ParentItem(parent))); }
    TreeItem NextSibling(TreeItem item) override { return Handle(TreeView_GetNextSibling(m_tree, Item(item))); }
    TreeItem Parent(TreeItem item) override { return Handle(TreeView_GetParent(m_tree, Item(item))); }
    uintptr_t ItemData(TreeItem item) override;
    void SetImage(TreeItem item, int image) override;
    void SetState(TreeItem item, uint32_t state) override;
    void SortChildren(TreeItem parent, const TreeCompare& compare) override;
    void Expand(TreeItem item) override { TreeView_Expand(m_tree, Item(item), TVE_EXPAND); }
    // Scrolls the item to the top of the tree.
    void EnsureVisible(TreeItem item) override { TreeView_Select(m_tree, Item(item), TVGN_FIRSTVISIBLE); }
    bool SelectItem(TreeItem item) override { return TreeView_SelectItem(m_tree, Item(item)) != FALSE; }
    TreeItem SelectedItem() override { return Handle(TreeView_GetSelection(m_tree)); }

    std::string ItemText(TreeItem item);
    uint32_t ItemState(TreeItem item);
    int ItemImage(TreeItem item);

    static HTREEITEM Item(TreeItem item) { return reinterpret_cast<HTREEITEM>(item); }
    static TreeItem Handle(HTREEITEM item) { return reinterpret_cast<TreeItem>(item); }

private:
    static HTREEITEM ParentItem(TreeItem parent) { return parent == kNoItem ? TVI_ROOT : Item(parent); }
    static int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM compare);

    HWND m_tree;
};

}  // namespace ub
