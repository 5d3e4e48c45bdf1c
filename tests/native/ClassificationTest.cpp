#include <gtest/gtest.h>

#include <map>
#include <set>

#include "client/monitor/Classification.h"
#include "common/SharedFormat.h"

namespace ub {
namespace {

class FakeFiles : public IFileAttributes {
public:
    std::set<std::string> missing;
    bool CanReadAttributes(const char* path) override { return !missing.count(path); }
};

const TrustedFolders kFolders{"C:\\Program Files\\Umbrastead\\", "C:\\WINDOWS", "C:\\WINDOWS\\system32", ""};

TEST(Classification, TrustedPaths) {
    FakeFiles files;
    files.missing = {"C:\\gone\\x.dll"};
    struct Case {
        const char* path;
        bool trusted;
    } cases[] = {
        {"\\SystemRoot\\System32\\smss.exe", true},
        {"C:\\gone\\x.dll", true},
        {"C:\\Program Files\\Umbrastead\\UBsvr.exe", true},
        {"c:\\program files\\umbrastead\\ubclient.EXE", true},
        {"C:\\elsewhere\\UBsvr.exe", false},
        {"C:\\Program Files\\Umbrastead\\other.exe", false},
        {"C:\\windows\\EXPLORER.EXE", true},
        {"C:\\WINDOWS\\system32\\explorer.exe", false},
        {"C:\\WINDOWS\\system32\\psapi.dll", true},
        {"c:\\windows\\SYSTEM32\\PSAPI.DLL", true},
        {"C:\\WINDOWS\\psapi.dll", false},
        {"D:\\tools\\psapi.dll", false},
        {"C:\\WINDOWS\\system32\\wbem\\cimwin32.dll", true},
        {"C:\\WINDOWS\\system32\\cimwin32.dll", false},
        {"C:\\WINDOWS\\system32\\kernel32.dll", false},
        {"C:\\WINDOWS\\system32\\psapi.dll.bak", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsTrustedModulePath(c.path, kFolders, files), c.trusted) << c.path;

    // Every listed system file, in any letter case, in the system folder only.
    ASSERT_EQ(TrustedSystemFileCount(), 30u);
    for (size_t i = 0; i < TrustedSystemFileCount(); ++i) {
        std::string name = TrustedSystemFile(i);
        std::string upper = name;
        for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_TRUE(IsTrustedModulePath(("C:\\WINDOWS\\system32\\" + upper).c_str(), kFolders, files)) << name;
        EXPECT_FALSE(IsTrustedModulePath(("C:\\Temp\\" + name).c_str(), kFolders, files)) << name;
    }
}

// The 32-bit system folder of 64-bit Windows is a system folder too; without
// one (32-bit Windows), only the system folder is.
TEST(Classification, TrustedPathsInThe32BitSystemFolder) {
    FakeFiles files;
    TrustedFolders wow64 = kFolders;
    wow64.systemWow64Folder = "C:\\WINDOWS\\SysWOW64";
    struct Case {
        const char* path;
        bool withWow64Folder;
        bool withoutWow64Folder;
    } cases[] = {
        {"C:\\WINDOWS\\SysWOW64\\psapi.dll", true, false},
        {"c:\\windows\\syswow64\\PSAPI.DLL", true, false},
        {"C:\\WINDOWS\\SysWOW64\\wbem\\cimwin32.dll", true, false},
        {"C:\\WINDOWS\\system32\\psapi.dll", true, true},
        {"C:\\WINDOWS\\SysWOW64\\kernel32.dll", false, false},
        {"C:\\WINDOWS\\SysWOW64\\explorer.exe", false, false},
        {"C:\\WINDOWS\\SysWOW64x\\psapi.dll", false, false},
        {"C:\\WINDOWS\\SysWOW64psapi.dll", false, false},
        {"psapi.dll", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsTrustedModulePath(c.path, wow64, files), c.withWow64Folder) << c.path;
        EXPECT_EQ(IsTrustedModulePath(c.path, kFolders, files), c.withoutWow64Folder) << c.path;
    }
}

TEST(Classification, IconsAndWarnings) {
    struct Case {
        uint32_t flags;
        bool trusted;
        int icon;
        bool warning;
    } cases[] = {
        {0, false, ICON_CLEAN_MODULE, false},
        {0x2, false, ICON_LEVEL_LOW, true},
        {0x100, false, ICON_LEVEL_MID, true},
        {0x400, false, ICON_LEVEL_MID, true},
        {0x800, false, ICON_LEVEL_MID, true},
        {0x800, true, ICON_CLEAN_MODULE, false},
        {0x1000, false, ICON_LEVEL_MID, true},
        {0x100000, false, ICON_LEVEL_HIGH, true},
        {0x400800, false, ICON_LEVEL_HIGH, true},
        {0x10000000, false, ICON_LEVEL_PENDING, true},
        {0x10000800, false, ICON_LEVEL_PENDING, true},
        {0x10000800, true, ICON_CLEAN_MODULE, false},
        {MF_AUTHENTIC | 0x800, false, ICON_AUTHENTIC, false},
        {MF_AUTHENTIC | 0x800, true, ICON_AUTHENTIC, false},
        {MF_QUARANTINED | 0x100000, false, ICON_LEVEL_PENDING, false},
        {MF_NO_MEMORY, false, ICON_LEVEL_PENDING, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LevelIcon(c.flags, c.trusted), c.icon) << std::hex << c.flags << " trusted " << c.trusted;
        EXPECT_EQ(IsWarning(c.flags, c.trusted), c.warning) << std::hex << c.flags << " trusted " << c.trusted;
    }
}

class FakeVersionInfo : public IVersionInfo {
public:
    bool hasResource = true;
    bool hasTranslation = true;
    uint16_t language = 0x0409, codePage = 0x04B0;
    std::map<std::string, std::string> strings;
    std::string lastQuery;

    bool Load(const char*) override { return hasResource; }
    bool Translation(uint16_t* l, uint16_t* c) override {
        if (!hasTranslation) return false;
        *l = language;
        *c = codePage;
        return true;
    }
    bool QueryString(const std::string& subBlock, std::string* value) override {
        lastQuery = subBlock;
        auto it = strings.find(subBlock);
        if (it == strings.end()) return false;
        *value = it->second;
        return true;
    }
};

TEST(Classification, ProductNameFlag) {
    const std::string key = "\\StringFileInfo\\040904b0\\ProductName";
    struct Case {
        const char* what;
        bool resource;
        bool translation;
        const char* productName;  // nullptr: no such value
        uint32_t expected;
    } cases[] = {
        {"no version resource", false, false, nullptr, 0},
        {"no translation table", true, false, "Umbrastead", MF_NO_PRODUCT_NAME},
        {"named product", true, true, "Umbrastead", 0},
        {"name with spaces around", true, true, "  Wine  ", 0},
        {"blank name", true, true, "   ", MF_NO_PRODUCT_NAME},
        {"empty name", true, true, "", MF_NO_PRODUCT_NAME},
        {"value missing", true, true, nullptr, MF_NO_PRODUCT_NAME},
    };
    for (const Case& c : cases) {
        FakeVersionInfo info;
        info.hasResource = c.resource;
        info.hasTranslation = c.translation;
        if (c.productName) info.strings[key] = c.productName;
        EXPECT_EQ(GetProductNameFlag(info, "C:\\x.dll"), c.expected) << c.what;
    }
    FakeVersionInfo info;
    info.language = 0x0804;
    info.codePage = 0x03A8;
    GetProductNameFlag(info, "C:\\x.dll");
    EXPECT_EQ(info.lastQuery, "\\StringFileInfo\\080403a8\\ProductName");
    EXPECT_EQ(TranslationKey(0xFFFF, 0x0000), "ffff0000");
}

}  // namespace
}  // namespace ub
