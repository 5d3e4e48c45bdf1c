#include "client/pages/win32/InfoPage.h"

#include "client/res/resource.h"

namespace ub {

CInfoPage::CInfoPage() : CSkinPage(IDD_INFORMATION) {}

bool CInfoPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || (id != IDC_HELP_BUTTON && id != IDC_ONLINE)) return false;
    ::PostMessageA(::GetAncestor(m_hWnd, GA_ROOT), WM_COMMAND, id == IDC_HELP_BUTTON ? ID_HELP_TOPICS : ID_HELP_ONLINE,
                   0);
    return true;
}

}  // namespace ub
