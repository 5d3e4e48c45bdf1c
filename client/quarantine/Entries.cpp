#include "client/quarantine/Entries.h"

#include <algorithm>

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

}  // namespace ub
