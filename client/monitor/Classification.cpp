#include "client/monitor/Classification.h"

#include <cstdio>

#include "common/SharedFormat.h"
#include "common/TextFold.h"

namespace ub {
namespace {

const char* const kTrustedSystemFiles[] = {
    "advapi32.dll", "cryptsvc.dll", "esent.dll",    "oleacc.dll",   "psapi.dll",
    "ole32.dll",    "shell32.dll",  "navlogon.dll", "msidle.dll",   "indicdll.dll",
    "dinput8.dll",  "ctl3d32.dll",  "comdlg32.dll", "browseui.dll", "mfc42.dll",
    "mfc42u.dll",   "mfc42d.dll",   "vdmdbg.dll",   "plugin.ocx",   "mshtml.dll",
    "dbghelp.dll",  "cmd.exe",      "msgina.dll",   "mswsock.dll",  "pstorsvc.dll",
    "seclogon.dll", "shsvcs.dll",   "query.dll",    "ntdll.dll",    "wbem\\cimwin32.dll",
};

bool IsSpace(char c) { return c == ' '; }

}  // namespace

bool EqualPaths(const char* a, const char* b) { return EqualIgnoreCase(a, b); }

std::string TranslationKey(uint16_t language, uint16_t codePage) {
    char key[9];
    std::snprintf(key, sizeof key, "%04x%04x", unsigned(language), unsigned(codePage));
    return key;
}

uint32_t GetProductNameFlag(IVersionInfo& versionInfo, const char* path) {
    if (!versionInfo.Load(path)) return 0;
    uint16_t language = 0, codePage = 0;
    if (!versionInfo.Translation(&language, &codePage)) return MF_NO_PRODUCT_NAME;
    std::string name;
    if (!versionInfo.QueryString("\\StringFileInfo\\" + TranslationKey(language, codePage) + "\\ProductName",
                                 &name))
        return MF_NO_PRODUCT_NAME;
    size_t first = 0, last = name.size();
    while (first < last && IsSpace(name[first])) ++first;
    while (last > first && IsSpace(name[last - 1])) --last;
    return first == last ? uint32_t(MF_NO_PRODUCT_NAME) : 0u;
}

size_t TrustedSystemFileCount() { return sizeof kTrustedSystemFiles / sizeof kTrustedSystemFiles[0]; }
const char* TrustedSystemFile(size_t i) { return kTrustedSystemFiles[i]; }

namespace {

// What follows `prefix` at the start of `path` (letter case ignored), or
// null when path does not start with it. No string is built.
const char* AfterPrefix(const char* path, const std::string& prefix) {
    for (char c : prefix) {
        if (FoldAscii(*path) != FoldAscii(c)) return nullptr;  // also stops at path's end
        ++path;
    }
    return path;
}

}  // namespace

bool IsTrustedModulePath(const char* path, const TrustedFolders& folders, IFileAttributes& files) {
    if (path[0] == '\\') return true;
    if (!files.CanReadAttributes(path)) return true;
    if (const char* own = AfterPrefix(path, folders.programFolder))
        if (EqualIgnoreCase(own, "UBsvr.exe") || EqualIgnoreCase(own, "UBclient.exe")) return true;
    if (const char* shell = AfterPrefix(path, folders.windowsFolder))
        if (EqualIgnoreCase(shell, "\\explorer.exe")) return true;
    for (const std::string* folder : {&folders.systemFolder, &folders.systemWow64Folder}) {
        if (folder->empty()) continue;
        const char* system = AfterPrefix(path, *folder);
        if (!system || *system != '\\') continue;
        for (const char* name : kTrustedSystemFiles)
            if (EqualIgnoreCase(system + 1, name)) return true;
    }
    return false;
}

int LevelIcon(uint32_t flags, bool trustedPath) {
    if (flags & MF_AUTHENTIC) return ICON_AUTHENTIC;
    if (flags == 0 || trustedPath) return ICON_CLEAN_MODULE;
    switch (WarningLevelOf(flags)) {
        case WarningLevel::Low: return ICON_LEVEL_LOW;
        case WarningLevel::Mid: return ICON_LEVEL_MID;
        case WarningLevel::High: return ICON_LEVEL_HIGH;
        default: return ICON_LEVEL_PENDING;
    }
}

bool IsWarning(uint32_t flags, bool trustedPath) {
    return flags != 0 && !trustedPath && flags < MF_AUTHENTIC;
}

}  // namespace ub
