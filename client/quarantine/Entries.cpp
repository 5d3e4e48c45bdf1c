#include "client/quarantine/Entries.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "client/monitor/Classification.h"
#include "common/TextFold.h"
#include "common/ThreeWay.h"

namespace ub {
namespace {

int CompareText(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(FoldAscii(a[i]));
        unsigned char y = static_cast<unsigned char>(FoldAscii(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int Compare(const std::string& nameA, const std::string& nameB, const std::string& pathA,
            const std::string& pathB, FileTime timeA, FileTime timeB, int32_t wordA, int32_t wordB, int key) {
    if (key < 0) return 0;
    int r;
    switch (key / 2) {
        case 0: r = CompareText(nameA, nameB); break;
        case 1: r = CompareText(pathA, pathB); break;
        case 2: r = ThreeWay(ToU64(timeA), ToU64(timeB)); break;  // high halves first, unsigned
        case 3: r = ThreeWay(wordA, wordB); break;
        default: return 0;
    }
    return key % 2 ? -r : r;
}

}  // namespace

const char* QuarantineStatusText(int32_t status) {
    switch (status) {
        case QS_PENDING: return "Pending";
        case QS_QUAR: return "Quar";
        case QS_CLEANED: return "Cleaned";
        case QS_RECOVERED: return "Recovered";
        default: return "Unknown";
    }
}

int CompareEntries(const AuthenticEntry& a, const AuthenticEntry& b, int key) {
    return Compare(a.name, b.name, a.path, b.path, a.time, b.time, int32_t(a.reserved), int32_t(b.reserved), key);
}

int CompareEntries(const QuarantineEntry& a, const QuarantineEntry& b, int key) {
    return Compare(a.backupName, b.backupName, a.originalPath, b.originalPath, a.time, b.time, a.status,
                   b.status, key);
}

bool ChooseBackupName(const std::string& baseName, const QuarantineList& entries, std::string* result) {
    for (int n = 1; n <= 9; ++n) {
        std::string candidate = baseName + ".ubbak" + (n == 1 ? std::string() : std::to_string(n));
        bool taken = false;
        for (const auto& e : entries) {
            if (EqualPaths(e->backupName.c_str(), candidate.c_str())) {
                taken = true;
                break;
            }
        }
        if (!taken) {
            *result = candidate;
            return true;
        }
    }
    return false;
}

namespace {

bool ForbiddenInName(char c) {
    return static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension: the
// system opens the device whatever the folder.
bool IsDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && (stem.back() == ' ')) stem.pop_back();
    for (char& c : stem) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

}  // namespace

bool IsPlainBackupName(const std::string& name) {
    if (name.empty() || name.size() >= kPathSize) return false;
    for (char c : name)
        if (ForbiddenInName(c)) return false;
    if (name.find("..") != std::string::npos || IsDeviceName(name)) return false;
    // NAME.ubbak or NAME.ubbak2 to NAME.ubbak9, NAME not empty.
    static const char kSuffix[] = ".ubbak";
    const size_t suffix = sizeof kSuffix - 1;
    size_t end = name.size();
    if (end > 0 && name[end - 1] >= '2' && name[end - 1] <= '9') --end;
    if (end <= suffix) return false;
    for (size_t i = 0; i < suffix; ++i)
        if (std::tolower(static_cast<unsigned char>(name[end - suffix + i])) != kSuffix[i]) return false;
    return true;
}

bool IsLocalAbsolutePath(const std::string& path) {
    if (path.size() < 4 || path.size() >= kPathSize) return false;
    if (!std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\') return false;
    // Every part between backslashes a plain, non-empty name.
    size_t start = 3;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        for (char c : part)
            if (ForbiddenInName(c)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace ub
