// Scan rounds of CScanTables over CWin32ProcessSource with the fixture
// programs running: what the first round records, and what later rounds make
// of processes that end or start in between.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/SharedFormat.h"
#include "service/ScanTables.h"
#include "service/win32/Win32ProcessSource.h"
#include "tests/wine/FixtureProcess.h"
#include "tests/wine/FixtureTable.h"
#include "tools/ubscan/ProcessScan.h"

namespace ub {
namespace {

using wine::BinFolder;
using wine::CFixtureProcess;
using wine::CFixtureSet;
using wine::EqualsNoCase;

// Tables over the real source. The tables never close the handles of
// records still running; this does, when the test ends.
struct CLiveTables {
    CWin32ProcessSource source;
    CScanTables tables{source};

    ~CLiveTables() {
        for (auto& p : tables.Processes()) {
            if (p->processHandle) source.CloseProcess(p->processHandle);
        }
        tables.ReleaseTables();
    }

    bool Round(int designated, bool firstRound) {
        return RunScanRound(source, tables, designated, firstRound);
    }
    // The running record of the process, or nullptr.
    const ProcessRecord* Running(uint32_t pid) const {
        int pos = tables.FindProcess(pid);
        return pos < 0 ? nullptr : tables.Processes()[size_t(pos)].get();
    }
    // Position of the last record with this ID, ended or not; -1 if none.
    int LastPosition(uint32_t pid) const {
        const auto& list = tables.Processes();
        for (size_t i = list.size(); i-- > 0;) {
            if (list[i]->processId == pid) return int(i);
        }
        return -1;
    }
    const ModuleRecord& Module(uint32_t index) const { return *tables.Modules().at(index); }
    // Positions in `rec`'s module list whose file name is `baseName`.
    std::vector<uint32_t> Slots(const ProcessRecord& rec, const std::string& baseName) const {
        std::vector<uint32_t> slots;
        for (uint32_t i = 0; i < rec.moduleCount; ++i) {
            if (EqualsNoCase(Module(rec.moduleIndex[i]).baseName, baseName)) slots.push_back(i);
        }
        return slots;
    }
};

std::string Folded(const char* path) {
    std::string s(path);
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Every fixture program runs once for the whole suite; the tests only read
// them. Tests that end processes start their own.
class ScanRound : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_fixtures = std::make_unique<CFixtureSet>();
        ::testing::AssertionResult started = s_fixtures->Start(wine::kFixturePrograms);
        s_startError = started ? "" : started.message();
    }
    static void TearDownTestSuite() { s_fixtures.reset(); }
    void SetUp() override { ASSERT_TRUE(s_startError.empty()) << s_startError; }

    static const CFixtureProcess& Fixture(const std::string& exe) { return (*s_fixtures)[exe]; }

    static std::unique_ptr<CFixtureSet> s_fixtures;
    static std::string s_startError;
};

std::unique_ptr<CFixtureSet> ScanRound::s_fixtures;
std::string ScanRound::s_startError;

TEST_F(ScanRound, FirstRoundRecordsEachProcess) {
    CLiveTables live;
    ASSERT_TRUE(live.Round(kRescanAll, true));

    struct Case {
        std::string exe;
        uint32_t pid;
        HANDLE process;  // for reference times
    };
    std::vector<Case> cases;
    for (const char* exe : wine::kFixturePrograms)
        cases.push_back({exe, Fixture(exe).Pid(), Fixture(exe).Handle()});
    cases.push_back({"ub_wine_tests.exe", GetCurrentProcessId(), GetCurrentProcess()});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe);
        const ProcessRecord* rec = live.Running(c.pid);
        ASSERT_NE(rec, nullptr) << "no record for PID " << c.pid;
        EXPECT_EQ(rec->status, ST_REPORTED);
        EXPECT_EQ(rec->processId, c.pid);
        ASSERT_NE(rec->processHandle, 0u);
        EXPECT_EQ(GetProcessId(wine::HandleFromValue(rec->processHandle)), c.pid);

        const wine::RawTimes reference = wine::TimesOf(c.process);
        EXPECT_NE(ToU64(rec->creationTime), 0u);
        EXPECT_EQ(ToU64(rec->creationTime), reference.creation);
        EXPECT_EQ(ToU64(rec->exitTime), 0u);

        ASSERT_GE(rec->moduleCount, 2u);
        ASSERT_LE(rec->moduleCount, kMaxModulesPerProcess);
        for (uint32_t i = 0; i < rec->moduleCount; ++i) {
            ASSERT_LT(rec->moduleIndex[i], live.tables.Modules().size()) << "slot " << i;
            EXPECT_EQ(live.Module(rec->moduleIndex[i]).status, ST_NEW) << "slot " << i;
            EXPECT_NE(rec->moduleSize[i], 0u) << "slot " << i;
        }
        const ModuleRecord& main = live.Module(rec->moduleIndex[0]);
        const std::string path = BinFolder() + c.exe;
        EXPECT_TRUE(EqualsNoCase(main.fullPath, path)) << main.fullPath;
        EXPECT_TRUE(EqualsNoCase(main.baseName, c.exe)) << main.baseName;
        EXPECT_EQ(rec->moduleSize[0], wine::SizeOfImageOnDisk(path));
    }
}

TEST_F(ScanRound, FirstRoundFlagsTheImportingModule) {
    CLiveTables live;
    ASSERT_TRUE(live.Round(kRescanAll, true));

    struct Case {
        std::string exe;
        std::string module;
        uint32_t pid;
        uint32_t flags;
    };
    std::vector<Case> cases;
    for (const wine::FixtureExpectation& e : wine::kFixtureExpectations)
        cases.push_back({e.exe, e.module, Fixture(e.exe).Pid(), e.flags});
    // The test program reads process memory through the source itself.
    cases.push_back({"ub_wine_tests.exe", "ub_wine_tests.exe", GetCurrentProcessId(),
                     MF_READ_PROCESS_MEMORY});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe + ": " + c.module);
        const ProcessRecord* rec = live.Running(c.pid);
        ASSERT_NE(rec, nullptr);
        std::vector<uint32_t> slots = live.Slots(*rec, c.module);
        ASSERT_EQ(slots.size(), 1u) << "module listed " << slots.size() << " times";
        const ModuleRecord& m = live.Module(rec->moduleIndex[slots[0]]);
        EXPECT_EQ(m.flags, c.flags) << std::hex << m.flags;
        EXPECT_TRUE(EqualsNoCase(m.fullPath, BinFolder() + c.module)) << m.fullPath;
    }
}

TEST_F(ScanRound, SharedModulesAreRecordedOnce) {
    CLiveTables live;
    ASSERT_TRUE(live.Round(kRescanAll, true));

    std::set<std::string> paths;
    for (const auto& m : live.tables.Modules())
        EXPECT_TRUE(paths.insert(Folded(m->fullPath)).second) << "recorded twice: " << m->fullPath;

    // Every fixture loads these; all refer to one record, found whatever
    // the letter case of the path.
    for (const char* dll : {"ntdll.dll", "kernel32.dll", "msvcrt.dll"}) {
        SCOPED_TRACE(dll);
        std::set<uint32_t> indices;
        for (const char* exe : wine::kFixturePrograms) {
            const ProcessRecord* rec = live.Running(Fixture(exe).Pid());
            ASSERT_NE(rec, nullptr) << exe;
            std::vector<uint32_t> slots = live.Slots(*rec, dll);
            ASSERT_EQ(slots.size(), 1u) << exe;
            indices.insert(rec->moduleIndex[slots[0]]);
        }
        ASSERT_EQ(indices.size(), 1u);
        const uint32_t index = *indices.begin();
        std::string upper = live.Module(index).fullPath;
        for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(live.tables.FindModuleByPath(upper.c_str()), int(index));
        EXPECT_EQ(live.tables.FindModuleByPath(Folded(upper.c_str()).c_str()), int(index));
    }
}

TEST_F(ScanRound, EndedAndLateProcessesGetTheirStatuses) {
    CFixtureProcess ended, stillActive;
    ASSERT_TRUE(ended.Start("fixture_clean.exe"));
    ASSERT_TRUE(stillActive.Start("fixture_clean.exe"));
    CLiveTables live;
    ASSERT_TRUE(live.Round(kRescanAll, true));
    const size_t firstRoundRecords = live.tables.Processes().size();
    const ProcessRecord* rec = live.Running(ended.Pid());
    ASSERT_NE(rec, nullptr);
    const uint32_t endedHandle = rec->processHandle;
    const uint64_t endedCreation = ToU64(rec->creationTime);
    const uint32_t cleanModule = rec->moduleIndex[0];
    ASSERT_NE(live.Running(stillActive.Pid()), nullptr);

    // Between the rounds: two processes start, two end (one of them with an
    // exit code that reads as "still active").
    CFixtureProcess lateRunning, lateEnded;
    ASSERT_TRUE(lateRunning.Start("fixture_clean.exe"));
    ASSERT_TRUE(lateEnded.Start("fixture_clean.exe"));
    ASSERT_TRUE(ended.Terminate(1));
    ASSERT_TRUE(stillActive.Terminate(STILL_ACTIVE));

    ASSERT_TRUE(live.Round(kRescanNone, false));
    {
        SCOPED_TRACE("second round");
        for (const CFixtureProcess* p : {&ended, &stillActive}) {
            SCOPED_TRACE("exit code " + std::to_string(p == &ended ? 1 : STILL_ACTIVE));
            EXPECT_EQ(live.tables.FindProcess(p->Pid()), -1);
            int pos = live.LastPosition(p->Pid());
            ASSERT_GE(pos, 0);
            ASSERT_LT(size_t(pos), firstRoundRecords) << "the ended record moved or was replaced";
            const ProcessRecord& r = *live.tables.Processes()[size_t(pos)];
            EXPECT_EQ(r.status, ST_FINISHED);
            EXPECT_EQ(r.processHandle, 0u);
            const wine::RawTimes reference = wine::TimesOf(p->Handle());
            EXPECT_NE(ToU64(r.exitTime), 0u);
            EXPECT_EQ(ToU64(r.exitTime), reference.exit);
            EXPECT_EQ(ToU64(r.creationTime), reference.creation);
        }
        // The handle was closed (its value may name another process by now).
        EXPECT_NE(GetProcessId(wine::HandleFromValue(endedHandle)), ended.Pid());
        EXPECT_EQ(ToU64(live.tables.Processes()[size_t(live.LastPosition(ended.Pid()))]->creationTime),
                  endedCreation);

        for (const CFixtureProcess* p : {&lateRunning, &lateEnded}) {
            int pos = live.tables.FindProcess(p->Pid());
            ASSERT_GE(pos, 0);
            EXPECT_GE(size_t(pos), firstRoundRecords) << "new records go to the end";
            const ProcessRecord& r = *live.tables.Processes()[size_t(pos)];
            EXPECT_EQ(r.status, ST_NEW);
            EXPECT_NE(r.processHandle, 0u);
            EXPECT_EQ(ToU64(r.exitTime), 0u);
            // Same program file as a first-round process: one module record,
            // still waiting for publication.
            EXPECT_EQ(r.moduleIndex[0], cleanModule);
            EXPECT_EQ(live.Module(cleanModule).status, ST_NEW);
        }
        // Unchanged processes are left alone when no rescan is designated.
        for (const char* exe : wine::kFixturePrograms) {
            const ProcessRecord* r = live.Running(Fixture(exe).Pid());
            ASSERT_NE(r, nullptr) << exe;
            EXPECT_EQ(r->status, ST_REPORTED) << exe;
        }
    }

    const int endedPos = live.LastPosition(ended.Pid());
    const ProcessRecord endedSnapshot = *live.tables.Processes()[size_t(endedPos)];
    ASSERT_TRUE(lateEnded.Terminate(1));
    ASSERT_TRUE(live.Round(kRescanNone, false));
    {
        SCOPED_TRACE("third round");
        const ProcessRecord* r = live.Running(lateRunning.Pid());
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->status, ST_NEW);

        EXPECT_EQ(live.tables.FindProcess(lateEnded.Pid()), -1);
        int pos = live.LastPosition(lateEnded.Pid());
        ASSERT_GE(pos, 0);
        const ProcessRecord& gone = *live.tables.Processes()[size_t(pos)];
        EXPECT_EQ(gone.status, ST_NEW_FINISHED);
        EXPECT_EQ(gone.processHandle, 0u);
        EXPECT_EQ(ToU64(gone.exitTime), wine::TimesOf(lateEnded.Handle()).exit);
        EXPECT_NE(ToU64(gone.exitTime), 0u);

        // Ended records wait for publication, unchanged and in place.
        ASSERT_EQ(live.LastPosition(ended.Pid()), endedPos);
        const ProcessRecord& kept = *live.tables.Processes()[size_t(endedPos)];
        EXPECT_EQ(kept.status, ST_FINISHED);
        EXPECT_EQ(ToU64(kept.exitTime), ToU64(endedSnapshot.exitTime));
        EXPECT_EQ(ToU64(kept.creationTime), ToU64(endedSnapshot.creationTime));
    }
}

// An ended process whose ID is still enumerated (a process that is gone but
// still referenced may be listed, or its ID may be in use again) is
// recognised through its handle.
TEST_F(ScanRound, EndedProcessStillListedIsMarkedEnded) {
    CFixtureProcess reported, fresh;
    ASSERT_TRUE(reported.Start("fixture_clean.exe"));
    CLiveTables live;
    ASSERT_TRUE(live.Round(kRescanAll, true));
    ASSERT_TRUE(fresh.Start("fixture_clean.exe"));
    ASSERT_TRUE(live.Round(kRescanNone, false));
    ASSERT_NE(live.Running(reported.Pid()), nullptr);
    ASSERT_NE(live.Running(fresh.Pid()), nullptr);
    ASSERT_TRUE(reported.Terminate(1));
    ASSERT_TRUE(fresh.Terminate(1));

    std::vector<uint32_t> ids(kMaxProcessIds);
    uint32_t count = 0;
    ASSERT_TRUE(live.source.EnumProcessIds(ids.data(), kMaxProcessIds - 2, &count));
    ids.resize(count);
    ids.push_back(reported.Pid());
    ids.push_back(fresh.Pid());
    live.tables.MarkEndedProcesses(ids.data(), uint32_t(ids.size()));

    struct Case {
        const char* name;
        const CFixtureProcess* process;
        uint8_t status;
    } cases[] = {
        {"reported", &reported, ST_FINISHED},
        {"new", &fresh, ST_NEW_FINISHED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(live.tables.FindProcess(c.process->Pid()), -1);
        int pos = live.LastPosition(c.process->Pid());
        ASSERT_GE(pos, 0);
        const ProcessRecord& r = *live.tables.Processes()[size_t(pos)];
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.processHandle, 0u);
        EXPECT_EQ(ToU64(r.exitTime), wine::TimesOf(c.process->Handle()).exit);
    }
}

}  // namespace
}  // namespace ub
