#include "client/pages/win32/WarnListPage.h"

#include "client/pages/WarnListRows.h"
#include "client/res/resource.h"

namespace ub {

CWarnListPage::CWarnListPage(CTreeController& controller, CClientTables& tables, HIMAGELIST images)
    : CListPage(IDD_WARNING_LIST, images, &controller.Images()),
      m_controller(controller),
      m_tables(tables) {}

BOOL CWarnListPage::OnInitDialog() {
    CListPage::OnInitDialog();
    AddColumns(kWarnListColumns);
    Skin(IDC_AUTHIT);
    Skin(IDC_QUARIT);
    return TRUE;
}

std::vector<ListRow> CWarnListPage::Rows() { return WarningRows(m_controller, m_tables); }

int CWarnListPage::CompareRows(uintptr_t a, uintptr_t b) const { return CompareWarningRows(a, b, m_sortKey); }

void CWarnListPage::OnResized(int cx, int cy) {
    MoveButton(IDC_AUTHIT, cx - 160, cy - 30, true);
    MoveButton(IDC_QUARIT, cx - 280, cy - 30, true);
}

void CWarnListPage::OnDoubleClick() {
    if (uintptr_t data = FirstSelectedData()) m_controller.SelectWarningItem(reinterpret_cast<ModuleRecord*>(data));
}

bool CWarnListPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || (id != IDC_AUTHIT && id != IDC_QUARIT)) return false;
    // No refresh may free the rows' records until the page is filled again.
    CTreeController::Operation busy(m_controller);
    if (id == IDC_AUTHIT) {
        ForEachSelected([this](uintptr_t data) { m_controller.AuthenticateModule(reinterpret_cast<ModuleRecord*>(data)); });
        Refill();
    } else {
        int last = ForEachSelected(
            [this](uintptr_t data) { m_controller.QuarantineModule(reinterpret_cast<ModuleRecord*>(data)); });
        Refill();
        ListView().EnsureVisible(ScrollRowAfter(last));
    }
    return true;
}

}  // namespace ub
