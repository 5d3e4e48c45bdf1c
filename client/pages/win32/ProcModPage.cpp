#include "client/pages/win32/ProcModPage.h"

#include "client/pages/ModuleRows.h"
#include "client/res/resource.h"

namespace ub {

CProcModPage::CProcModPage(CTreeController& controller, const CClientTables& tables, HIMAGELIST images)
    : CListPage(IDD_PROCESS_MODULES, images, &controller.Images()), m_controller(controller), m_tables(tables) {}

BOOL CProcModPage::OnInitDialog() {
    CListPage::OnInitDialog();
    AddColumns(kProcModColumns);
    return TRUE;
}

int CProcModPage::ShowContext(uintptr_t parameter) {
    m_process = reinterpret_cast<const ProcessRecord*>(parameter);
    Refill();
    return 1;
}

void CProcModPage::ForgetRecords() {
    m_process = nullptr;
    ListView().DeleteAllItems();
}

std::vector<ListRow> CProcModPage::Rows() {
    return m_process ? ProcessModuleRows(m_controller, *m_process, m_tables) : std::vector<ListRow>{};
}

int CProcModPage::CompareRows(uintptr_t a, uintptr_t b) const {
    return m_process ? CompareProcessModules(*m_process, m_tables, a, b, m_sortKey) : 0;
}

void CProcModPage::OnDoubleClick() {
    // A row's data is a position, 0 included: the selected row decides.
    win::CListView list = ListView();
    int row = list.GetNextSelectedItem(-1);
    if (row >= 0 && m_process) m_controller.SelectModuleItem(m_process, int(list.GetItemParam(row)));
}

}  // namespace ub
