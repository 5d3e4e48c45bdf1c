#include "client/monitor/win32/Win32Classification.h"

#include <windows.h>

#include "common/win32/Win32ProgramDirectory.h"

namespace ub {

bool CWin32VersionInfo::Load(const char* path) {
    m_data.clear();
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return false;
    m_data.resize(size);
    if (!::GetFileVersionInfoA(path, 0, size, m_data.data())) {
        m_data.clear();
        return false;
    }
    return true;
}

bool CWin32VersionInfo::Translation(uint16_t* language, uint16_t* codePage) {
    if (m_data.empty()) return false;
    void* value = nullptr;
    UINT length = 0;
    char subBlock[] = "\\VarFileInfo\\Translation";
    if (!::VerQueryValueA(m_data.data(), subBlock, &value, &length) || !value || length < 4) return false;
    const WORD* words = static_cast<const WORD*>(value);
    *language = words[0];
    *codePage = words[1];
    return true;
}

bool CWin32VersionInfo::QueryString(const std::string& subBlock, std::string* value) {
    if (m_data.empty()) return false;
    void* text = nullptr;
    UINT length = 0;
    std::string block = subBlock;
    if (!::VerQueryValueA(m_data.data(), &block[0], &text, &length) || !text) return false;
    // The length counts characters and may include the NUL; stop at either.
    const char* s = static_cast<const char*>(text);
    size_t n = 0;
    while (n < length && s[n]) ++n;
    value->assign(s, n);
    return true;
}

bool CWin32FileAttributes::CanReadAttributes(const char* path) {
    return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

TrustedFolders ReadTrustedFolders() {
    TrustedFolders folders;
    folders.programFolder = ProgramDirectory();
    char buffer[1024];
    UINT w = ::GetWindowsDirectoryA(buffer, sizeof buffer);
    if (w > 0 && w < sizeof buffer) folders.windowsFolder.assign(buffer, w);
    UINT s = ::GetSystemDirectoryA(buffer, sizeof buffer);
    if (s > 0 && s < sizeof buffer) folders.systemFolder.assign(buffer, s);
    // Looked up at run time: Windows 2000 lacks it, and 32-bit Windows
    // answers 0 (no such folder).
    using GetWow64DirFn = UINT(WINAPI*)(LPSTR, UINT);
    auto getWow64 = reinterpret_cast<GetWow64DirFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA")));
    UINT x = getWow64 ? getWow64(buffer, sizeof buffer) : 0;
    if (x > 0 && x < sizeof buffer) folders.systemWow64Folder.assign(buffer, x);
    return folders;
}

}  // namespace ub
