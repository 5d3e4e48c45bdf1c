#include "client/shell/win32/Win32Tree.h"

#include <string>

namespace ub {
namespace {

UINT StateBits(uint32_t state) {
    return ((state & TREE_BOLD) ? TVIS_BOLD : 0) | ((state & TREE_CUT) ? TVIS_CUT : 0);
}

}  // namespace

TreeItem CWin32Tree::InsertItem(TreeItem parent, const char* text, int image, uintptr_t data, uint32_t state) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = ParentItem(parent);
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    ins.item.pszText = const_cast<char*>(text);
    ins.item.iImage = image;
    ins.item.iSelectedImage = image;
    ins.item.lParam = LPARAM(data);
    ins.item.state = StateBits(state);
    ins.item.stateMask = TVIS_BOLD | TVIS_CUT;
    return Handle(reinterpret_cast<HTREEITEM>(
        ::SendMessageA(m_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins))));
}

uintptr_t CWin32Tree::ItemData(TreeItem item) {
    TVITEMA it{};
    it.mask = TVIF_PARAM;
    it.hItem = Item(item);
    if (!::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return 0;
    return uintptr_t(it.lParam);
}

void CWin32Tree::SetImage(TreeItem item, int image) {
    TVITEMA it{};
    it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    it.hItem = Item(item);
    it.iImage = image;
    it.iSelectedImage = image;
    ::SendMessageA(m_tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

void CWin32Tree::SetState(TreeItem item, uint32_t state) {
    TVITEMA it{};
    it.mask = TVIF_STATE;
    it.hItem = Item(item);
    it.state = StateBits(state);
    it.stateMask = TVIS_BOLD | TVIS_CUT;
    ::SendMessageA(m_tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

int CALLBACK CWin32Tree::CompareItems(LPARAM a, LPARAM b, LPARAM compare) {
    return (*reinterpret_cast<const TreeCompare*>(compare))(uintptr_t(a), uintptr_t(b));
}

void CWin32Tree::SortChildren(TreeItem parent, const TreeCompare& compare) {
    TVSORTCB sort{};
    sort.hParent = ParentItem(parent);
    sort.lpfnCompare = CompareItems;
    sort.lParam = reinterpret_cast<LPARAM>(&compare);
    TreeView_SortChildrenCB(m_tree, &sort, FALSE);
}

std::string CWin32Tree::ItemText(TreeItem item) {
    char text[512] = "";
    TVITEMA it{};
    it.mask = TVIF_TEXT;
    it.hItem = Item(item);
    it.pszText = text;
    it.cchTextMax = sizeof text;
    ::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return text;
}

uint32_t CWin32Tree::ItemState(TreeItem item) {
    UINT s = TreeView_GetItemState(m_tree, Item(item), TVIS_BOLD | TVIS_CUT);
    return ((s & TVIS_BOLD) ? uint32_t(TREE_BOLD) : 0u) | ((s & TVIS_CUT) ? uint32_t(TREE_CUT) : 0u);
}

int CWin32Tree::ItemImage(TreeItem item) {
    TVITEMA it{};
    it.mask = TVIF_IMAGE;
    it.hItem = Item(item);
    ::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return it.iImage;
}

}  // namespace ub
