#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tests/support/CountingLock.h"
#include "service/Publisher.h"
#include "tests/support/FakeProcessSource.h"
#include "tools/ubscan/ProcessScan.h"

namespace ub {
namespace {

using test::FakeModule;
using test::FakeProcess;
using test::FakeProcessSource;

using Counts = std::pair<uint32_t, uint32_t>;  // processes, modules of one publication

// A zeroed 16 MiB block, sized exactly so that a write past its end is a
// heap overflow under the sanitizers. The unused tail carries a pattern
// that no publication may touch.
struct Block {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kBlockSize, 0);
    CChannelBlock view{bytes.data()};

    Block() { PoisonTail(); }

    Counts LastCounts() const { return {view.ProcessCount(), view.ModuleCount()}; }
    void PoisonTail() { std::memset(bytes.data() + kOffUnusedTail, 0x5A, kBlockSize - kOffUnusedTail); }
    bool TailIntact() const {
        for (size_t i = kOffUnusedTail; i < kBlockSize; ++i)
            if (bytes[i] != 0x5A) return false;
        return true;
    }
};

using test::CountingLock;

std::string ModPath(size_t i) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "C:\\mods\\m%05zu.dll", i);
    return buf;
}

ModuleRecord& AddModule(CScanTables& t, const std::string& path, uint8_t status, uint32_t flags = 0) {
    auto rec = std::make_unique<ModuleRecord>();
    std::memset(rec.get(), 0, sizeof(ModuleRecord));
    rec->status = status;
    rec->flags = flags;
    std::string base = path.substr(path.rfind('\\') + 1);
    std::strncpy(rec->baseName, base.c_str(), kNameSize - 1);
    std::strncpy(rec->fullPath, path.c_str(), kPathSize - 1);
    t.Modules().push_back(std::move(rec));
    return *t.Modules().back();
}

// Appends modules ModPath(first) .. ModPath(first + n - 1).
void AddModules(CScanTables& t, size_t first, size_t n, uint8_t status) {
    for (size_t i = 0; i < n; ++i) AddModule(t, ModPath(first + i), status);
}

ProcessRecord& AddProcess(CScanTables& t, uint32_t pid, uint8_t status, const std::vector<uint32_t>& indices) {
    auto rec = std::make_unique<ProcessRecord>();
    std::memset(rec.get(), 0, sizeof(ProcessRecord));
    rec->status = status;
    rec->processHandle = 0x1000 + pid * 4;
    rec->creationTime = ToFileTime(0x01D0000000000000ull + pid);
    rec->kernelTime = ToFileTime(pid * 3);
    rec->userTime = ToFileTime(pid * 5);
    rec->processId = pid;
    rec->moduleCount = uint32_t(indices.size());
    for (size_t k = 0; k < indices.size(); ++k) {
        rec->moduleIndex[k] = indices[k];
        rec->moduleBase[k] = 0x10000000u + uint32_t(k) * 0x10000u;
        rec->moduleSize[k] = 0x2000u + uint32_t(k);
    }
    t.Processes().push_back(std::move(rec));
    return *t.Processes().back();
}

std::vector<uint32_t> Range(size_t first, size_t n) {
    std::vector<uint32_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint32_t(first + i);
    return v;
}

bool IsEnded(uint8_t s) { return s == ST_FINISHED || s == ST_NEW_FINISHED; }

std::string PathOf(const ModuleRecord& m) { return std::string(m.fullPath, strnlen(m.fullPath, kPathSize)); }

// A client that rebuilds the module table from what it receives: a
// snapshot starts it afresh, a delta appends the modules it does not know
// yet, in slot order. Checks every process it receives against the
// service's tables: each module index must lie inside the client's table
// and name the module the service holds at that position.
class ClientMirror : public IChannelMerge {
public:
    explicit ClientMirror(const CScanTables& service) : m_service(service) {}

    std::vector<std::string> modules;
    std::unordered_map<std::string, size_t> positions;
    std::map<uint32_t, ProcessRecord> processes;  // running processes by ID
    int snapshots = 0;
    int deltas = 0;

    void ClearTables() override {
        modules.clear();
        positions.clear();
        processes.clear();
        m_snapshot = true;
    }

    void Merge(const CChannelBlock& block) override {
        const bool snapshot = m_snapshot;
        m_snapshot = false;
        ++(snapshot ? snapshots : deltas);
        EXPECT_EQ(block.State(), CS_CONSUMED);
        ASSERT_LE(block.ModuleCount(), kMaxModuleSlots);
        ASSERT_LE(block.ProcessCount(), kMaxProcessSlots);
        for (uint32_t i = 0; i < block.ModuleCount(); ++i) {
            const ModuleRecord& m = *block.ModuleSlot(i);
            std::string path = PathOf(m);
            bool known = positions.count(path) != 0;
            // In a delta a new module is exactly one the client lacks.
            if (!snapshot) {
                EXPECT_EQ(known, m.status != ST_NEW) << path << " status " << int(m.status);
            }
            if (!known) {
                positions[path] = modules.size();
                modules.push_back(path);
            }
        }
        for (uint32_t i = 0; i < block.ProcessCount(); ++i) {
            const ProcessRecord& p = *block.ProcessSlot(i);
            ASSERT_GE(p.moduleCount, 1u);
            ASSERT_LE(p.moduleCount, kMaxModulesPerProcess);
            for (uint32_t k = 0; k < p.moduleCount; ++k) {
                uint32_t idx = p.moduleIndex[k];
                ASSERT_LT(idx, modules.size()) << "PID " << p.processId << " entry " << k << " of "
                                               << (snapshot ? "a snapshot" : "a delta");
                ASSERT_LT(idx, m_service.Modules().size());
                EXPECT_EQ(modules[idx], PathOf(*m_service.Modules()[idx])) << "PID " << p.processId;
            }
            if (IsEnded(p.status)) processes.erase(p.processId);
            else processes[p.processId] = p;
        }
    }

private:
    const CScanTables& m_service;
    bool m_snapshot = false;
};

// The client's view equals the service's tables: same modules at the same
// positions, the same running processes with the same module indices.
void ExpectInStep(const ClientMirror& client, const CScanTables& t) {
    ASSERT_EQ(client.modules.size(), t.Modules().size());
    for (size_t i = 0; i < t.Modules().size(); ++i)
        ASSERT_EQ(client.modules[i], PathOf(*t.Modules()[i])) << "position " << i;
    size_t running = 0;
    for (const auto& p : t.Processes()) {
        ASSERT_FALSE(IsEnded(p->status)) << "ended record " << p->processId << " still waiting";
        ++running;
        auto it = client.processes.find(p->processId);
        ASSERT_NE(it, client.processes.end()) << "PID " << p->processId << " never reached the client";
        ASSERT_EQ(it->second.moduleCount, p->moduleCount);
        for (uint32_t k = 0; k < p->moduleCount; ++k) ASSERT_EQ(it->second.moduleIndex[k], p->moduleIndex[k]);
    }
    EXPECT_EQ(client.processes.size(), running);
}

// Consumes what is in the block, then publishes and consumes deltas until
// one comes out empty (consumed as well). Returns the counts of the
// non-empty deltas.
std::vector<Counts> Drain(Block& b, CountingLock& lock, CScanTables& t, ClientMirror& client) {
    std::vector<Counts> out;
    SyncFromChannel(b.view, lock, false, client);
    for (int guard = 0; guard < 20; ++guard) {
        EXPECT_EQ(PublishTables(b.view, lock, t, false), 1);
        EXPECT_TRUE(b.TailIntact());
        bool empty = b.LastCounts() == Counts{0, 0};
        if (!empty) out.push_back(b.LastCounts());
        EXPECT_EQ(SyncFromChannel(b.view, lock, false, client), 1);
        if (empty) return out;
    }
    ADD_FAILURE() << "publication never ran dry";
    return out;
}

std::vector<uint8_t> CleanImage() { return std::vector<uint8_t>(64, 0); }

FakeModule Module(uint64_t base, const std::string& path) {
    FakeModule m;
    m.base = base;
    m.path = path;
    m.baseName = path.substr(path.rfind('\\') + 1);
    m.image = CleanImage();
    return m;
}

FakeProcess Process(uint32_t pid, std::vector<FakeModule> modules) {
    FakeProcess p;
    p.pid = pid;
    p.modules = std::move(modules);
    p.times.creation = 1000 + pid;
    p.times.kernel = 7;
    p.times.user = 9;
    return p;
}

template <class Rec>
std::vector<Rec> CopyOf(const std::vector<std::unique_ptr<Rec>>& table) {
    std::vector<Rec> out;
    for (const auto& r : table) out.push_back(*r);
    return out;
}

TEST(Publisher, FirstRoundGoesOutAsFullSnapshotWhateverTheState) {
    for (uint8_t initial : {CS_DELTA_READY, CS_CONSUMED, CS_FULL_WANTED, CS_FULL_READY}) {
        SCOPED_TRACE(int(initial));
        FakeProcessSource src;
        src.Start(Process(8, {Module(0x1000, "C:\\a.exe"), Module(0x7000, "C:\\Windows\\ntdll.dll")}));
        src.Start(Process(12, {Module(0x2000, "C:\\b.exe"), Module(0x7000, "C:\\Windows\\ntdll.dll"),
                               Module(0x3000, "C:\\x.dll")}));
        CScanTables t(src);
        ASSERT_TRUE(RunScanRound(src, t, kRescanAll, true));
        auto modules = CopyOf(t.Modules());
        auto processes = CopyOf(t.Processes());
        ASSERT_EQ(modules.size(), 4u);
        ASSERT_EQ(processes.size(), 2u);

        Block b;
        b.view.SetState(initial);
        b.view.SetCounts(99, 99);
        CountingLock lock;
        EXPECT_EQ(PublishTables(b.view, lock, t, true), 1);
        EXPECT_EQ(lock.acquires, 1);
        EXPECT_EQ(lock.releases, 1);
        EXPECT_EQ(b.view.State(), CS_FULL_READY);
        EXPECT_EQ(b.LastCounts(), Counts(2, 4));
        for (size_t i = 0; i < modules.size(); ++i) {
            EXPECT_EQ(modules[i].status, ST_NEW);
            EXPECT_EQ(std::memcmp(b.view.ModuleSlot(i), &modules[i], sizeof(ModuleRecord)), 0) << "module " << i;
            EXPECT_EQ(t.Modules()[i]->status, ST_REPORTED);
        }
        for (size_t i = 0; i < processes.size(); ++i) {
            EXPECT_EQ(std::memcmp(b.view.ProcessSlot(i), &processes[i], sizeof(ProcessRecord)), 0)
                << "process " << i;
            EXPECT_EQ(t.Processes()[i]->status, ST_REPORTED);
        }
    }
}

TEST(Publisher, FullSnapshotCarriesEveryRecordWithItsStatus) {
    FakeProcessSource src;  // never scanned
    CScanTables t(src);
    AddModule(t, "C:\\a.exe", ST_REPORTED, MF_READ_PROCESS_MEMORY);
    AddModule(t, "C:\\b.dll", ST_UPDATED, MF_WRITE_PROCESS_MEMORY);
    AddModule(t, "C:\\c.dll", ST_NEW);
    AddProcess(t, 10, ST_REPORTED, {0, 1});
    AddProcess(t, 11, ST_FINISHED, {0});
    AddProcess(t, 12, ST_UPDATED, {0, 2, 1});
    AddProcess(t, 13, ST_NEW_FINISHED, {2});
    AddProcess(t, 14, ST_NEW, {0, 2});
    auto modules = CopyOf(t.Modules());
    auto processes = CopyOf(t.Processes());

    Block b;
    CountingLock lock;
    ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
    EXPECT_EQ(b.view.State(), CS_FULL_READY);
    ASSERT_EQ(b.LastCounts(), Counts(5, 3));
    for (size_t i = 0; i < modules.size(); ++i)
        EXPECT_EQ(std::memcmp(b.view.ModuleSlot(i), &modules[i], sizeof(ModuleRecord)), 0) << "module " << i;
    for (size_t i = 0; i < processes.size(); ++i)
        EXPECT_EQ(std::memcmp(b.view.ProcessSlot(i), &processes[i], sizeof(ProcessRecord)), 0) << "process " << i;

    // Ended records are gone, the rest is reported.
    ASSERT_EQ(t.Processes().size(), 3u);
    uint32_t pids[] = {10, 12, 14};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(t.Processes()[i]->processId, pids[i]);
        EXPECT_EQ(t.Processes()[i]->status, ST_REPORTED);
    }
    for (const auto& m : t.Modules()) EXPECT_EQ(m->status, ST_REPORTED);
}

TEST(Publisher, DeltaOnlyOverAConsumedPublication) {
    struct Case {
        uint8_t state;
        int result;
        bool publishes;
    } cases[] = {
        {CS_CONSUMED, 1, true},
        {CS_DELTA_READY, 0, false},
        {CS_FULL_READY, 0, false},
        {CS_FULL_WANTED, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.state));
        FakeProcessSource src;
        CScanTables t(src);
        AddModule(t, "C:\\a.exe", ST_REPORTED);
        AddModule(t, "C:\\n.dll", ST_NEW);
        AddProcess(t, 10, ST_REPORTED, {0});
        AddProcess(t, 11, ST_FINISHED, {0});
        AddProcess(t, 12, ST_NEW, {0, 1});

        Block b;
        b.view.SetState(c.state);
        b.view.SetCounts(7, 9);  // the unconsumed publication
        std::memset(b.view.ProcessSlot(0), 0xC3, sizeof(ProcessRecord));
        std::vector<uint8_t> before = b.bytes;
        CountingLock lock;

        EXPECT_EQ(PublishTables(b.view, lock, t, false), c.result);
        if (!c.publishes) {
            EXPECT_EQ(lock.acquires, 0);
            EXPECT_TRUE(b.bytes == before) << "block changed";
            ASSERT_EQ(t.Processes().size(), 3u);
            EXPECT_EQ(t.Processes()[1]->status, ST_FINISHED);
            EXPECT_EQ(t.Processes()[2]->status, ST_NEW);
            EXPECT_EQ(t.Modules()[1]->status, ST_NEW);
            continue;
        }
        EXPECT_EQ(lock.acquires, 1);
        EXPECT_EQ(lock.releases, 1);
        EXPECT_EQ(b.view.State(), CS_DELTA_READY);
        EXPECT_EQ(b.LastCounts(), Counts(2, 1));
        EXPECT_STREQ(b.view.ModuleSlot(0)->fullPath, "C:\\n.dll");
        EXPECT_EQ(b.view.ModuleSlot(0)->status, ST_NEW);
        EXPECT_EQ(b.view.ProcessSlot(0)->processId, 11u);
        EXPECT_EQ(b.view.ProcessSlot(0)->status, ST_FINISHED);
        EXPECT_EQ(b.view.ProcessSlot(1)->processId, 12u);
        EXPECT_EQ(b.view.ProcessSlot(1)->status, ST_NEW);
    }
}

TEST(Publisher, ChangesAccumulateWhileThePublicationIsUnconsumed) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x1000, "C:\\a.exe")}));
    FakeProcess& b8 = src.Start(Process(12, {Module(0x2000, "C:\\b.exe")}));
    src.Start(Process(16, {Module(0x3000, "C:\\c.exe")}));
    CScanTables t(src);
    Block b;
    CountingLock lock;
    ClientMirror client(t);

    ASSERT_TRUE(RunScanRound(src, t, kRescanAll, true));
    ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
    ASSERT_EQ(SyncFromChannel(b.view, lock, false, client), 2);

    // Round 2: one new process, published as the only change.
    src.Start(Process(20, {Module(0x4000, "C:\\d.exe"), Module(0x5000, "C:\\shared.dll")}));
    ASSERT_TRUE(RunScanRound(src, t, kRescanNone, false));
    ASSERT_EQ(PublishTables(b.view, lock, t, false), 1);
    EXPECT_EQ(b.LastCounts(), Counts(1, 2));

    // Rounds 3 and 4 while the client has not consumed: a process ends, one
    // loads a DLL, another starts and ends again.
    src.End(16, 4444);
    src.Start(Process(24, {Module(0x6000, "C:\\e.exe")}));
    ASSERT_TRUE(RunScanRound(src, t, kRescanNone, false));
    EXPECT_EQ(PublishTables(b.view, lock, t, false), 0);
    b8.modules.push_back(Module(0x5000, "C:\\shared.dll"));
    b8.modules.push_back(Module(0x8000, "C:\\late.dll"));
    src.End(24, 5555);
    ASSERT_TRUE(RunScanRound(src, t, kRescanNone, false));
    EXPECT_EQ(PublishTables(b.view, lock, t, false), 0);
    EXPECT_EQ(b.LastCounts(), Counts(1, 2));  // still round 2's publication
    EXPECT_EQ(b.view.ProcessSlot(0)->processId, 20u);

    ASSERT_EQ(SyncFromChannel(b.view, lock, false, client), 1);
    ASSERT_EQ(PublishTables(b.view, lock, t, false), 1);
    // Everything of rounds 3 and 4 together, in table order: the rescan of
    // process 12 re-inspected its published modules.
    ASSERT_EQ(b.LastCounts(), Counts(3, 4));
    struct Mod {
        const char* path;
        uint8_t status;
    } mods[] = {{"C:\\b.exe", ST_UPDATED}, {"C:\\shared.dll", ST_UPDATED}, {"C:\\e.exe", ST_NEW},
                {"C:\\late.dll", ST_NEW}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_STREQ(b.view.ModuleSlot(i)->fullPath, mods[i].path);
        EXPECT_EQ(b.view.ModuleSlot(i)->status, mods[i].status);
    }
    struct Expected {
        uint32_t pid;
        uint8_t status;
        uint64_t exit;
    } expected[] = {{12, ST_UPDATED, 0}, {16, ST_FINISHED, 4444}, {24, ST_NEW_FINISHED, 5555}};
    for (size_t i = 0; i < 3; ++i) {
        const ProcessRecord& p = *b.view.ProcessSlot(i);
        EXPECT_EQ(p.processId, expected[i].pid);
        EXPECT_EQ(p.status, expected[i].status);
        EXPECT_EQ(ToU64(p.exitTime), expected[i].exit);
    }
    EXPECT_EQ(b.view.ProcessSlot(0)->moduleCount, 3u);
    ASSERT_EQ(SyncFromChannel(b.view, lock, false, client), 1);
    ExpectInStep(client, t);
    EXPECT_EQ(t.Processes().size(), 3u);
}

TEST(Publisher, EndedProcessGoesOutOnceThenLeavesTheTable) {
    for (uint8_t ended : {ST_FINISHED, ST_NEW_FINISHED}) {
        SCOPED_TRACE(int(ended));
        FakeProcessSource src;
        CScanTables t(src);
        AddModule(t, "C:\\a.exe", ST_REPORTED);
        AddProcess(t, 10, ST_REPORTED, {0});
        AddProcess(t, 11, ended, {0});
        AddProcess(t, 12, ended, {0});  // two in a row: the walk must not skip the second
        AddProcess(t, 13, ST_NEW, {0});
        AddProcess(t, 14, ST_REPORTED, {0});
        AddProcess(t, 15, ST_UPDATED, {0});

        Block b;
        b.view.SetState(CS_CONSUMED);
        CountingLock lock;
        ASSERT_EQ(PublishTables(b.view, lock, t, false), 1);
        ASSERT_EQ(b.LastCounts(), Counts(4, 0));
        uint32_t pids[] = {11, 12, 13, 15};
        uint8_t statuses[] = {ended, ended, ST_NEW, ST_UPDATED};
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(b.view.ProcessSlot(i)->processId, pids[i]);
            EXPECT_EQ(b.view.ProcessSlot(i)->status, statuses[i]);
        }
        ASSERT_EQ(t.Processes().size(), 4u);
        uint32_t left[] = {10, 13, 14, 15};
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(t.Processes()[i]->processId, left[i]);
            EXPECT_EQ(t.Processes()[i]->status, ST_REPORTED);
        }
        EXPECT_EQ(t.FindProcess(13), 1);

        b.view.SetState(CS_CONSUMED);
        ASSERT_EQ(PublishTables(b.view, lock, t, false), 1);
        EXPECT_EQ(b.LastCounts(), Counts(0, 0));
    }
}

TEST(Publisher, NothingChangedGivesAnEmptyDelta) {
    FakeProcessSource src;
    CScanTables t(src);
    AddModule(t, "C:\\a.exe", ST_REPORTED);
    AddProcess(t, 10, ST_REPORTED, {0});
    Block b;
    b.view.SetState(CS_CONSUMED);
    b.view.SetCounts(5, 6);
    CountingLock lock;
    EXPECT_EQ(PublishTables(b.view, lock, t, false), 1);
    EXPECT_EQ(b.view.State(), CS_DELTA_READY);
    EXPECT_EQ(b.LastCounts(), Counts(0, 0));
    EXPECT_EQ(lock.acquires, 1);
    EXPECT_EQ(lock.releases, 1);
}

TEST(Publisher, FailedLockPublishesNothing) {
    for (bool full : {false, true}) {
        SCOPED_TRACE(full ? "full" : "delta");
        FakeProcessSource src;
        CScanTables t(src);
        // More modules than fit, most unreferenced: a full publication
        // would compact them.
        AddModules(t, 0, kMaxModuleSlots + 10, ST_NEW);
        AddProcess(t, 10, ST_UPDATED, {0, 5});
        AddProcess(t, 11, ST_FINISHED, {7});
        Block b;
        b.view.SetState(CS_CONSUMED);
        b.view.SetCounts(3, 4);
        std::vector<uint8_t> before = b.bytes;
        CountingLock lock;
        lock.fails = true;

        EXPECT_EQ(PublishTables(b.view, lock, t, full), 0);
        EXPECT_EQ(lock.acquires, 1);
        EXPECT_EQ(lock.releases, 0);
        EXPECT_TRUE(b.bytes == before) << "block changed";
        ASSERT_EQ(t.Modules().size(), kMaxModuleSlots + 10);
        for (const auto& m : t.Modules()) ASSERT_EQ(m->status, ST_NEW);
        ASSERT_EQ(t.Processes().size(), 2u);
        EXPECT_EQ(t.Processes()[0]->status, ST_UPDATED);
        EXPECT_EQ(t.Processes()[0]->moduleIndex[1], 5u);
        EXPECT_EQ(t.Processes()[1]->status, ST_FINISHED);
    }
}

// Tables where a client already holds one process and module 0, then
// `processes` new processes appear. Each has `modulesEach` new modules of
// its own (the last one `lastModules`, when set), or only module 0 when
// `modulesEach` is 0.
struct CapacityCase {
    const char* what;
    bool full;  // the first publication is a full snapshot
    size_t processes;
    size_t modulesEach;
    size_t lastModules;
    std::vector<Counts> publications;
};

TEST(Publisher, PublicationsNeverExceedTheBlockAndCatchUpInOrder) {
    const CapacityCase cases[] = {
        {"1024 new processes", false, 1024, 0, 0, {{1024, 0}}},
        {"1025 new processes", false, 1025, 0, 0, {{1024, 0}, {1, 0}}},
        {"1100 new processes", false, 1100, 0, 0, {{1024, 0}, {76, 0}}},
        {"8102 new modules", false, 16, 512, 422, {{16, 8102}}},
        {"8103 new modules", false, 16, 512, 423, {{15, 8102}, {1, 1}}},
        {"9000 new modules", false, 18, 500, 0, {{16, 8102}, {2, 898}}},
        {"1100 processes, 7700 modules", false, 1100, 7, 0, {{1024, 7700}, {76, 0}}},
        {"1100 processes, 8800 modules", false, 1100, 8, 0, {{1012, 8102}, {88, 698}}},
        {"snapshot of 1101 processes", true, 1100, 0, 0, {{1024, 1}, {77, 0}}},
        {"snapshot of 9001 modules", true, 18, 500, 0, {{17, 8102}, {2, 899}}},
        {"snapshot of 8102 modules", true, 16, 512, 421, {{17, 8102}}},
    };
    for (const CapacityCase& c : cases) {
        SCOPED_TRACE(c.what);
        FakeProcessSource src;
        CScanTables t(src);
        Block b;
            CountingLock lock;
        ClientMirror client(t);

        AddModule(t, "C:\\base.exe", ST_NEW);
        AddProcess(t, 1, ST_REPORTED, {0});
        ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
        ASSERT_EQ(SyncFromChannel(b.view, lock, false, client), 2);

        size_t next = 1;
        for (size_t i = 0; i < c.processes; ++i) {
            size_t n = (i + 1 == c.processes && c.lastModules) ? c.lastModules : c.modulesEach;
            AddModules(t, next, n, ST_NEW);
            AddProcess(t, uint32_t(100 + i), ST_NEW, n ? Range(next, n) : std::vector<uint32_t>{0});
            next += n;
        }
        t.ReindexModules();
        const size_t total = t.Processes().size();

        if (c.full) {
            ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
        } else {
            ASSERT_EQ(PublishTables(b.view, lock, t, false), 1);
        }
        EXPECT_TRUE(b.TailIntact());
        std::vector<Counts> got{b.LastCounts()};

        // First publication: modules in table order from the first one the
        // client lacks; whatever did not fit waits with the status a client
        // needs to place it.
        size_t firstSlot = c.full ? 0 : 1;
        for (uint32_t i = 0; i < b.view.ModuleCount(); ++i)
            ASSERT_EQ(PathOf(*b.view.ModuleSlot(i)), PathOf(*t.Modules()[firstSlot + i])) << "slot " << i;
        size_t waiting = 0;
        for (const auto& p : t.Processes()) {
            if (p->status == ST_REPORTED) continue;
            EXPECT_EQ(p->status, ST_NEW) << "PID " << p->processId;
            ++waiting;
        }
        EXPECT_EQ(waiting, c.full ? total - b.view.ProcessCount() : c.processes - b.view.ProcessCount());
        for (size_t i = firstSlot + b.view.ModuleCount(); i < t.Modules().size(); ++i)
            ASSERT_EQ(t.Modules()[i]->status, ST_NEW) << "module " << i;

        std::vector<Counts> rest = Drain(b, lock, t, client);
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_EQ(got, c.publications);
        ExpectInStep(client, t);
        EXPECT_TRUE(b.TailIntact());
    }
}

TEST(Publisher, UpdatedModulesLeftOverDoNotHoldBackProcesses) {
    FakeProcessSource src;
    CScanTables t(src);
    Block b;
    CountingLock lock;
    ClientMirror client(t);

    // 8200 modules, all in use: the first snapshot takes two publications.
    const size_t kModules = 8200;
    AddModules(t, 0, kModules, ST_NEW);
    for (size_t first = 0, pid = 10; first < kModules; first += 512, ++pid)
        AddProcess(t, uint32_t(pid), ST_REPORTED, Range(first, std::min<size_t>(512, kModules - first)));
    ASSERT_EQ(t.Processes().size(), 17u);
    t.ReindexModules();
    ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
    ASSERT_EQ(b.LastCounts(), Counts(15, 8102));
    EXPECT_EQ(Drain(b, lock, t, client), (std::vector<Counts>{{2, 98}}));
    ExpectInStep(client, t);

    // 8102 re-inspected modules fill the next delta; one more re-inspected
    // module (8150) and one new one (8200) are left over.
    for (size_t i = 0; i < kMaxModuleSlots; ++i) t.Modules()[i]->status = ST_UPDATED;
    t.Modules()[8150]->status = ST_UPDATED;
    AddModule(t, ModPath(kModules), ST_NEW);
    t.Processes()[15]->status = ST_UPDATED;          // refers to 7680..8191, 8150 among them
    AddProcess(t, 500, ST_NEW, {3, 8200});           // needs the new one
    AddProcess(t, 501, ST_NEW, {5, 8150, 8199});     // the client holds all of these
    ASSERT_EQ(PublishTables(b.view, lock, t, false), 1);
    ASSERT_EQ(b.LastCounts(), Counts(2, 8102));
    EXPECT_EQ(b.view.ProcessSlot(0)->processId, 25u);
    EXPECT_EQ(b.view.ProcessSlot(1)->processId, 501u);
    EXPECT_EQ(t.Modules()[8150]->status, ST_UPDATED);
    EXPECT_EQ(t.Modules()[8200]->status, ST_NEW);
    EXPECT_EQ(t.Processes()[17]->status, ST_NEW);

    std::vector<Counts> rest = Drain(b, lock, t, client);
    EXPECT_EQ(rest, (std::vector<Counts>{{1, 2}}));
    ExpectInStep(client, t);
}

TEST(Publisher, OversizedSnapshotDropsUnusedModulesAndRenumbers) {
    FakeProcessSource src;
    CScanTables t(src);
    const size_t kModules = 9000;
    AddModules(t, 0, kModules, ST_REPORTED);
    t.Modules()[8999]->status = ST_UPDATED;
    AddProcess(t, 10, ST_REPORTED, {8999, 5, 100});
    AddProcess(t, 11, ST_FINISHED, {7000, 5});  // ended, not yet published: still counts
    ProcessRecord& shrunk = AddProcess(t, 12, ST_UPDATED, {3, 8998, 4000});
    shrunk.moduleCount = 2;  // entry 2 is left over from an earlier scan
    AddProcess(t, 13, ST_NEW_FINISHED, {100});
    t.ReindexModules();

    Block b;
    CountingLock lock;
    ClientMirror client(t);
    ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
    EXPECT_TRUE(b.TailIntact());

    const size_t kept[] = {3, 5, 100, 7000, 8998, 8999};  // old positions, in order
    ASSERT_EQ(t.Modules().size(), 6u);
    ASSERT_EQ(b.LastCounts(), Counts(4, 6));
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(PathOf(*t.Modules()[i]), ModPath(kept[i]));
        EXPECT_EQ(PathOf(*b.view.ModuleSlot(i)), ModPath(kept[i]));
        EXPECT_EQ(t.FindModuleByPath(ModPath(kept[i]).c_str()), int(i));
    }
    EXPECT_EQ(b.view.ModuleSlot(5)->status, ST_UPDATED);
    EXPECT_EQ(t.FindModuleByPath(ModPath(0).c_str()), -1);
    EXPECT_EQ(t.FindModuleByPath(ModPath(4000).c_str()), -1);
    EXPECT_EQ(t.FindModuleByPath(ModPath(8997).c_str()), -1);

    struct Expected {
        uint32_t pid;
        std::vector<uint32_t> indices;
    } expected[] = {{10, {5, 1, 2}}, {11, {3, 1}}, {12, {0, 4}}, {13, {2}}};
    for (size_t i = 0; i < 4; ++i) {
        const ProcessRecord& p = *b.view.ProcessSlot(i);
        EXPECT_EQ(p.processId, expected[i].pid);
        ASSERT_EQ(p.moduleCount, expected[i].indices.size());
        for (size_t k = 0; k < p.moduleCount; ++k) EXPECT_EQ(p.moduleIndex[k], expected[i].indices[k]);
    }
    ASSERT_EQ(SyncFromChannel(b.view, lock, false, client), 2);
    ExpectInStep(client, t);

    // A module scanned later lands after the kept ones.
    AddModule(t, ModPath(4000), ST_NEW);
    AddProcess(t, 14, ST_NEW, {6, 1});
    EXPECT_EQ(Drain(b, lock, t, client), (std::vector<Counts>{{1, 1}}));
    ExpectInStep(client, t);
}

TEST(Publisher, SnapshotStillTooLargeAfterCompaction) {
    FakeProcessSource src;
    CScanTables t(src);
    // 8800 modules of which 500 (positions 100..599) are unused: 8300 remain.
    const size_t kModules = 8800;
    AddModules(t, 0, kModules, ST_REPORTED);
    std::vector<uint32_t> used;
    for (size_t i = 0; i < kModules; ++i)
        if (i < 100 || i >= 600) used.push_back(uint32_t(i));
    uint32_t pid = 10;
    for (size_t first = 0; first < used.size(); first += 512, ++pid) {
        size_t n = std::min<size_t>(512, used.size() - first);
        AddProcess(t, pid, ST_REPORTED, std::vector<uint32_t>(used.begin() + long(first), used.begin() + long(first + n)));
    }
    ASSERT_EQ(t.Processes().size(), 17u);
    t.Processes()[15]->status = ST_UPDATED;      // after compaction refers to 7680..8191
    t.Processes()[16]->status = ST_FINISHED;     // refers to 8192..8299
    t.ReindexModules();

    Block b;
    CountingLock lock;
    ClientMirror client(t);
    ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
    EXPECT_TRUE(b.TailIntact());
    ASSERT_EQ(t.Modules().size(), 8300u);
    EXPECT_EQ(b.LastCounts(), Counts(15, 8102));
    for (size_t i = 0; i < 8300; ++i) {
        ASSERT_EQ(PathOf(*t.Modules()[i]), ModPath(used[i])) << "position " << i;
        ASSERT_EQ(t.Modules()[i]->status, i < kMaxModuleSlots ? ST_REPORTED : ST_NEW) << "position " << i;
    }
    EXPECT_EQ(t.FindModuleByPath(ModPath(8799).c_str()), 8299);
    // Left for a delta: the running one as new, the ended one as it was.
    EXPECT_EQ(t.Processes()[15]->status, ST_NEW);
    EXPECT_EQ(t.Processes()[16]->status, ST_FINISHED);

    EXPECT_EQ(Drain(b, lock, t, client), (std::vector<Counts>{{2, 198}}));
    EXPECT_EQ(t.Processes().size(), 16u);
    ExpectInStep(client, t);
}

// The same through scanning: processes that ended leave thousands of
// modules nobody uses; the client's next snapshot request compacts them.
TEST(Publisher, ScannedTablesStayInStepWithTheClientThroughCompaction) {
    FakeProcessSource src;
    auto moduleSet = [](uint32_t p, size_t n) {
        std::vector<FakeModule> mods;
        for (size_t k = 0; k < n; ++k) {
            FakeModule m;
            m.base = 0x100000 + k * 0x10000;
            m.path = "C:\\p" + std::to_string(p) + "\\m" + std::to_string(k) + ".dll";
            m.baseName = "m" + std::to_string(k) + ".dll";
            mods.push_back(std::move(m));  // no image: cheap to inspect
        }
        return mods;
    };
    for (uint32_t p = 0; p < 18; ++p) src.Start(Process(100 + p, moduleSet(p, 500)));
    CScanTables t(src);
    Block b;
    CountingLock lock;
    ClientMirror client(t);

    ASSERT_TRUE(RunScanRound(src, t, kRescanAll, true));
    ASSERT_EQ(t.Modules().size(), 9000u);
    ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);  // nothing unused: no compaction
    EXPECT_EQ(b.LastCounts(), Counts(16, 8102));
    EXPECT_EQ(t.Modules().size(), 9000u);
    EXPECT_EQ(Drain(b, lock, t, client), (std::vector<Counts>{{2, 898}}));
    ExpectInStep(client, t);

    for (uint32_t p = 0; p < 10; ++p) src.End(100 + p, 7000 + p);
    ASSERT_TRUE(RunScanRound(src, t, kRescanNone, false));
    EXPECT_EQ(Drain(b, lock, t, client), (std::vector<Counts>{{10, 0}}));

    // The client asks for a snapshot; the service rescans and sends it.
    EXPECT_EQ(SyncFromChannel(b.view, lock, true, client), 0);
    EXPECT_EQ(PublishTables(b.view, lock, t, false), 2);
    ASSERT_TRUE(RunScanRound(src, t, kRescanAll, false));
    ASSERT_EQ(PublishTables(b.view, lock, t, true), 1);
    EXPECT_TRUE(b.TailIntact());
    EXPECT_EQ(b.LastCounts(), Counts(8, 4000));
    ASSERT_EQ(t.Modules().size(), 4000u);
    EXPECT_EQ(t.FindModuleByPath("C:\\P10\\M0.DLL"), 0);
    EXPECT_EQ(t.FindModuleByPath("C:\\p17\\m499.dll"), 3999);
    EXPECT_EQ(t.FindModuleByPath("C:\\p9\\m0.dll"), -1);
    ASSERT_EQ(SyncFromChannel(b.view, lock, false, client), 2);
    ExpectInStep(client, t);

    // A new process loads a dropped module and a kept one (re-inspected).
    std::vector<FakeModule> mods = moduleSet(3, 2);
    mods.push_back(moduleSet(12, 1)[0]);
    mods.back().base = 0x7000000;
    src.Start(Process(300, mods));
    ASSERT_TRUE(RunScanRound(src, t, kRescanNone, false));
    EXPECT_EQ(t.Modules().size(), 4002u);
    EXPECT_EQ(t.FindModuleByPath("C:\\p3\\m1.dll"), 4001);
    EXPECT_EQ(Drain(b, lock, t, client), (std::vector<Counts>{{1, 3}}));
    ExpectInStep(client, t);
    EXPECT_EQ(client.snapshots, 2);
}

}  // namespace
}  // namespace ub
