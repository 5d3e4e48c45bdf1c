// The base of every page built round a list control with id 1002: the list
// in report view with full-row selection and (optionally) the tree's image
// list, the caption, the sort key, the list's placement, filling and
// sorting rows, the walk over the selected rows and reselecting a row after
// going back.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

#include "client/controls/ListRows.h"
#include "client/controls/win32/ListView.h"
#include "client/controls/win32/SkinPage.h"
#include "client/monitor/ImageIndexes.h"

namespace ub {

constexpr int kListId = 1002;

class CListPage : public CSkinPage {
public:
    // `images` is shared, never destroyed by the list, and `indexes` says
    // where each icon is in it; both null for rows without icons.
    CListPage(int templateId, HIMAGELIST images, const CImageIndexes* indexes)
        : CSkinPage(templateId), m_images(images), m_indexes(indexes) {}

    HWND List() const { return Item(kListId); }
    int SortKey() const { return m_sortKey; }

    // Fills the list with the page's rows.
    int ShowContext(uintptr_t parameter) override;
    // The rows stay as they are while the page is on screen, but after a
    // snapshot every record and entry they point to is new: the list is
    // filled again.
    int OnTablesChanged(int mode, uintptr_t parameter) override;
    // Selects, focuses and shows the row whose item data is `value`; 1 when
    // there is one, 0 otherwise (also for an empty value).
    int Reselect(uintptr_t value) override;

protected:
    BOOL OnInitDialog() override;
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;

    win::CListView ListView() const { return win::CListView(List()); }
    template <int N>
    void AddColumns(const ListColumn (&columns)[N]) {
        for (int i = 0; i < N; ++i) ListView().InsertColumn(i, columns[i].heading, columns[i].width);
    }
    // Replaces every row: `rows` in the order they are inserted at the top,
    // then sorted once with the current key; no row selected or focused.
    void Fill(std::vector<ListRow> rows);
    // The page's rows, in the order a fill inserts them.
    virtual std::vector<ListRow> Rows() { return {}; }
    void Refill() { Fill(Rows()); }
    // Sorts the rows with the current key.
    void SortRows();
    // The page's order of two rows' item data for the current key.
    virtual int CompareRows(uintptr_t a, uintptr_t b) const {
        (void)a, (void)b;
        return 0;
    }
    // Calls act(item data) for each selected row, the next selected row
    // looked up first; returns the last row visited, -1 for none.
    int ForEachSelected(const std::function<void(uintptr_t data)>& act);
    // The item data of the first selected row, 0 when none is selected.
    uintptr_t FirstSelectedData() const;
    // Keeping its size: a button under the list moves to (x, y), at the top
    // of the z-order when `top`.
    void MoveButton(int id, int x, int y, bool top);
    // The page moved its list; buttons under the list follow here.
    virtual void OnResized(int cx, int cy) { (void)cx, (void)cy; }
    virtual void OnDoubleClick() {}

    int m_sortKey = 0;

private:
    static int CALLBACK CompareCallback(LPARAM a, LPARAM b, LPARAM page);

    HIMAGELIST m_images;
    const CImageIndexes* m_indexes;
};

}  // namespace ub
