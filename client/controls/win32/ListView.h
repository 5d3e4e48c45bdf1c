// A non-owning wrapper over a report-view list control: one-line forwarders
// over its messages, so that no page fills an LVITEM or LVCOLUMN by hand.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

namespace ub::win {

class CListView {
public:
    explicit CListView(HWND list = nullptr) : m_list(list) {}
    HWND Handle() const { return m_list; }
    explicit operator bool() const { return m_list != nullptr; }

    int InsertColumn(int index, const char* heading, int width) const {
        LVCOLUMNA c{};
        c.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        c.fmt = LVCFMT_LEFT;
        c.cx = width;
        c.pszText = const_cast<char*>(heading);
        c.iSubItem = index;
        return int(Send(LVM_INSERTCOLUMNA, WPARAM(index), reinterpret_cast<LPARAM>(&c)));
    }
    // A row with its text, image (-1 for none) and item data; its index or -1.
    int InsertItem(int index, const char* text, int image, uintptr_t param) const {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
        item.iItem = index;
        item.pszText = const_cast<char*>(text);
        item.iImage = image;
        item.lParam = LPARAM(param);
        return int(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }
    bool SetSubItem(int index, int sub, const char* text) const {
        LVITEMA item{};
        item.iSubItem = sub;
        item.pszText = const_cast<char*>(text);
        return Send(LVM_SETITEMTEXTA, WPARAM(index), reinterpret_cast<LPARAM>(&item)) != 0;
    }
    uintptr_t GetItemParam(int index) const {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        return Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? uintptr_t(item.lParam) : 0;
    }
    // The first selected row after `start` (-1: from the top), or -1.
    int GetNextSelectedItem(int start) const {
        return int(Send(LVM_GETNEXTITEM, WPARAM(start), MAKELPARAM(LVNI_SELECTED, 0)));
    }
    void SetItemState(int index, UINT state, UINT mask) const {
        LVITEMA item{};
        item.stateMask = mask;
        item.state = state;
        Send(LVM_SETITEMSTATE, WPARAM(index), reinterpret_cast<LPARAM>(&item));
    }
    bool SortItems(PFNLVCOMPARE compare, LPARAM context) const {
        return Send(LVM_SORTITEMS, WPARAM(context), reinterpret_cast<LPARAM>(compare)) != 0;
    }
    bool EnsureVisible(int index) const { return Send(LVM_ENSUREVISIBLE, WPARAM(index), FALSE) != 0; }
    // Gives the list the focus, selects and focuses the row and shows it.
    void FocusRow(int index) const {
        ::SetFocus(m_list);
        SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        EnsureVisible(index);
    }
    bool DeleteAllItems() const { return Send(LVM_DELETEALLITEMS) != 0; }
    int GetItemCount() const { return int(Send(LVM_GETITEMCOUNT)); }
    void SetSmallImageList(HIMAGELIST images) const {
        Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    }
    void SetExtendedStyle(DWORD mask, DWORD style) const { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style); }

private:
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_list, msg, wp, lp); }

    HWND m_list;
};

}  // namespace ub::win
