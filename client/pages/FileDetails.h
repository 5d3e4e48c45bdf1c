// What the file details pages show of a module's file: its size and times,
// the warning level text, the version strings of the first translation,
// and the web address that searches for its name. Portable; the file
// system and the version resource come through the interfaces.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "client/monitor/Classification.h"
#include "client/pages/ProcessRows.h"
#include "common/SharedFormat.h"

namespace ub {

// The size and times of a file opened for reading.
class IFileFacts {
public:
    virtual ~IFileFacts() = default;
    // False when the file cannot be opened.
    virtual bool Read(const char* path, uint32_t* sizeLow, FileTime* created, FileTime* written) = 0;
};

// The version strings shown, in the order they are queried.
constexpr const char* kVersionStringNames[] = {"OriginalFileName", "FileDescription", "FileVersion", "ProductName",
                                               "ProductVersion",   "CompanyName",     "LegalCopyright"};
constexpr size_t kVersionStringCount = sizeof kVersionStringNames / sizeof kVersionStringNames[0];

struct FileDetails {
    std::string path, size, level, created, modified;
    std::array<std::string, kVersionStringCount> version;
};

// "Authed", "Quar", "----" for flags 0 or a trusted path, else the level.
std::string FileLevelText(uint32_t flags, bool trustedPath);
// The low 32 bits of the size as a signed decimal.
std::string FileSizeText(uint32_t sizeLow);

// Fills `out` for a module (null: every field empty). Returns 1 when the
// version strings were read, 0 otherwise.
int ReadFileDetails(const ModuleRecord* module, bool trustedPath, IFileFacts& files, IVersionInfo& versions,
                    const TimeTextFn& fileTime, FileDetails* out);

// The search service's address for a base name, put in unchanged.
std::string SearchAddress(const std::string& baseName);

}  // namespace ub
