#include "client/pages/win32/FileInfoPage.h"

#include "client/pages/win32/ProcInfoPage.h"
#include "client/pages/win32/Win32TimeText.h"
#include "client/res/resource.h"

namespace ub {
namespace {

// The edit fields of the version strings, in the order they are read.
const int kVersionEdits[kVersionStringCount] = {IDC_EDIT_ORIGINAL_NAME, IDC_EDIT_DESCRIPTION,
                                                IDC_EDIT_FILE_VERSION,  IDC_EDIT_PRODUCT_NAME,
                                                IDC_EDIT_PRODUCT_VERSION, IDC_EDIT_COMPANY,
                                                IDC_EDIT_COPYRIGHT};

std::string FileTimeText(const FileTime& utc) { return LocalTimeText(utc, kFileTimePattern); }

}  // namespace

bool CWin32FileFacts::Read(const char* path, uint32_t* sizeLow, FileTime* created, FileTime* written) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    *sizeLow = ::GetFileSize(file, nullptr);
    FILETIME c{}, a{}, w{};
    ::GetFileTime(file, &c, &a, &w);
    ::CloseHandle(file);
    *created = FileTime{c.dwLowDateTime, c.dwHighDateTime};
    *written = FileTime{w.dwLowDateTime, w.dwHighDateTime};
    return true;
}

void SearchModuleOnWeb(HWND owner, const ModuleRecord* module) {
    if (!module) return;
    const std::string address = SearchAddress(module->baseName);
    ::ShellExecuteA(owner, "open", "about:blank", nullptr, nullptr, SW_SHOWNORMAL);
    ::ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOW);
}

int CFileInfoPage::ShowFileDetails(const ModuleRecord* module) {
    FileDetails d;
    const bool trusted = module && m_controller.IsTrusted(*module);
    int filled = ReadFileDetails(module, trusted, m_files, m_versions, FileTimeText, &d);
    auto set = [this](int id, const std::string& text) { ::SetDlgItemTextA(m_hWnd, id, text.c_str()); };
    set(IDC_EDIT_PATH, d.path);
    set(IDC_EDIT_FILE_SIZE, d.size);
    set(IDC_EDIT_WARN_LEVEL, d.level);
    set(IDC_EDIT_CREATED, d.created);
    set(IDC_EDIT_MODIFIED, d.modified);
    for (size_t i = 0; i < kVersionStringCount; ++i) set(kVersionEdits[i], d.version[i]);
    return filled;
}

bool CFileInfoPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return false;
    if (id == IDC_MORE_INFO) {
        SearchModuleOnWeb(m_hWnd, Module());
        return true;
    }
    return OnButton(id);
}

INT_PTR CFileInfoPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PaintPageLine(m_hWnd, 245);
        return TRUE;
    }
    return CSkinPage::DialogProc(msg, wp, lp);
}

// ---- variants ----

CModFilePage::CModFilePage(CTreeController& controller) : CFileInfoPage(IDD_MODULE_FILE, controller) {}

int CModFilePage::ShowContext(uintptr_t parameter) {
    m_module = reinterpret_cast<const ModuleRecord*>(parameter);
    return ShowFileDetails(m_module);
}

CProcFilePage::CProcFilePage(CTreeController& controller, const CClientTables& tables)
    : CFileInfoPage(IDD_PROCESS_FILE, controller), m_tables(tables) {}

const ModuleRecord* CProcFilePage::Module() const { return m_process ? MainModule(*m_process, m_tables) : nullptr; }

int CProcFilePage::ShowContext(uintptr_t parameter) {
    m_process = reinterpret_cast<const ProcessRecord*>(parameter);
    return ShowFileDetails(Module());
}

bool CProcFilePage::OnButton(int id) {
    if (id != IDC_KILL) return false;
    if (m_process) KillProcessOfRecord(m_hWnd, *m_process, m_tables);
    return true;
}

CAuthFilePage::CAuthFilePage(CTreeController& controller) : CFileInfoPage(IDD_AUTHENTIC_FILE, controller) {}

int CAuthFilePage::ShowContext(uintptr_t parameter) {
    m_entry = reinterpret_cast<AuthenticEntry*>(parameter);
    return ShowFileDetails(Module());
}

bool CAuthFilePage::OnButton(int id) {
    if (id != IDC_CLEAN) return false;
    // The entry is freed once it is removed; the page keeps what it shows.
    if (m_entry && m_controller.RemoveAuthentic(m_entry)) m_entry = nullptr;
    return true;
}

CWarnFilePage::CWarnFilePage(CTreeController& controller) : CFileInfoPage(IDD_WARNING_FILE, controller) {}

int CWarnFilePage::ShowContext(uintptr_t parameter) {
    m_module = reinterpret_cast<ModuleRecord*>(parameter);
    return ShowFileDetails(m_module);
}

bool CWarnFilePage::OnButton(int id) {
    if (id != IDC_AUTHIT && id != IDC_QUARIT) return false;
    if (!m_module) return true;
    CTreeController::Operation busy(m_controller);
    if (id == IDC_AUTHIT) m_controller.AuthenticateModule(m_module);
    else m_controller.QuarantineModule(m_module);
    return true;
}

}  // namespace ub
