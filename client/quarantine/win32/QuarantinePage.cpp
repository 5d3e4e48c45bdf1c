#include "client/quarantine/win32/QuarantinePage.h"

#include "client/pages/win32/Win32TimeText.h"
#include "client/quarantine/EntryRows.h"
#include "client/res/resource.h"

namespace ub {

CQuarantinePage::CQuarantinePage(CTreeController& controller)
    : CListPage(IDD_QUARANTINE_LIST, nullptr, nullptr), m_controller(controller) {}

BOOL CQuarantinePage::OnInitDialog() {
    CListPage::OnInitDialog();
    AddColumns(kQuarantineColumns);
    Skin(IDC_RECOVER);
    Skin(IDC_CLEAN);
    Skin(IDC_CLEAN_HISTORY);
    return TRUE;
}

std::vector<ListRow> CQuarantinePage::Rows() {
    return QuarantineRows(m_controller.quarantine, ListTimeText);
}

int CQuarantinePage::CompareRows(uintptr_t a, uintptr_t b) const { return CompareQuarantineRows(a, b, m_sortKey); }

void CQuarantinePage::OnResized(int cx, int cy) {
    MoveButton(IDC_RECOVER, cx - 150, cy - 30, false);
    MoveButton(IDC_CLEAN, cx - 60, cy - 30, false);
    MoveButton(IDC_CLEAN_HISTORY, cx - 280, cy - 30, false);
}

bool CQuarantinePage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return false;
    CTreeController::Operation busy(m_controller);
    switch (id) {
        case IDC_RECOVER:
        case IDC_CLEAN: {
            // Each entry asks its own questions, one after the other; both
            // operations always go on to the next entry.
            int last = ForEachSelected([this, id](uintptr_t data) {
                auto* entry = reinterpret_cast<QuarantineEntry*>(data);
                if (id == IDC_RECOVER) m_controller.RecoverEntry(entry);
                else m_controller.CleanEntry(entry);
            });
            Refill();
            ListView().EnsureVisible(ScrollRowAfter(last));
            return true;
        }
        case IDC_CLEAN_HISTORY:
            if (m_controller.CleanHistory()) Refill();
            return true;
    }
    return false;
}

}  // namespace ub
