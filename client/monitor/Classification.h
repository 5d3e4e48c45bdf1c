// Which modules are warnings: the client's own marks, the trusted paths,
// and the tree icon of a module. Portable; the platform facts come through
// the interfaces below.
#pragma once

#include <cstdint>
#include <string>

#include "client/monitor/WarningLevel.h"

namespace ub {

// Tree icon resources of the levels.
enum : int {
    ICON_CLEAN_MODULE = 131,
    ICON_LEVEL_LOW = 132,
    ICON_LEVEL_MID = 133,
    ICON_LEVEL_HIGH = 134,
    ICON_LEVEL_PENDING = 146,
    ICON_AUTHENTIC = 147,
};

// The folders the trusted-path test compares with. The program folder ends
// with a backslash; the Windows and system folders do not. The 32-bit system
// folder of 64-bit Windows, from which 32-bit processes load the system files,
// counts as a system folder; it is empty where the system has none.
struct TrustedFolders {
    std::string programFolder;
    std::string windowsFolder;
    std::string systemFolder;
    std::string systemWow64Folder;
};

class IFileAttributes {
public:
    virtual ~IFileAttributes() = default;
    // False when the file's attributes cannot be read (no such file).
    virtual bool CanReadAttributes(const char* path) = 0;
};

// A file's version resource. Load must succeed before the queries.
class IVersionInfo {
public:
    virtual ~IVersionInfo() = default;
    // False when the file has no version resource (or does not exist).
    virtual bool Load(const char* path) = 0;
    // The first entry of "\VarFileInfo\Translation"; false when absent.
    virtual bool Translation(uint16_t* language, uint16_t* codePage) = 0;
    // A string value such as "\StringFileInfo\040904b0\ProductName".
    virtual bool QueryString(const std::string& subBlock, std::string* value) = 0;
};

// 0, or MF_NO_PRODUCT_NAME when the file has a version resource without a
// translation table or with an empty (or missing) product name.
uint32_t GetProductNameFlag(IVersionInfo& versionInfo, const char* path);

// The eight-digit string-table key of a translation: 0x0409, 0x04B0 gives
// "040904b0".
std::string TranslationKey(uint16_t language, uint16_t codePage);

// True for paths that are never warnings: a leading backslash, a file whose
// attributes cannot be read, the client's own two programs, the shell, and
// the listed system files in a system folder. Whole paths, letter case ignored.
bool IsTrustedModulePath(const char* path, const TrustedFolders& folders, IFileAttributes& files);

// The number of listed system files and one of them by position.
size_t TrustedSystemFileCount();
const char* TrustedSystemFile(size_t i);

// Icon in the process subtree for a module with these flags.
int LevelIcon(uint32_t flags, bool trustedPath);

// A module is a warning when its flags are not 0, its path is not trusted,
// and its flags are below MF_AUTHENTIC.
bool IsWarning(uint32_t flags, bool trustedPath);

// ASCII letter case ignored, whole strings.
bool EqualPaths(const char* a, const char* b);

}  // namespace ub
