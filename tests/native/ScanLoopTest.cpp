#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/CountingLock.h"
#include "service/ScanLoop.h"
#include "tests/support/FakeProcessSource.h"

namespace ub {
namespace {

using test::FakeModule;
using test::FakeProcess;
using test::FakeProcessSource;

using test::CountingLock;

// The platform as a script: sleeps are recorded, waits answer from a list
// (true once it is used up), the client-present event is a flag, and the
// client processes are a table of PID -> handle.
class ScriptedPlatform : public IServicePlatform {
public:
    std::vector<uint32_t> sleeps;
    std::deque<bool> waitResults;
    int waits = 0;
    bool eventSet = false;
    int resets = 0;
    int sets = 0;
    std::map<uint32_t, uint32_t> clients;  // PID -> handle; absent: the open fails
    std::set<uint32_t> endedHandles;
    std::vector<uint32_t> opened;  // PIDs
    std::vector<uint32_t> tested;  // handles
    std::vector<uint32_t> closed;  // handles
    std::function<void()> beforeReset;

    void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
    bool WaitForClient() override {
        ++waits;
        if (waitResults.empty()) return true;
        bool ok = waitResults.front();
        waitResults.pop_front();
        return ok;
    }
    void ResetClientEvent() override {
        if (beforeReset) beforeReset();
        ++resets;
        eventSet = false;
    }
    void SetClientEvent() override {
        ++sets;
        eventSet = true;
    }
    uint32_t OpenClient(uint32_t pid) override {
        opened.push_back(pid);
        auto it = clients.find(pid);
        return it == clients.end() ? 0 : it->second;
    }
    bool ClientHasEnded(uint32_t handle) override {
        tested.push_back(handle);
        return endedHandles.count(handle) != 0;
    }
    void CloseClient(uint32_t handle) override { closed.push_back(handle); }
};

FakeModule Module(uint64_t base, const std::string& path) {
    FakeModule m;
    m.base = base;
    m.path = path;
    m.baseName = path.substr(path.rfind('\\') + 1);
    m.image = std::vector<uint8_t>(64, 0);  // read on every inspection
    return m;
}

FakeProcess Process(uint32_t pid) {
    FakeProcess p;
    p.pid = pid;
    p.modules = {Module(0x1000 * pid, "C:\\p" + std::to_string(pid) + ".exe"),
                 Module(0x70000000, "C:\\Windows\\ntdll.dll")};
    p.times.creation = 1000 + pid;
    return p;
}

// Everything one loop needs, with `processes` running processes (PIDs 8, 12, ...).
struct Rig {
    explicit Rig(int processes = 2) {
        for (int i = 0; i < processes; ++i) src.Start(Process(uint32_t(8 + 4 * i)));
    }
    // A client starting: writes its ID and sets the event.
    void Register(uint32_t pid, uint32_t handle) {
        platform.clients[pid] = handle;
        view.SetClientPid(pid);
        platform.eventSet = true;
    }
    // Inspections of a process's main module so far.
    int MainReads(uint32_t pid) { return src.reads[0x1000 * pid]; }

    FakeProcessSource src;
    CScanTables tables{src};
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kBlockSize, 0);
    CChannelBlock view{bytes.data()};
    CountingLock lock;
    ScriptedPlatform platform;
    CScanLoop loop{src, tables, view, lock, platform};
};

TEST(ScanLoop, FirstRoundScansEverythingAndPublishesInFull) {
    for (uint8_t state : {CS_DELTA_READY, CS_CONSUMED, CS_FULL_WANTED, CS_FULL_READY}) {
        SCOPED_TRACE(int(state));
        Rig r;
        r.view.SetState(state);
        EXPECT_TRUE(r.loop.FullMode());
        EXPECT_EQ(r.loop.Counter(), -1);
        EXPECT_EQ(r.loop.Designated(), kRescanAll);

        ASSERT_TRUE(r.loop.RunRound());
        EXPECT_EQ(r.view.State(), CS_FULL_READY);
        EXPECT_EQ(r.view.ProcessCount(), 2u);
        EXPECT_EQ(r.view.ModuleCount(), 3u);
        // First-round records go out as reported, their modules as new.
        EXPECT_EQ(r.view.ProcessSlot(0)->status, ST_REPORTED);
        EXPECT_EQ(r.view.ProcessSlot(1)->status, ST_REPORTED);
        EXPECT_EQ(r.view.ModuleSlot(0)->status, ST_NEW);
        EXPECT_FALSE(r.loop.FullMode());
        EXPECT_EQ(r.loop.Counter(), 0);
        EXPECT_EQ(r.platform.sleeps, std::vector<uint32_t>{500});
        EXPECT_EQ(r.platform.waits, 1);
    }
}

TEST(ScanLoop, FailedLockKeepsFullModeForTheNextRound) {
    Rig r;
    r.view.SetState(CS_CONSUMED);
    r.lock.fails = true;
    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.view.State(), CS_CONSUMED);
    EXPECT_TRUE(r.loop.FullMode());
    EXPECT_EQ(r.loop.Designated(), kRescanAll);

    r.lock.fails = false;
    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.view.State(), CS_FULL_READY);
    EXPECT_EQ(r.view.ProcessCount(), 2u);
    EXPECT_FALSE(r.loop.FullMode());
}

TEST(ScanLoop, ForcedRescanRotatesThroughTheTable) {
    Rig r(3);  // positions 0, 1, 2: PIDs 8, 12, 16
    SetServiceSpeed(r.view, 3, 0);  // one forced rescan every 20 rounds
    struct Row {
        int round;
        int designated;
        uint32_t rescanned;  // 0: none
        int counterAfter;
    } rows[] = {
        {2, 0, 8, 1},          {3, kRescanNone, 0, 2},  {21, kRescanNone, 0, 20}, {22, 1, 12, 21},
        {23, kRescanNone, 0, 22}, {42, 2, 16, 41},      {61, kRescanNone, 0, 0},  {62, 0, 8, 1},
    };
    int rescans = 0;
    size_t next = 0;
    for (int round = 1; round <= 62; ++round) {
        r.view.SetState(CS_CONSUMED);  // the client consumes every publication
        int designated = r.loop.Designated();
        std::map<uint32_t, int> before{{8, r.MainReads(8)}, {12, r.MainReads(12)}, {16, r.MainReads(16)}};
        ASSERT_TRUE(r.loop.RunRound());
        uint32_t rescanned = 0;
        for (auto& [pid, reads] : before) {
            if (r.MainReads(pid) == reads) continue;
            if (round > 1) ++rescans;
            rescanned = pid;
        }
        if (next < std::size(rows) && rows[next].round == round) {
            const Row& row = rows[next++];
            EXPECT_EQ(designated, row.designated) << "round " << round;
            EXPECT_EQ(rescanned, row.rescanned) << "round " << round;
            EXPECT_EQ(r.loop.Counter(), row.counterAfter) << "round " << round;
        }
    }
    EXPECT_EQ(next, std::size(rows));
    EXPECT_EQ(rescans, 4);  // rounds 2, 22, 42 and 62
}

TEST(ScanLoop, CounterWrapsAtTheEndOfTheProcessTable) {
    struct Case {
        int processes;
        uint32_t paceCode;
        int rounds;
        int counter;
    } cases[] = {
        {0, 0, 1, 0},    {0, 0, 5, 0},     {0, 3, 3, 0},     {1, 3, 20, 19},   {1, 3, 21, 0},
        {2, 3, 40, 39},  {2, 3, 41, 0},    {1, 0, 100, 99},  {1, 0, 101, 0},   {1, 1, 500, 499},
        {1, 1, 501, 0},  {3, 2, 300, 299}, {3, 2, 301, 0},
    };
    for (const Case& c : cases) {
        Rig r(c.processes);
        SetServiceSpeed(r.view, c.paceCode, 0);
        for (int i = 0; i < c.rounds; ++i) ASSERT_TRUE(r.loop.RunRound());
        EXPECT_EQ(r.loop.Counter(), c.counter)
            << c.processes << " processes, pace code " << c.paceCode << ", " << c.rounds << " rounds";
    }
}

TEST(ScanLoop, SpeedCodesSetPaceAndDelay) {
    struct Row {
        uint32_t paceCode;
        uint32_t delayCode;
        int pace;
        uint32_t delay;  // also the sleep of that round
    } rows[] = {
        {0, 0, 100, 500},  {3, 3, 20, 100},  {0, 0, 20, 100},         {7, 7, 20, 100},
        {1, 1, 500, 2500}, {2, 2, 100, 500}, {0xFFFFFFFF, 4, 100, 500}, {3, 1, 20, 2500},
    };
    Rig r;
    for (const Row& row : rows) {
        SetServiceSpeed(r.view, row.paceCode, row.delayCode);
        ASSERT_TRUE(r.loop.RunRound());
        EXPECT_EQ(r.loop.RescanPace(), row.pace) << row.paceCode;
        EXPECT_EQ(r.loop.RoundDelay(), row.delay) << row.delayCode;
        EXPECT_EQ(r.platform.sleeps.back(), row.delay) << row.delayCode;
    }
    EXPECT_EQ(r.platform.sleeps.size(), std::size(rows));
}

TEST(ScanLoop, SnapshotRequestRescansAllAndPublishesInFullNextRound) {
    Rig r;
    ASSERT_TRUE(r.loop.RunRound());
    r.view.SetState(CS_CONSUMED);
    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.view.State(), CS_DELTA_READY);
    EXPECT_EQ(r.view.ProcessCount(), 1u);  // position 0, rescanned by rotation
    ASSERT_EQ(r.loop.Counter(), 1);
    EXPECT_EQ(r.loop.Designated(), kRescanNone);

    r.view.SetState(CS_FULL_WANTED);
    int acquires = r.lock.acquires;
    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.view.State(), CS_FULL_WANTED);  // nothing published
    EXPECT_EQ(r.lock.acquires, acquires);
    EXPECT_TRUE(r.loop.FullMode());
    EXPECT_EQ(r.loop.Designated(), kRescanAll);  // counter 2 alone would give none

    int reads8 = r.MainReads(8), reads12 = r.MainReads(12);
    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.view.State(), CS_FULL_READY);
    EXPECT_EQ(r.view.ProcessCount(), 2u);
    EXPECT_EQ(r.view.ModuleCount(), 3u);
    EXPECT_EQ(r.view.ProcessSlot(0)->status, ST_UPDATED);
    EXPECT_EQ(r.MainReads(8), reads8 + 1);
    EXPECT_EQ(r.MainReads(12), reads12 + 1);
    EXPECT_FALSE(r.loop.FullMode());
}

TEST(ScanLoop, ClientIsOpenedOnceWhenRegistered) {
    struct Case {
        const char* what;
        uint32_t pid;              // in the header
        bool openable;
        std::deque<bool> waits;    // per round
        std::vector<uint32_t> opened;
        uint32_t handleAfter;
    } cases[] = {
        {"no client registered", 0, true, {true, true}, {}, 0},
        {"open fails: retried next round", 42, false, {true, true}, {42, 42}, 0},
        {"wait fails, no handle held", 42, true, {false, false}, {}, 0},
        {"opened once, then watched", 42, true, {true, true, true}, {42}, 0x50},
        {"opened after a failed wait", 42, true, {false, true, true}, {42}, 0x50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        r.view.SetClientPid(c.pid);
        if (c.openable) r.platform.clients[c.pid] = 0x50;
        r.platform.waitResults = c.waits;
        for (size_t i = 0; i < c.waits.size(); ++i) ASSERT_TRUE(r.loop.RunRound());
        EXPECT_EQ(r.platform.opened, c.opened);
        EXPECT_EQ(r.loop.ClientHandle(), c.handleAfter);
        EXPECT_TRUE(r.platform.closed.empty());
        EXPECT_EQ(r.view.ClientPid(), c.pid);
        EXPECT_EQ(r.platform.resets, 0);
        if (c.handleAfter) {
            // Tested in the round it was opened and in every later one.
            size_t rounds = c.waits.size() - size_t(c.waits.front() ? 0 : 1);
            EXPECT_EQ(r.platform.tested, std::vector<uint32_t>(rounds, c.handleAfter));
        }
    }
}

TEST(ScanLoop, EndedClientIsUnregistered) {
    for (bool waitOk : {true, false}) {
        SCOPED_TRACE(waitOk ? "event wait succeeded" : "event wait failed: the held handle is tested");
        Rig r;
        r.Register(42, 0x50);
        ASSERT_TRUE(r.loop.RunRound());
        ASSERT_EQ(r.loop.ClientHandle(), 0x50u);

        // The client asked for a snapshot and then died.
        r.view.SetState(CS_FULL_WANTED);
        r.platform.endedHandles.insert(0x50);
        r.platform.waitResults = {waitOk};
        ASSERT_TRUE(r.loop.RunRound());
        EXPECT_EQ(r.view.ClientPid(), 0u);
        EXPECT_FALSE(r.platform.eventSet);
        EXPECT_EQ(r.platform.resets, 1);
        EXPECT_EQ(r.platform.closed, std::vector<uint32_t>{0x50});
        EXPECT_EQ(r.loop.ClientHandle(), 0u);
        EXPECT_FALSE(r.loop.FullMode());

        // One more round, then nothing to open.
        ASSERT_TRUE(r.loop.RunRound());
        EXPECT_EQ(r.platform.opened, std::vector<uint32_t>{42});
        EXPECT_EQ(r.platform.closed.size(), 1u);
    }
}

TEST(ScanLoop, NewClientRegisteredBeforeTheEndWasNoticedIsKept) {
    Rig r;
    r.Register(42, 0x50);
    ASSERT_TRUE(r.loop.RunRound());
    r.platform.endedHandles.insert(0x50);
    r.Register(43, 0x60);  // the new client starts before the service looks

    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.view.ClientPid(), 43u);
    EXPECT_TRUE(r.platform.eventSet);
    EXPECT_EQ(r.platform.closed, std::vector<uint32_t>{0x50});
    EXPECT_EQ(r.loop.ClientHandle(), 0u);

    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.platform.opened, (std::vector<uint32_t>{42, 43}));
    EXPECT_EQ(r.loop.ClientHandle(), 0x60u);
}

TEST(ScanLoop, NewClientRegisteringWhileTheOldOneIsClearedIsKept) {
    Rig r;
    r.Register(42, 0x50);
    ASSERT_TRUE(r.loop.RunRound());
    r.platform.endedHandles.insert(0x50);
    // The new client writes its ID and sets the event after the service has
    // cleared the old ID but before it resets the event.
    r.platform.beforeReset = [&] {
        EXPECT_EQ(r.view.ClientPid(), 0u);
        r.platform.beforeReset = nullptr;
        r.Register(43, 0x60);
    };

    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.view.ClientPid(), 43u);
    EXPECT_TRUE(r.platform.eventSet);
    EXPECT_EQ(r.loop.ClientHandle(), 0u);

    ASSERT_TRUE(r.loop.RunRound());
    EXPECT_EQ(r.platform.opened, (std::vector<uint32_t>{42, 43}));
    EXPECT_EQ(r.loop.ClientHandle(), 0x60u);
}

TEST(ScanLoop, EnumerationFailureEndsTheLoop) {
    Rig r;
    r.view.SetState(CS_CONSUMED);
    r.src.enumFails = true;
    EXPECT_FALSE(r.loop.RunRound());
    EXPECT_TRUE(r.tables.Processes().empty());
    EXPECT_EQ(r.lock.acquires, 0);
    EXPECT_EQ(r.view.State(), CS_CONSUMED);
    EXPECT_TRUE(r.platform.sleeps.empty());
    EXPECT_EQ(r.platform.waits, 0);
    EXPECT_EQ(r.loop.Counter(), -1);
}

}  // namespace
}  // namespace ub
