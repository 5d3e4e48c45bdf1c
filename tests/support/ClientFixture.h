// The client's model wired to in-memory stand-ins: a memory tree, a frame
// that records alerts, scripted message boxes, files, version resources,
// system icons, timers and a real block to publish into.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "client/monitor/ClientMonitor.h"
#include "client/monitor/TreeController.h"
#include "common/TextFold.h"
#include "tests/support/FakeQuarantineFiles.h"
#include "tests/support/MemoryTree.h"
#include "tests/support/Publication.h"

namespace ub::test {

class FakeFrame : public IClientFrame {
public:
    bool alerting = false;
    int starts = 0, stops = 0, waitClosed = 0;
    std::vector<int> refreshes;
    void StartAlert() override {
        alerting = true;
        ++starts;
    }
    void StopAlert() override {
        alerting = false;
        ++stops;
    }
    void TablesChanged(int kind) override { refreshes.push_back(kind); }
    void CloseWaitDialog() override { ++waitClosed; }
};

// Records every box; questions take their answers from a queue (No when it
// is empty). `whileOpen` runs while a box is "open", as the timers of a real
// box's modal loop do.
class FakePrompt : public IPrompt {
public:
    std::vector<std::string> messages, questions, fileErrors;
    std::deque<bool> answers;
    std::function<void()> whileOpen;
    void Message(const std::string& text) override {
        messages.push_back(text);
        Open();
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        Open();
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void FileError(const std::string& text) override {
        fileErrors.push_back(text);
        Open();
    }
    size_t Boxes() const { return messages.size() + questions.size() + fileErrors.size(); }

private:
    void Open() {
        if (whileOpen) whileOpen();
    }
};

// Every file exists unless listed as missing.
class FakeAttributes : public IFileAttributes {
public:
    std::set<std::string> missing;  // folded
    bool CanReadAttributes(const char* path) override { return !missing.count(FoldedKey(path, kPathSize)); }
};

// Files listed here have a version resource with this product name.
class FakeVersionInfo : public IVersionInfo {
public:
    std::map<std::string, std::string> productNames;  // folded path -> name
    bool Load(const char* path) override {
        auto it = productNames.find(FoldedKey(path, kPathSize));
        m_loaded = it == productNames.end() ? nullptr : &it->second;
        return m_loaded != nullptr;
    }
    bool Translation(uint16_t* language, uint16_t* codePage) override {
        *language = 0x0409;
        *codePage = 0x04B0;
        return true;
    }
    bool QueryString(const std::string&, std::string* value) override {
        *value = *m_loaded;
        return true;
    }

private:
    const std::string* m_loaded = nullptr;
};

// Executables have system icon `index` (3) unless listed without one.
class FakeSystemIcons : public ISystemIcons {
public:
    std::set<std::string> without;  // folded
    int index = 3;
    int SmallIconIndex(const char* path) override { return without.count(FoldedKey(path, kPathSize)) ? -1 : index; }
};

class FakeTimers : public ITimerHost {
public:
    std::map<unsigned, uint32_t> running;  // id -> period
    int starts = 0;
    void StartTimer(unsigned id, uint32_t periodMs) override {
        running[id] = periodMs;
        ++starts;
    }
    void StopTimer(unsigned id) override { running.erase(id); }
};

// Rows of a process list page.
class FakeRows : public IRecordRows {
public:
    std::vector<uintptr_t> rows;
    int RowCount() override { return int(rows.size()); }
    uintptr_t RowData(int row) override { return rows[size_t(row)]; }
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
};

// The sync mutex of a block in this process: always free.
class FreeLock : public IChannelLock {
public:
    bool Acquire() override { return true; }
    void Release() override {}
};

constexpr char kProgramFolder[] = "C:\\Program Files\\Umbrastead\\";

struct ClientFixture {
    CMemoryTree tree;
    CClientTables tables;
    CClientSettings settings;
    FakeFrame frame;
    FakePrompt prompt;
    FakeAttributes attributes;
    FakeVersionInfo versions;
    FakeSystemIcons icons;
    FakeQuarantineFiles files;
    FakeArchiveFile archive;
    FakeTimers timers;
    FreeLock lock;
    Publication pub;
    CTreeController controller;
    CClientMonitor monitor{controller, tables, settings, frame, timers};

    // The stand-ins above, or a given platform (real files, for example);
    // publications into a block of its own or into the caller's.
    explicit ClientFixture(const TreePlatform* platform = nullptr, uint8_t* block = nullptr)
        : pub(block), controller(tree, tables, settings, frame, prompt, platform ? *platform : MakePlatform()) {
        controller.InsertFixedNodes();
        tree.onSelChanged = [this](TreeItem item) { controller.OnSelectionChanged(item); };
        monitor.Attach(&pub.block, &lock);
        files.folders.insert(FakeQuarantineFiles::Key(kProgramFolder));
    }

    TreePlatform MakePlatform() {
        TreePlatform p;
        p.versionInfo = &versions;
        p.attributes = &attributes;
        p.systemIcons = &icons;
        p.files = &files;
        p.archive = &archive;
        p.folders = TrustedFolders{kProgramFolder, "C:\\Windows", "C:\\Windows\\system32", ""};
        return p;
    }

    // Publishes what was written into pub as a snapshot or a delta and runs
    // one refresh; returns its result.
    int Snapshot() {
        pub.block.SetState(CS_FULL_READY);
        return monitor.Refresh(false);
    }
    int Delta() {
        pub.block.SetState(CS_DELTA_READY);
        return monitor.Refresh(false);
    }

    const FixedNodes& Nodes() const { return controller.Nodes(); }
    ModuleRecord* Module(const char* path) {
        int pos = tables.FindModuleByPath(path);
        return pos < 0 ? nullptr : tables.modules[size_t(pos)].get();
    }
    ProcessRecord* Process(uint32_t pid) {
        for (auto& p : tables.processes)
            if (p->processId == pid) return p.get();
        return nullptr;
    }
    TreeItem ItemOf(TreeItem parent, const void* record) {
        return FindChildByData(tree, parent, reinterpret_cast<uintptr_t>(record));
    }
    std::vector<std::string> Warnings() { return tree.ChildTexts(Nodes().warningList); }
};

}  // namespace ub::test
