#include "client/pages/win32/ProcessKill.h"

namespace ub {
namespace {

// Windows XP and Server 2003 do not know the limited query right and refuse
// it; Vista and later grant it where the full one is refused.
constexpr DWORD kQueryLimited = 0x1000;

HANDLE OpenForKill(DWORD processId, bool checkTimes) {
    if (!checkTimes) return ::OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    HANDLE h = ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!h) h = ::OpenProcess(PROCESS_TERMINATE | kQueryLimited, FALSE, processId);
    return h;
}

bool CreatedAt(HANDLE process, FileTime expected) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
    return created.dwLowDateTime == expected.low && created.dwHighDateTime == expected.high;
}

}  // namespace

bool TerminateProcessOfRecord(const ProcessRecord& record) {
    const bool checkTimes = ToU64(record.creationTime) != 0;
    HANDLE process = OpenForKill(record.processId, checkTimes);
    if (!process) return false;
    bool killed = false;
    if (!checkTimes || CreatedAt(process, record.creationTime))
        killed = ::TerminateProcess(process, 0xFFFFFFFF) != FALSE;
    ::CloseHandle(process);
    return killed;
}

}  // namespace ub
