// The authentic list page (template 116): the trusted modules, "Clean"
// removing the selected entries, a double click to the entry's node under
// "Authentic".
#pragma once

#include "client/controls/win32/ListPage.h"
#include "client/monitor/TreeController.h"

namespace ub {

class CAuthenticPage : public CListPage {
public:
    CAuthenticPage(CTreeController& controller, HIMAGELIST images);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    int CompareRows(uintptr_t a, uintptr_t b) const override;
    void OnResized(int cx, int cy) override;
    void OnDoubleClick() override;

    std::vector<ListRow> Rows() override;

private:
    CTreeController& m_controller;
};

}  // namespace ub
