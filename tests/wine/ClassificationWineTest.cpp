#include <gtest/gtest.h>

#include <windows.h>

#include "client/monitor/win32/Win32Classification.h"
#include "common/SharedFormat.h"

namespace ub {
namespace {

TEST(Win32Classification, FoldersAsTheSystemReportsThem) {
    TrustedFolders f = ReadTrustedFolders();
    ASSERT_FALSE(f.programFolder.empty());
    EXPECT_EQ(f.programFolder.back(), '\\');
    EXPECT_NE(f.windowsFolder.back(), '\\');
    EXPECT_TRUE(EqualPaths((f.systemFolder.substr(0, f.windowsFolder.size())).c_str(), f.windowsFolder.c_str()));

    CWin32FileAttributes files;
    EXPECT_TRUE(IsTrustedModulePath((f.systemFolder + "\\NTDLL.DLL").c_str(), f, files));
    EXPECT_FALSE(IsTrustedModulePath((f.systemFolder + "\\kernel32.dll").c_str(), f, files));
    // A 64-bit prefix has a 32-bit system folder (empty without Wine's 32-bit
    // part, so the rule itself is tested natively).
    char wow64[MAX_PATH];
    UINT n = ::GetSystemWow64DirectoryA(wow64, MAX_PATH);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(f.systemWow64Folder, std::string(wow64, n));
    EXPECT_TRUE(IsTrustedModulePath((f.programFolder + "no-such-file.dll").c_str(), f, files));
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_FALSE(IsTrustedModulePath(self, f, files));
}

TEST(Win32Classification, ProductNameOfRealFiles) {
    TrustedFolders f = ReadTrustedFolders();
    CWin32VersionInfo info;
    // The system's DLLs carry a version resource with a product name.
    EXPECT_EQ(GetProductNameFlag(info, (f.systemFolder + "\\kernel32.dll").c_str()), 0u);
    uint16_t language = 0, codePage = 0;
    EXPECT_TRUE(info.Translation(&language, &codePage));
    // No resource at all, or no file: no mark.
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(GetProductNameFlag(info, self), 0u);
    EXPECT_FALSE(info.Translation(&language, &codePage));
    EXPECT_EQ(GetProductNameFlag(info, (f.programFolder + "no-such-file.dll").c_str()), 0u);

    // Fixture DLLs beside this program that differ only in their version
    // resource.
    struct {
        const char* file;
        uint32_t flag;
    } cases[] = {{"fixture_version_named.dll", 0},
                 {"fixture_version_blank.dll", MF_NO_PRODUCT_NAME},
                 {"fixture_version_notrans.dll", MF_NO_PRODUCT_NAME},
                 {"fixture_hook.dll", 0}};  // no version resource
    for (const auto& c : cases) EXPECT_EQ(GetProductNameFlag(info, (f.programFolder + c.file).c_str()), c.flag) << c.file;
    ASSERT_TRUE(info.Load((f.programFolder + "fixture_version_named.dll").c_str()));
    std::string name;
    ASSERT_TRUE(info.QueryString("\\StringFileInfo\\040904b0\\ProductName", &name));
    EXPECT_EQ(name, "Fixture Product");
}

}  // namespace
}  // namespace ub
