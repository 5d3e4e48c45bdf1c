// The settings key under HKEY_LOCAL_MACHINE, opened with full access.
#pragma once

#include <windows.h>

#include "client/shell/ClientSettings.h"

namespace ub {

class CWin32SettingsRegistry : public ISettingsRegistry {
public:
    explicit CWin32SettingsRegistry(HKEY root = HKEY_LOCAL_MACHINE, const char* subKey = kSettingsKey)
        : m_root(root), m_subKey(subKey) {}
    ~CWin32SettingsRegistry() override { Close(); }
    long Open() override;
    bool QueryDword(const char* name, int32_t* value) override;
    void SetDword(const char* name, int32_t value) override;
    long Close() override;

private:
    HKEY m_root;
    const char* m_subKey;
    HKEY m_key = nullptr;
};

}  // namespace ub
