#include "client/shell/win32/ShellPlatform.h"

#include <shellapi.h>

#include "client/shell/ServiceCommands.h"

namespace ub {

void CWin32Prompt::Message(const std::string& text) { ::MessageBoxA(m_owner, text.c_str(), kAppTitle, MB_OK); }

bool CWin32Prompt::AskYesNo(const std::string& text) {
    return ::MessageBoxA(m_owner, text.c_str(), kAppTitle, MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

void CWin32Prompt::FileError(const std::string& text) {
    ::MessageBoxA(m_owner, text.c_str(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
}

int CWin32SystemIcons::SmallIconIndex(const char* path) {
    SHFILEINFOA info{};
    if (!::SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES))
        return -1;
    return info.iIcon;
}

const OSVERSIONINFOA* OsVersion() {
    static OSVERSIONINFOA version{};
    static const bool read = [] {
        version.dwOSVersionInfoSize = sizeof version;
        return ::GetVersionExA(&version) != FALSE;
    }();
    return read ? &version : nullptr;
}

HIMAGELIST SystemSmallImageList() {
    SHFILEINFOA info{};
    return reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

void WriteAutostart(const std::string& clientPath) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    std::string value = AutostartValue(clientPath);
    ::RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    ::RegCloseKey(key);
}

void RunServiceCommand(const std::string& programFolder, const char* command) {
    std::string line = ServiceCommandLine(programFolder, command);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    // The tool's console starts hidden.
    if (::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
}

}  // namespace ub
