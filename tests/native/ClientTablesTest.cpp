#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "client/monitor/ClientTables.h"
#include "tests/support/Publication.h"

namespace ub {
namespace {

using test::Publication;

TEST(ClientTables, MergeAndAgeingStatuses) {
    CClientTables t;
    Publication snap;
    snap.Module(ST_NEW, "C:\\a.exe").Module(ST_REPORTED, "C:\\k.dll").Module(ST_UPDATED, "C:\\u.dll");
    snap.Process(ST_REPORTED, 8, {0, 1}).Process(ST_NEW, 12, {0, 2}).Process(ST_NEW_FINISHED, 16, {0});
    t.Merge(snap.block);
    ASSERT_EQ(t.modules.size(), 3u);
    ASSERT_EQ(t.processes.size(), 3u);
    t.AgeStatuses();
    EXPECT_EQ(t.modules[2]->status, 0);
    EXPECT_EQ(t.processes[0]->status, 0);
    EXPECT_EQ(t.processes[1]->status, ST_NEW_SHOWN);
    EXPECT_EQ(t.processes[2]->status, ST_FINISHED_SHOWN);

    // A delta: re-inspected module and rescanned processes arrive as 100.
    Publication delta;
    delta.Module(ST_UPDATED, "c:\\K.DLL", 0x800).Module(ST_NEW, "C:\\late.dll");
    delta.Process(ST_UPDATED, 8, {0, 1, 4}).Process(ST_UPDATED, 12, {0}).Process(ST_FINISHED, 16, {0});
    t.Merge(delta.block);
    EXPECT_EQ(t.modules.size(), 4u);  // k.dll kept its place, late.dll appended
    EXPECT_EQ(t.modules[1]->status, 100);
    EXPECT_EQ(t.modules[1]->flags, 0x800u);
    EXPECT_EQ(t.modules[3]->status, ST_NEW);
    EXPECT_EQ(t.processes[0]->status, 100);
    EXPECT_EQ(t.processes[1]->status, 100 + ST_NEW_SHOWN);
    EXPECT_EQ(t.processes[0]->moduleCount, 3u);
    // The ended record of 16 is never matched again: the 3 is a new record.
    ASSERT_EQ(t.processes.size(), 4u);
    EXPECT_EQ(t.processes[3]->status, ST_FINISHED);

    t.AgeStatuses();
    struct Expect {
        size_t pos;
        uint8_t status;
    } after[] = {{0, 0}, {1, ST_NEW_SHOWN}, {2, ST_FINISHED_SHOWN}, {3, ST_FINISHED_SHOWN}};
    for (const Expect& e : after) EXPECT_EQ(t.processes[e.pos]->status, e.status) << e.pos;
    for (auto& m : t.modules) EXPECT_EQ(m->status, 0);
}

TEST(ClientTables, RunningProcessEndsInPlaceAndReusedIdGetsItsOwnRecord) {
    CClientTables t;
    Publication snap;
    snap.Module(ST_NEW, "C:\\a.exe").Module(ST_NEW, "C:\\b.exe");
    snap.Process(ST_REPORTED, 8, {0});
    t.Merge(snap.block);
    Publication delta;
    delta.Process(ST_NEW, 8, {1});  // same ID, another executable
    delta.Process(ST_FINISHED, 8, {0});
    t.Merge(delta.block);
    ASSERT_EQ(t.processes.size(), 2u);
    EXPECT_EQ(t.processes[0]->status, ST_FINISHED);  // the running a.exe record, replaced
    EXPECT_EQ(t.processes[1]->moduleIndex[0], 1u);
    EXPECT_EQ(t.FindRunningProcess(8, "C:\\B.EXE"), 1);
    EXPECT_EQ(t.FindRunningProcess(8, "C:\\a.exe"), -1);
}

TEST(ClientTables, HostileBlockIsNotTrusted) {
    CClientTables t;
    Publication pub;
    pub.Module(ST_NEW, "C:\\a.exe");
    ModuleRecord* m = pub.block.ModuleSlot(0);
    std::memset(m->fullPath, 'x', kPathSize);  // no NUL anywhere
    std::memset(m->baseName, 'y', kNameSize);
    pub.Process(ST_NEW, 8, {0}).Process(ST_NEW, 9, {5000}).Process(ST_NEW, 10, {});
    pub.block.ProcessSlot(0)->moduleCount = 100000;
    pub.block.SetCounts(999999, 999999);  // far past the slots there are
    t.Merge(pub.block);
    EXPECT_EQ(std::strlen(t.modules[0]->fullPath), kPathSize - 1);
    EXPECT_EQ(std::strlen(t.modules[0]->baseName), kNameSize - 1);
    EXPECT_LE(t.modules.size(), kMaxModuleSlots);
    // Only the process with a main module the client holds is kept; the
    // zeroed slots past the written ones have no modules at all.
    ASSERT_EQ(t.processes.size(), 1u);
    EXPECT_EQ(t.processes[0]->processId, 8u);
    EXPECT_EQ(t.processes[0]->moduleCount, kMaxModulesPerProcess);
}

TEST(ClientTables, SnapshotClearsAndRefreshPeriods) {
    CClientTables t;
    Publication pub;
    pub.Module(ST_NEW, "C:\\a.exe").Process(ST_NEW, 8, {0});
    t.Merge(pub.block);
    t.ClearTables();
    EXPECT_TRUE(t.modules.empty());
    EXPECT_EQ(t.FindModuleByPath("C:\\a.exe"), -1);
    struct Case {
        int32_t speed;
        uint32_t ms;
    } cases[] = {{2, 400}, {1, 2000}, {0, 10000}, {7, 10000}, {-1, 10000}};
    for (const Case& c : cases) EXPECT_EQ(RefreshPeriodMs(c.speed), c.ms) << c.speed;
}

}  // namespace
}  // namespace ub
