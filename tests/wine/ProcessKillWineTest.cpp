// "Kill" ends the process of its record and no other: a record whose PID
// now names a process created at another time (the PID given again) is left
// alone.
#include <windows.h>

#include <gtest/gtest.h>

#include "client/pages/win32/ProcessKill.h"
#include "tests/wine/FixtureProcess.h"

namespace ub {
namespace {

ProcessRecord RecordOf(uint32_t pid, uint64_t creation) {
    ProcessRecord r{};
    r.processId = pid;
    r.creationTime = FileTime{uint32_t(creation), uint32_t(creation >> 32)};
    return r;
}

TEST(ProcessKill, OnlyTheProcessCreatedAtTheRecordsTime) {
    struct Case {
        const char* what;
        int64_t creationShift;  // added to the real creation time
        bool zeroTime;          // a record without a creation time
        bool killed;
    } cases[] = {
        {"the record's own process", 0, false, true},
        {"same PID, created later", 1, false, false},
        {"same PID, created earlier", -10000000, false, false},
        {"no creation time in the record", 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        wine::CFixtureProcess fixture;
        ASSERT_TRUE(fixture.Start("fixture_clean.exe"));
        const uint64_t created = wine::TimesOf(fixture.Handle()).creation;
        ASSERT_NE(created, 0u);
        const ProcessRecord record = RecordOf(fixture.Pid(), c.zeroTime ? 0 : created + c.creationShift);
        EXPECT_EQ(TerminateProcessOfRecord(record), c.killed);
        if (c.killed) {
            ASSERT_EQ(::WaitForSingleObject(fixture.Handle(), wine::kWaitLimitMs), WAIT_OBJECT_0);
            DWORD code = 0;
            ::GetExitCodeProcess(fixture.Handle(), &code);
            EXPECT_EQ(code, 0xFFFFFFFFu);
        } else {
            EXPECT_EQ(::WaitForSingleObject(fixture.Handle(), 0), DWORD(WAIT_TIMEOUT)) << "another process was ended";
        }
    }
    // A PID that names no process.
    EXPECT_FALSE(TerminateProcessOfRecord(RecordOf(0xFFFFFFF0u, 1)));
}

}  // namespace
}  // namespace ub
