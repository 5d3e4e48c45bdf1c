// The classification's platform facts on Windows: version resources, file
// attributes, and the client's, the Windows and the system folders.
#pragma once

#include <vector>

#include "client/monitor/Classification.h"

namespace ub {

class CWin32VersionInfo : public IVersionInfo {
public:
    bool Load(const char* path) override;
    bool Translation(uint16_t* language, uint16_t* codePage) override;
    bool QueryString(const std::string& subBlock, std::string* value) override;

private:
    std::vector<char> m_data;
};

class CWin32FileAttributes : public IFileAttributes {
public:
    bool CanReadAttributes(const char* path) override;
};

// The folder of the running program (with a trailing backslash) and the
// Windows, system and 32-bit system folders as the system reports them.
TrustedFolders ReadTrustedFolders();

}  // namespace ub
