// The quarantine list page (template 114): every quarantine entry with its
// status; "Recover" and "Clean" over the selection, "CleanHis" dropping the
// finished entries. Rows have no icons.
#pragma once

#include "client/controls/win32/ListPage.h"
#include "client/monitor/TreeController.h"

namespace ub {

class CQuarantinePage : public CListPage {
public:
    explicit CQuarantinePage(CTreeController& controller);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    int CompareRows(uintptr_t a, uintptr_t b) const override;
    void OnResized(int cx, int cy) override;

    std::vector<ListRow> Rows() override;

private:
    CTreeController& m_controller;
};

}  // namespace ub
