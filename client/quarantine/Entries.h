// The authentic and quarantine entries the client keeps, and their order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/SharedFormat.h"

namespace ub {

enum QuarantineStatus : int32_t {
    QS_PENDING = 0,
    QS_QUAR = 1,
    QS_CLEANED = 2,
    QS_RECOVERED = 3,
    QS_DENIED = 4,  // a move outcome only; never stored in an entry
    QS_UNKNOWN = 5,
};

// "Pending", "Quar", "Cleaned", "Recovered"; "Unknown" for anything else.
const char* QuarantineStatusText(int32_t status);

struct QuarantineEntry {
    ModuleRecord* module = nullptr;  // live record, not owned
    int32_t status = QS_PENDING;
    FileTime time{0, 0};
    std::string backupName;
    std::string originalPath;  // identity of the entry
};

struct AuthenticEntry {
    ModuleRecord* module = nullptr;  // live record, not owned
    uint32_t reserved = 0;
    FileTime time{0, 0};
    std::string name;
    std::string path;  // identity of the entry
};

using AuthenticList = std::vector<std::unique_ptr<AuthenticEntry>>;
using QuarantineList = std::vector<std::unique_ptr<QuarantineEntry>>;

// Orders two entries of one kind. Keys: 0/1 name, 2/3 path (letter case
// ignored), 4/5 time, 6/7 reserved word or status (signed); even ascending,
// odd descending; any other key: equal.
int CompareEntries(const AuthenticEntry& a, const AuthenticEntry& b, int key);
int CompareEntries(const QuarantineEntry& a, const QuarantineEntry& b, int key);

// The archive is input that other programs can write: an entry is acted on
// only when its backup name is a plain file name of the form the client
// makes (NAME.ubbak, NAME.ubbak2 ... NAME.ubbak9; no folder separators, no
// drive, no characters a file name cannot hold, not a device name) and its
// original path is an absolute local path ("X:\..." without "." or ".."
// parts). Other entries are kept and shown, and no file is touched for them.
bool IsPlainBackupName(const std::string& name);
bool IsLocalAbsolutePath(const std::string& path);
inline bool CanActOn(const QuarantineEntry& e) {
    return IsPlainBackupName(e.backupName) && IsLocalAbsolutePath(e.originalPath);
}

// The first of "NAME.ubbak", "NAME.ubbak2" ... "NAME.ubbak9" that no entry
// uses (letter case ignored, whatever the entry's status); false when all
// nine are taken.
bool ChooseBackupName(const std::string& baseName, const QuarantineList& entries, std::string* result);

}  // namespace ub
