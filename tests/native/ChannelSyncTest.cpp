#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/CountingLock.h"
#include "common/ChannelBlock.h"
#include "service/Publisher.h"
#include "tests/support/FakeProcessSource.h"
#include "tools/ubscan/SnapshotCollector.h"

namespace ub {
namespace {

struct Block {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kBlockSize, 0);
    CChannelBlock view{bytes.data()};
};

using test::CountingLock;

// Records the calls in order, with what the block and the lock looked like
// at each.
class RecordingMerge : public IChannelMerge {
public:
    explicit RecordingMerge(const CountingLock& lock) : m_lock(lock) {}

    std::string calls;
    uint8_t stateAtMerge = 0xFF;
    uint32_t processesSeen = 0xFFFFFFFF;
    uint32_t modulesSeen = 0xFFFFFFFF;
    bool lockedThroughout = true;

    void ClearTables() override {
        calls += "clear;";
        lockedThroughout = lockedThroughout && m_lock.held;
    }
    void Merge(const CChannelBlock& block) override {
        calls += "merge;";
        lockedThroughout = lockedThroughout && m_lock.held;
        stateAtMerge = block.State();
        processesSeen = block.ProcessCount();
        modulesSeen = block.ModuleCount();
    }

private:
    const CountingLock& m_lock;
};

TEST(ChannelSync, StateByteDecidesWhatTheClientDoes) {
    struct Case {
        const char* what;
        uint8_t state;
        bool requestFull;
        bool lockFails;
        int result;
        uint8_t stateAfter;
        const char* calls;
        int acquires;
    } cases[] = {
        {"fresh block consumed", CS_DELTA_READY, false, false, 1, CS_CONSUMED, "merge;", 1},
        {"snapshot consumed", CS_FULL_READY, false, false, 2, CS_CONSUMED, "clear;merge;", 1},
        {"requested snapshot ready", CS_FULL_READY, true, false, 2, CS_CONSUMED, "clear;merge;", 1},
        {"request over an unconsumed delta", CS_DELTA_READY, true, false, 0, CS_FULL_WANTED, "", 0},
        {"request over a consumed block", CS_CONSUMED, true, false, 0, CS_FULL_WANTED, "", 0},
        {"request repeated", CS_FULL_WANTED, true, false, 0, CS_FULL_WANTED, "", 0},
        {"nothing new", CS_CONSUMED, false, false, 0, CS_CONSUMED, "", 0},
        {"lock fails over a delta", CS_DELTA_READY, false, true, 0, CS_DELTA_READY, "", 1},
        {"lock fails over a snapshot", CS_FULL_READY, true, true, 0, CS_FULL_READY, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Block b;
        b.view.SetState(c.state);
        b.view.SetCounts(3, 5);
        CountingLock lock;
        lock.fails = c.lockFails;
        RecordingMerge merge(lock);

        EXPECT_EQ(SyncFromChannel(b.view, lock, c.requestFull, merge), c.result);
        EXPECT_EQ(b.view.State(), c.stateAfter);
        EXPECT_EQ(merge.calls, c.calls);
        EXPECT_EQ(lock.acquires, c.acquires);
        EXPECT_FALSE(lock.held);
        EXPECT_EQ(lock.releases, c.lockFails ? 0 : c.acquires);
        EXPECT_TRUE(merge.lockedThroughout);
        if (c.result != 0) {
            EXPECT_EQ(merge.stateAtMerge, CS_CONSUMED);
            EXPECT_EQ(merge.processesSeen, 3u);
            EXPECT_EQ(merge.modulesSeen, 5u);
        }
        EXPECT_EQ(b.view.ProcessCount(), 3u);  // the client never writes the counts
        EXPECT_EQ(b.view.ModuleCount(), 5u);
    }
}

TEST(ChannelSync, FreshBlockGivesAnEmptyMerge) {
    Block b;
    CountingLock lock;
    CSnapshotCollector client;
    EXPECT_EQ(SyncFromChannel(b.view, lock, false, client), 1);
    EXPECT_TRUE(client.modules.empty());
    EXPECT_TRUE(client.processes.empty());
    EXPECT_EQ(b.view.State(), CS_CONSUMED);
}

// Client first: it asks at every tick; the service's publication answers
// the request with a snapshot one round later, and the client gets it.
TEST(ChannelSync, SnapshotRequestIsAnsweredOnTheNextPublication) {
    test::FakeProcessSource src;
    CScanTables t(src);
    auto mod = std::make_unique<ModuleRecord>();
    std::memset(mod.get(), 0, sizeof *mod);
    std::strcpy(mod->fullPath, "C:\\a.exe");
    t.Modules().push_back(std::move(mod));
    auto proc = std::make_unique<ProcessRecord>();
    std::memset(proc.get(), 0, sizeof *proc);
    proc->processId = 8;
    proc->moduleCount = 1;
    t.Processes().push_back(std::move(proc));

    Block b;
    b.view.SetState(CS_CONSUMED);
    CountingLock lock;
    CSnapshotCollector client;
    EXPECT_EQ(SyncFromChannel(b.view, lock, true, client), 0);
    EXPECT_EQ(PublishTables(b.view, lock, t, false), 2);
    EXPECT_EQ(SyncFromChannel(b.view, lock, true, client), 0);  // asks again
    EXPECT_EQ(b.view.State(), CS_FULL_WANTED);
    EXPECT_EQ(PublishTables(b.view, lock, t, true), 1);
    EXPECT_EQ(SyncFromChannel(b.view, lock, true, client), 2);
    ASSERT_EQ(client.processes.size(), 1u);
    ASSERT_EQ(client.modules.size(), 1u);
    EXPECT_EQ(client.processes[0]->processId, 8u);
    EXPECT_STREQ(client.modules[0]->fullPath, "C:\\a.exe");
    EXPECT_EQ(SyncFromChannel(b.view, lock, false, client), 0);
}

TEST(ChannelSync, SetServiceSpeedWritesBothCodesOnly) {
    Block b;
    std::memset(b.bytes.data(), 0xEE, kOffProcessSlots);
    SetServiceSpeed(b.view, 0x01020304, 3);
    const uint8_t expected[28] = {0xEE, 0xEE, 0xEE, 0xEE, 0x04, 0x03, 0x02, 0x01, 0x03, 0x00,
                                  0x00, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                                  0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(b.bytes.data(), expected, sizeof expected), 0);
    EXPECT_EQ(b.view.PaceCode(), 0x01020304u);
    EXPECT_EQ(b.view.DelayCode(), 3u);
}

TEST(ChannelSync, HeaderFieldsLieAtTheirOffsets) {
    struct Field {
        const char* name;
        size_t offset;
        uint32_t (CChannelBlock::*get)() const;
    } fields[] = {
        {"pace code", 4, &CChannelBlock::PaceCode},        {"delay code", 8, &CChannelBlock::DelayCode},
        {"service PID", 12, &CChannelBlock::ServicePid},   {"client PID", 16, &CChannelBlock::ClientPid},
        {"process count", 20, &CChannelBlock::ProcessCount}, {"module count", 24, &CChannelBlock::ModuleCount},
    };
    // Raw little-endian bytes, read through the accessors.
    Block b;
    for (size_t i = 0; i < 6; ++i) {
        const uint8_t raw[4] = {uint8_t(0x10 + i), 0x32, 0x54, uint8_t(0x76 + i)};
        std::memcpy(b.bytes.data() + fields[i].offset, raw, 4);
    }
    b.bytes[0] = 0x03;
    EXPECT_EQ(b.view.State(), 3u);
    for (size_t i = 0; i < 6; ++i) {
        uint32_t expected = uint32_t(0x10 + i) | 0x5432u << 8 | uint32_t(0x76 + i) << 24;
        EXPECT_EQ((b.view.*fields[i].get)(), expected) << fields[i].name;
    }

    // The setters, read back as raw bytes.
    Block w;
    w.view.SetState(CS_FULL_WANTED);
    w.view.SetServicePid(0xA1B2C3D4);
    w.view.SetClientPid(0x00000102);
    w.view.SetCounts(1024, 8102);
    const uint8_t header[28] = {0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xD4, 0xC3,
                                0xB2, 0xA1, 0x02, 0x01, 0, 0, 0x00, 0x04, 0, 0, 0xA6, 0x1F, 0, 0};
    EXPECT_EQ(std::memcmp(w.bytes.data(), header, sizeof header), 0);

    // Record slots.
    EXPECT_EQ(reinterpret_cast<uint8_t*>(w.view.ProcessSlot(0)), w.bytes.data() + 28);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(w.view.ProcessSlot(1023)), w.bytes.data() + 28 + 1023 * 6192);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(w.view.ModuleSlot(0)), w.bytes.data() + 0x60C01C);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(w.view.ModuleSlot(8101) + 1), w.bytes.data() + 16776012);
}

TEST(ChannelSync, ClientPidIsClearedOnlyWhileItIsTheEndedOne) {
    struct Case {
        uint32_t stored;
        uint32_t ended;
        bool cleared;
        uint32_t after;
    } cases[] = {
        {42, 42, true, 0},
        {43, 42, false, 43},  // a new client registered meanwhile
        {0, 42, false, 0},
        {0x2A000000, 42, false, 0x2A000000},
    };
    for (const Case& c : cases) {
        Block b;
        b.view.SetServicePid(0xFFFFFFFF);
        b.view.SetClientPid(c.stored);
        b.view.SetCounts(0xFFFFFFFF, 0);
        EXPECT_EQ(b.view.ClearClientPidIf(c.ended), c.cleared) << c.stored;
        EXPECT_EQ(b.view.ClientPid(), c.after) << c.stored;
        EXPECT_EQ(b.view.ServicePid(), 0xFFFFFFFFu);
        EXPECT_EQ(b.view.ProcessCount(), 0xFFFFFFFFu);
    }
}

}  // namespace
}  // namespace ub
