#include <gtest/gtest.h>

#include <windows.h>

#include "client/shell/win32/Win32SettingsRegistry.h"

namespace ub {
namespace {

// Works on the real key of the test prefix.
TEST(Win32SettingsRegistry, CreatesTheKeyAndRoundTripsTheValues) {
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
    CWin32SettingsRegistry reg;
    CClientSettings first;
    first.Load(reg);  // creates the key, keeps the defaults
    EXPECT_EQ(first.CliSpeed, 1);
    first.CliSpeed = 7;
    first.ModSkip = 3;
    EXPECT_EQ(first.Save(reg), 0);

    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD values = 0;
    ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr);
    EXPECT_EQ(values, 16u);
    DWORD type = 0, data = 0, size = sizeof data;
    ASSERT_EQ(::RegQueryValueExA(key, "CliSpeed", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(data, 7u);
    // A deleted value comes back as its default; a value too large is not read.
    ::RegDeleteValueA(key, "SvrSpeed");
    ::RegSetValueExA(key, "TreeSort", 0, REG_BINARY, reinterpret_cast<const BYTE*>("12345678"), 8);
    ::RegCloseKey(key);

    CClientSettings second;
    second.SvrSpeed = 1;
    second.Load(reg);
    EXPECT_EQ(second.CliSpeed, 7);
    EXPECT_EQ(second.ModSkip, 3);
    EXPECT_EQ(second.SvrSpeed, 1);
    EXPECT_EQ(second.TreeSort, 0);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
}

}  // namespace
}  // namespace ub
