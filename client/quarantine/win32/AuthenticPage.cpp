#include "client/quarantine/win32/AuthenticPage.h"

#include "client/pages/win32/Win32TimeText.h"
#include "client/quarantine/EntryRows.h"
#include "client/res/resource.h"

namespace ub {

CAuthenticPage::CAuthenticPage(CTreeController& controller, HIMAGELIST images)
    : CListPage(IDD_AUTHENTIC_LIST, images, &controller.Images()),
      m_controller(controller) {}

BOOL CAuthenticPage::OnInitDialog() {
    CListPage::OnInitDialog();
    AddColumns(kAuthenticColumns);
    Skin(IDC_CLEAN);
    return TRUE;
}

std::vector<ListRow> CAuthenticPage::Rows() {
    return AuthenticRows(m_controller.authentic, ListTimeText);
}

int CAuthenticPage::CompareRows(uintptr_t a, uintptr_t b) const { return CompareAuthenticRows(a, b, m_sortKey); }

void CAuthenticPage::OnResized(int cx, int cy) { MoveButton(IDC_CLEAN, cx - 60, cy - 30, false); }

void CAuthenticPage::OnDoubleClick() {
    if (uintptr_t data = FirstSelectedData())
        m_controller.SelectAuthenticItem(reinterpret_cast<AuthenticEntry*>(data));
}

bool CAuthenticPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || id != IDC_CLEAN) return false;
    CTreeController::Operation busy(m_controller);
    ForEachSelected([this](uintptr_t data) { m_controller.RemoveAuthentic(reinterpret_cast<AuthenticEntry*>(data)); });
    Refill();
    return true;
}

}  // namespace ub
