// The module list of a process (template 108): one row per loaded module
// with its level icon and address range; a double click opens the module's
// node under the process.
#pragma once

#include "client/controls/win32/ListPage.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"

namespace ub {

class CProcModPage : public CListPage {
public:
    CProcModPage(CTreeController& controller, const CClientTables& tables, HIMAGELIST images);

    // Makes the record the current process and fills the list.
    int ShowContext(uintptr_t parameter) override;
    // The list shows the process as it was when the page was shown.
    int OnTablesChanged(int, uintptr_t) override { return 0; }
    void ForgetRecords() override;

protected:
    BOOL OnInitDialog() override;
    std::vector<ListRow> Rows() override;
    int CompareRows(uintptr_t a, uintptr_t b) const override;
    void OnDoubleClick() override;

private:
    CTreeController& m_controller;
    const CClientTables& m_tables;
    const ProcessRecord* m_process = nullptr;
};

}  // namespace ub
