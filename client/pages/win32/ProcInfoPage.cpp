#include "client/pages/win32/ProcInfoPage.h"

#include "client/pages/ProcessRows.h"
#include "client/pages/win32/ProcessKill.h"
#include "client/pages/win32/Win32TimeText.h"
#include "client/res/resource.h"
#include "client/shell/win32/ShellPlatform.h"

namespace ub {

void KillProcessOfRecord(HWND owner, const ProcessRecord& record, const CClientTables& tables) {
    const ModuleRecord* main = MainModule(record, tables);
    const std::string name = main ? main->baseName : "";
    const bool killed = TerminateProcessOfRecord(record);
    ::MessageBoxA(owner, KillResultText(killed, name).c_str(), kAppTitle, MB_OK);
}

void PaintPageLine(HWND page, int y) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(page, &ps);
    RECT r;
    ::GetClientRect(page, &r);
    ::MoveToEx(dc, r.left + 80, y, nullptr);
    ::LineTo(dc, r.right - 80, y);
    ::EndPaint(page, &ps);
}

CProcInfoPage::CProcInfoPage(const CClientTables& tables) : CSkinPage(IDD_PROCESS_DETAILS), m_tables(tables) {}

int CProcInfoPage::ShowContext(uintptr_t parameter) {
    m_record = reinterpret_cast<const ProcessRecord*>(parameter);
    auto set = [this](int id, const std::string& text) { ::SetDlgItemTextA(m_hWnd, id, text.c_str()); };
    if (!m_record) {
        // No process (a snapshot freed it): nothing of the last one stays.
        for (int id : {IDC_EDIT_IMAGE_NAME, IDC_EDIT_STATUS, IDC_EDIT_PID, IDC_EDIT_FULL_NAME, IDC_EDIT_BEGIN_TIME,
                       IDC_EDIT_END_TIME, IDC_EDIT_KERNEL_TIME, IDC_EDIT_USER_TIME, IDC_EDIT_MODULE_COUNT})
            set(id, "");
        return 0;
    }
    const ProcessRecord& p = *m_record;
    const ModuleRecord* main = MainModule(p, m_tables);
    set(IDC_EDIT_IMAGE_NAME, main ? main->baseName : "");
    set(IDC_EDIT_STATUS, ProcessStatusText(p.status));
    set(IDC_EDIT_PID, DecimalText(int32_t(p.processId)));
    set(IDC_EDIT_FULL_NAME, main ? main->fullPath : "");
    set(IDC_EDIT_BEGIN_TIME, ListTimeText(p.creationTime));
    set(IDC_EDIT_END_TIME, EndTimeText(p.exitTime, ListTimeText));
    set(IDC_EDIT_KERNEL_TIME, CpuTimeText(p.kernelTime));
    set(IDC_EDIT_USER_TIME, CpuTimeText(p.userTime));
    set(IDC_EDIT_MODULE_COUNT, DecimalText(int32_t(p.moduleCount)));
    return 1;
}

bool CProcInfoPage::OnCommand(int id, int code, HWND) {
    if (id != IDC_KILL || code != BN_CLICKED) return false;
    if (m_record) KillProcessOfRecord(m_hWnd, *m_record, m_tables);
    return true;
}

INT_PTR CProcInfoPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PaintPageLine(m_hWnd, 185);
        return TRUE;
    }
    return CSkinPage::DialogProc(msg, wp, lp);
}

}  // namespace ub
