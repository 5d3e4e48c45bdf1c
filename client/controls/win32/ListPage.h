// The base of every page built round a list control with id 1002: the list
// in report view with full-row selection and the tree's image list, the
// caption, the sort key, the list's placement and reselecting a row after
// going back.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "client/controls/win32/SkinPage.h"

namespace ub {

constexpr int kListId = 1002;

class CListPage : public CSkinPage {
public:
    CListPage(int templateId, HIMAGELIST images) : CSkinPage(templateId), m_images(images) {}

    HWND List() const { return Item(kListId); }
    int SortKey() const { return m_sortKey; }

    // Selects, focuses and shows the row whose item data is `value`; 1 when
    // there is one, 0 otherwise (also for an empty value).
    int Reselect(uintptr_t value) override;

protected:
    BOOL OnInitDialog() override;
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
    // A header click: the page sorts its rows with the new key.
    virtual void OnSortKeyChanged() {}
    // The page moved its list; buttons under the list follow here.
    virtual void OnResized(int cx, int cy) {
        (void)cx, (void)cy;
    }

    int m_sortKey = 0;

private:
    HIMAGELIST m_images;
};

}  // namespace ub
