#include "client/pages/win32/SysInfoPage.h"

#include "client/pages/OverviewLook.h"
#include "client/res/resource.h"
#include "client/shell/win32/ShellPlatform.h"

namespace ub {

CSysInfoPage::CSysInfoPage() : CSkinPage(IDD_SYSTEM_INFO) {}

int CSysInfoPage::ShowContext(uintptr_t) {
    char name[1024] = {};
    DWORD size = sizeof name;
    if (!::GetComputerNameA(name, &size)) name[0] = 0;
    ::SetDlgItemTextA(m_hWnd, IDC_EDIT_PC_NAME, name);

    // The version read once at start-up.
    const OSVERSIONINFOA* v = OsVersion();
    const std::string os = v ? OsVersionText(v->dwMajorVersion, v->dwMinorVersion, v->szCSDVersion) : "";
    ::SetDlgItemTextA(m_hWnd, IDC_EDIT_PC_VERSION, os.c_str());

    char folder[1024] = "";
    if (!::GetWindowsDirectoryA(folder, sizeof folder)) folder[0] = 0;
    ::SetDlgItemTextA(m_hWnd, IDC_EDIT_WINDOWS_DIR, folder);
    if (!::GetSystemDirectoryA(folder, sizeof folder)) folder[0] = 0;
    ::SetDlgItemTextA(m_hWnd, IDC_EDIT_SYSTEM_DIR, folder);
    return 1;
}

}  // namespace ub
