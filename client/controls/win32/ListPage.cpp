#include "client/controls/win32/ListPage.h"

#include "client/controls/ListSort.h"

namespace ub {

BOOL CListPage::OnInitDialog() {
    CSkinPage::OnInitDialog();
    win::CListView list = ListView();
    if (list) {
        if (m_images) {
            // The image list is the tree's: destroying the list must leave it.
            HWND hwnd = list.Handle();
            ::SetWindowLongPtrA(hwnd, GWL_STYLE, ::GetWindowLongPtrA(hwnd, GWL_STYLE) | LVS_SHAREIMAGELISTS);
            list.SetSmallImageList(m_images);
        }
        // Full-row selection as the only extended style.
        list.SetExtendedStyle(0, LVS_EX_FULLROWSELECT);
    }
    return TRUE;
}

void CListPage::Fill(std::vector<ListRow> rows) {
    win::CListView list = ListView();
    if (!list) return;
    ArrangeFill(rows, [this](uintptr_t a, uintptr_t b) { return CompareRows(a, b); });
    ::SendMessageA(list.Handle(), WM_SETREDRAW, FALSE, 0);
    list.DeleteAllItems();
    for (const ListRow& row : rows) {
        int image = row.icon && m_images && m_indexes ? m_indexes->Of(row.icon) : -1;
        const char* first = row.texts.empty() ? "" : row.texts[0].c_str();
        int index = list.InsertItem(list.GetItemCount(), first, image, row.data);
        if (index < 0) continue;
        for (size_t sub = 1; sub < row.texts.size(); ++sub) list.SetSubItem(index, int(sub), row.texts[sub].c_str());
        list.SetItemState(index, 0, LVIS_SELECTED | LVIS_FOCUSED);
    }
    ::SendMessageA(list.Handle(), WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list.Handle(), nullptr, TRUE);
}

int CALLBACK CListPage::CompareCallback(LPARAM a, LPARAM b, LPARAM page) {
    return reinterpret_cast<const CListPage*>(page)->CompareRows(uintptr_t(a), uintptr_t(b));
}

void CListPage::SortRows() {
    if (win::CListView list = ListView()) list.SortItems(CompareCallback, reinterpret_cast<LPARAM>(this));
}

int CListPage::ForEachSelected(const std::function<void(uintptr_t data)>& act) {
    win::CListView list = ListView();
    if (!list) return -1;
    return VisitSelected([&](int start) { return list.GetNextSelectedItem(start); },
                         [&](int row) { act(list.GetItemParam(row)); });
}

uintptr_t CListPage::FirstSelectedData() const {
    win::CListView list = ListView();
    int row = list ? list.GetNextSelectedItem(-1) : -1;
    return row < 0 ? 0 : list.GetItemParam(row);
}

void CListPage::MoveButton(int id, int x, int y, bool top) {
    ::SetWindowPos(Item(id), top ? HWND_TOP : nullptr, x, y, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | (top ? 0 : SWP_NOZORDER));
}

int CListPage::ShowContext(uintptr_t) {
    Refill();
    return 1;
}

int CListPage::OnTablesChanged(int mode, uintptr_t) {
    if (mode == 2) Refill();
    return 0;
}

int CListPage::Reselect(uintptr_t value) {
    win::CListView list = ListView();
    if (!value || !list) return 0;
    int count = list.GetItemCount();
    for (int row = 0; row < count; ++row) {
        if (list.GetItemParam(row) != value) continue;
        list.FocusRow(row);
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
            if (header->idFrom != kListId) break;
            if (header->code == LVN_COLUMNCLICK) {
                m_sortKey = NextSortKey(m_sortKey, reinterpret_cast<NMLISTVIEW*>(lp)->iSubItem);
                SortRows();
                return TRUE;
            }
            if (header->code == NM_DBLCLK) {
                OnDoubleClick();
                return TRUE;
            }
            break;
        }
    }
    return CSkinPage::DialogProc(msg, wp, lp);
}

}  // namespace ub
