// The warning list page (template 118): every module that warrants a
// warning, "Authit" and "Quarit" over the selection, a double click to the
// module's node under "Warning list".
#pragma once

#include "client/controls/win32/ListPage.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"

namespace ub {

class CWarnListPage : public CListPage {
public:
    CWarnListPage(CTreeController& controller, CClientTables& tables, HIMAGELIST images);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    int CompareRows(uintptr_t a, uintptr_t b) const override;
    void OnResized(int cx, int cy) override;
    void OnDoubleClick() override;

    std::vector<ListRow> Rows() override;

private:
    CTreeController& m_controller;
    CClientTables& m_tables;
};

}  // namespace ub
