// libFuzzer target for the client's merge of publications it cannot trust
// (the block can be written by any program). An input sets the client's
// settings and archive, then runs steps (tests/fuzz/MergeInput.h): a
// publication whose header and slots are written into a block and merged by
// a refresh or a timer tick into the client tables and the in-memory tree,
// or one of the user's actions on the records. After every step the tree,
// the lists and the tables must agree: nothing may refer to a record the
// tables no longer hold, and a merge leaves only warnings under "Warning
// list" (after a snapshot exactly the modules that are warnings).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

#include "tests/fuzz/MergeInput.h"
#include "tests/support/ClientFixture.h"

namespace {

using namespace ub;
using fuzz::MergeInputReader;

// A failed check names itself before the abort that libFuzzer reports.
#define Check(condition) \
    ((condition) ? void(0) : (std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__), std::abort()))

// One block for every input; the slots an input wrote are zeroed after it.
uint8_t* SharedBlock() {
    static std::unique_ptr<uint8_t[]> block(new uint8_t[kBlockSize]());
    return block.get();
}

class Harness {
public:
    explicit Harness(MergeInputReader& in) : m_in(in), m_f(nullptr, SharedBlock()) {}
    ~Harness() {
        std::memset(SharedBlock(), 0, kOffProcessSlots);
        std::memset(m_f.pub.block.ProcessSlot(0), 0, m_processSlots * sizeof(ProcessRecord));
        std::memset(m_f.pub.block.ModuleSlot(0), 0, m_moduleSlots * sizeof(ModuleRecord));
    }

    void Run() {
        Setup();
        while (!m_in.AtEnd()) Step();
    }

private:
    void Setup() {
        uint8_t settings = m_in.U8();
        m_f.settings.TreeSort = settings & 3;
        m_f.settings.TitleSkip = settings >> 2 & 3;
        m_f.settings.CliSpeed = settings >> 4 & 3;
        m_f.attributes.missing.insert(FoldedKey("C:\\Apps\\missing.dll", kPathSize));
        m_f.versions.productNames[FoldedKey("C:\\Apps\\hook.dll", kPathSize)] = "Hook";
        m_f.versions.productNames[FoldedKey("C:\\Apps\\noname.dll", kPathSize)] = "";
        for (const std::string& path : fuzz::PathPool())
            if (IsLocalAbsolutePath(path)) m_f.files.Put(path);

        AuthenticList authentic;
        QuarantineList quarantine;
        for (int n = m_in.U8() % 9; n > 0; --n) {
            auto e = std::make_unique<AuthenticEntry>();
            e->path = fuzz::PoolPath(m_in.U8());
            e->name = fuzz::BaseNameOf(e->path);
            authentic.push_back(std::move(e));
        }
        for (int n = m_in.U8() % 9; n > 0; --n) {
            auto e = std::make_unique<QuarantineEntry>();
            e->originalPath = fuzz::PoolPath(m_in.U8());
            e->status = m_in.U8();
            e->backupName = fuzz::BackupName(m_in.U8(), fuzz::BaseNameOf(e->originalPath));
            quarantine.push_back(std::move(e));
        }
        m_f.archive.bytes = EncodeArchive(authentic, quarantine);
        m_f.archive.exists = true;
    }

    void WriteModuleSlot(ModuleRecord* slot) {
        std::memset(slot, 0, sizeof *slot);
        slot->status = m_in.U8();
        slot->flags = m_in.U32();
        uint8_t number = m_in.U8();
        if (number == fuzz::kLiteralPath) {
            // Raw bytes, without a NUL when they fill the buffer.
            m_in.Bytes(slot->fullPath, std::min<size_t>(m_in.U16(), kPathSize));
            std::memcpy(slot->baseName, slot->fullPath, kNameSize);
            return;
        }
        std::string path = fuzz::PoolPath(number);
        std::memcpy(slot->fullPath, path.c_str(), path.size() + 1);
        std::string base = fuzz::BaseNameOf(path);
        std::memcpy(slot->baseName, base.c_str(), base.size() + 1);
    }

    void WriteProcessSlot(ProcessRecord* slot) {
        std::memset(slot, 0, sizeof *slot);
        slot->status = m_in.U8();
        slot->processId = m_in.U8();
        slot->creationTime = ToFileTime(m_in.U8());
        slot->moduleCount = m_in.U16();
        uint32_t listed = std::min(slot->moduleCount, fuzz::kMaxListedIndices);
        for (uint32_t i = 0; i < listed; ++i) slot->moduleIndex[i] = m_in.U16();
    }

    void Publish() {
        CChannelBlock& block = m_f.pub.block;
        block.SetState(m_in.U8());
        uint32_t modules = m_in.U8(), processes = m_in.U8();
        uint32_t countedProcesses = processes, countedModules = modules;
        // Counts of any size only when asked for: a count beyond the slots
        // merges thousands of records, which makes the runs slow.
        const uint8_t counts = m_in.U8();
        if (counts == fuzz::kRawCounts) {
            countedProcesses = m_in.U32();
            countedModules = m_in.U32();
        } else {
            countedProcesses += counts;
            countedModules += counts;
        }
        for (uint32_t i = 0; i < modules; ++i) WriteModuleSlot(block.ModuleSlot(i));
        for (uint32_t i = 0; i < processes; ++i) WriteProcessSlot(block.ProcessSlot(i));
        block.SetCounts(countedProcesses, countedModules);
        m_moduleSlots = std::max<size_t>(m_moduleSlots, modules);
        m_processSlots = std::max<size_t>(m_processSlots, processes);
    }

    template <typename Record>
    Record* Pick(const std::vector<std::unique_ptr<Record>>& records, uint8_t number) {
        return records.empty() ? nullptr : records[number % records.size()].get();
    }

    void Step() {
        const uint8_t op = m_in.U8() % fuzz::OP_COUNT;
        const size_t refreshes = m_f.frame.refreshes.size();
        CTreeController& c = m_f.controller;
        switch (op) {
            case fuzz::OP_REFRESH:
            case fuzz::OP_REFRESH_FULL:
                Publish();
                m_f.monitor.Refresh(op == fuzz::OP_REFRESH_FULL);
                break;
            case fuzz::OP_TIMER_FIRST:
            case fuzz::OP_TIMER_REFRESH:
                Publish();
                m_f.monitor.OnRefreshTimer(op == fuzz::OP_TIMER_FIRST ? TIMER_FIRST_SNAPSHOT : TIMER_REFRESH);
                break;
            case fuzz::OP_PURGE: {
                test::FakeRows rows;
                for (auto& p : m_f.tables.processes) rows.rows.push_back(reinterpret_cast<uintptr_t>(p.get()));
                c.PurgeEndedProcesses(&rows);
                for (uintptr_t row : rows.rows) Check(reinterpret_cast<ProcessRecord*>(row)->status != ST_FINISHED_SHOWN);
                break;
            }
            case fuzz::OP_AUTHENTICATE:
                c.AuthenticateModule(Pick(m_f.tables.modules, m_in.U8()));
                break;
            case fuzz::OP_REMOVE_AUTHENTIC:
                c.RemoveAuthentic(Pick(c.authentic, m_in.U8()));
                break;
            case fuzz::OP_QUARANTINE:
                c.QuarantineModule(Pick(m_f.tables.modules, m_in.U8()));
                break;
            case fuzz::OP_SELECT: {
                ProcessRecord* p = Pick(m_f.tables.processes, m_in.U8());
                uint8_t position = m_in.U8();
                c.SelectProcessItem(p);
                c.SelectModuleItem(p, position);
                c.SelectWarningItem(Pick(m_f.tables.modules, position));
                break;
            }
            case fuzz::OP_BACK:
                c.History().NavigateBack(m_f.tree, [](uintptr_t) {});
                break;
        }
        const bool merged = m_f.frame.refreshes.size() > refreshes;
        CheckModel(merged, merged && m_f.frame.refreshes.back() == 2);
    }

    void CheckModel(bool merged, bool snapshot) {
        CClientTables& t = m_f.tables;
        CTreeController& c = m_f.controller;
        std::unordered_set<uintptr_t> modules, processes, entries, warned;
        Check(t.modules.size() <= kMaxClientModules);
        for (size_t i = 0; i < t.modules.size(); ++i) {
            const ModuleRecord& m = *t.modules[i];
            modules.insert(reinterpret_cast<uintptr_t>(&m));
            Check(std::memchr(m.baseName, 0, kNameSize) && std::memchr(m.fullPath, 0, kPathSize));
            int first = t.FindModuleByPath(m.fullPath);
            Check(first == int(i));  // paths are unique in the table, and indexed
        }
        for (auto& p : t.processes) processes.insert(reinterpret_cast<uintptr_t>(p.get()));
        for (auto& e : c.authentic) {
            entries.insert(reinterpret_cast<uintptr_t>(e.get()));
            Check(!e->module || modules.count(reinterpret_cast<uintptr_t>(e->module)));
        }
        for (auto& e : c.quarantine) Check(!e->module || modules.count(reinterpret_cast<uintptr_t>(e->module)));

        const FixedNodes& n = c.Nodes();
        size_t warnings = 0;
        for (TreeItem item : m_f.tree.Children(n.warningList)) {
            uintptr_t data = m_f.tree.ItemData(item);
            Check(modules.count(data) && warned.insert(data).second);
            if (merged) Check(c.IsWarning(*reinterpret_cast<const ModuleRecord*>(data)));
            ++warnings;
        }
        if (snapshot) {
            size_t expected = 0;
            for (auto& m : t.modules) expected += c.IsWarning(*m) ? 1 : 0;
            Check(warnings == expected);
        }
        // A process may have two items: a slot that says "new" (1 or 4, or
        // 101 and 104, which age into them) for a record the client holds
        // adds one, as the refresh inserts every new process's item without
        // a search. Harmless; no service publishes that.
        std::vector<TreeItem> processItems = m_f.tree.Children(n.processes);
        for (TreeItem item : processItems) {
            Check(processes.count(m_f.tree.ItemData(item)));
            for (TreeItem child : m_f.tree.Children(item)) Check(modules.count(m_f.tree.ItemData(child)));
        }
        if (snapshot) Check(processItems.size() == t.processes.size());
        for (TreeItem item : m_f.tree.Children(n.authentic)) Check(entries.count(m_f.tree.ItemData(item)));
    }

    MergeInputReader& m_in;
    test::ClientFixture m_f;
    size_t m_moduleSlots = 0, m_processSlots = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MergeInputReader in(data, size);
    Harness(in).Run();
    return 0;
}
