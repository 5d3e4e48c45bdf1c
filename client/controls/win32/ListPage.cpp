#include "client/controls/win32/ListPage.h"

#include "client/controls/ListSort.h"

namespace ub {

BOOL CListPage::OnInitDialog() {
    CSkinPage::OnInitDialog();
    HWND list = List();
    if (list) {
        if (m_images) ListView_SetImageList(list, m_images, LVSIL_SMALL);
        // Full-row selection as the only extended style.
        ListView_SetExtendedListViewStyleEx(list, 0, LVS_EX_FULLROWSELECT);
    }
    return TRUE;
}

int CListPage::Reselect(uintptr_t value) {
    HWND list = List();
    if (!value || !list) return 0;
    int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (!::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) continue;
        if (uintptr_t(item.lParam) != value) continue;
        ::SetFocus(list);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, row, FALSE);
        return 1;
    }
    return 0;
}

INT_PTR CListPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: {
            HWND list = List();
            if (!list) break;
            int cx = LOWORD(lp), cy = HIWORD(lp);
            ::MoveWindow(list, 20, 40, cx - 40, cy - 80, TRUE);
            OnResized(cx, cy);
            return TRUE;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (header->idFrom == kListId && header->code == LVN_COLUMNCLICK) {
                m_sortKey = NextSortKey(m_sortKey, reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem);
                OnSortKeyChanged();
                return TRUE;
            }
            break;
        }
    }
    return CSkinPage::DialogProc(msg, wp, lp);
}

}  // namespace ub
