#include "client/shell/win32/Win32SettingsRegistry.h"

namespace ub {

long CWin32SettingsRegistry::Open() {
    Close();
    DWORD disposition = 0;
    return ::RegCreateKeyExA(m_root, m_subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, &disposition);
}

bool CWin32SettingsRegistry::QueryDword(const char* name, int32_t* value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;  // set again before every query
    if (::RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    if (size != sizeof data) return false;
    *value = int32_t(data);
    return true;
}

void CWin32SettingsRegistry::SetDword(const char* name, int32_t value) {
    DWORD data = DWORD(value);
    ::RegSetValueExA(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

long CWin32SettingsRegistry::Close() {
    if (!m_key) return 0;
    long result = ::RegCloseKey(m_key);
    m_key = nullptr;
    return result;
}

}  // namespace ub
