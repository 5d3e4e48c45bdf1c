// The client against hostile input: archive entries whose names or paths
// point outside their places, forged Pending entries, archives that could
// not be read whole, and a block that keeps publishing new module paths.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "client/quarantine/Archive.h"
#include "tests/support/ClientFixture.h"

namespace ub {
namespace {

using test::ClientFixture;
using test::FakeQuarantineFiles;
using test::Publication;

const std::string kQuarantine = std::string(test::kProgramFolder) + "Quarantine\\";
const char kDenied[] = "Access is denied. Make sure the file is not in use.";

TEST(HostileArchive, BackupNamesAndOriginalPaths) {
    const std::pair<const char*, bool> names[] = {
        {"hook.dll.ubbak", true},
        {"hook.dll.ubbak2", true},
        {"hook.dll.UBBAK9", true},
        {"a b & c.dll.ubbak", true},
        {".ubbak", false},
        {"hook.dll.ubbak1", false},
        {"hook.dll.ubbak10", false},
        {"hook.dll", false},
        {"", false},
        {"..\\..\\..\\Windows\\System32\\victim.dll", false},
        {"..\\x.ubbak", false},
        {"sub\\x.ubbak", false},
        {"sub/x.ubbak", false},
        {"C:x.ubbak", false},
        {"a..b.ubbak", false},
        {"CON.ubbak", false},
        {"nul.dll.ubbak", false},
        {"com7.ubbak", false},
        {"lpt1 .x.ubbak", false},
        {"com0.ubbak", true},
        {"console.ubbak", true},
        {"x\x01.ubbak", false},
        {"x?.ubbak", false},
    };
    for (auto [name, plain] : names) EXPECT_EQ(IsPlainBackupName(name), plain) << name;
    EXPECT_FALSE(IsPlainBackupName(std::string(2000, 'a') + ".ubbak"));

    const std::pair<const char*, bool> paths[] = {
        {"C:\\app\\hook.dll", true},
        {"z:\\a b\\c&d.dll", true},
        {"C:\\app\\..\\Windows\\victim.dll", false},
        {"C:\\app\\.\\x.dll", false},
        {"C:\\app\\\\x.dll", false},
        {"C:\\app\\", false},
        {"C:\\", false},
        {"\\\\server\\share\\x.dll", false},
        {"\\\\?\\C:\\x.dll", false},
        {"\\\\.\\PhysicalDrive0", false},
        {"hook.dll", false},
        {"C:hook.dll", false},
        {"C:/app/hook.dll", false},
        {"1:\\x.dll", false},
        {"C:\\app\\a:b.dll", false},
    };
    for (auto [path, local] : paths) EXPECT_EQ(IsLocalAbsolutePath(path), local) << path;
}

// An archive of quarantine entries, loaded by a snapshot.
struct ArchiveFixture : ClientFixture {
    void Add(int32_t status, const std::string& backup, const std::string& original) {
        q.push_back(std::make_unique<QuarantineEntry>());
        q.back()->status = status;
        q.back()->time = FileTime{5, 5};
        q.back()->backupName = backup;
        q.back()->originalPath = original;
    }
    void Load() {
        archive.bytes = EncodeArchive(a, q);
        controller.ReloadLists();
    }
    AuthenticList a;
    QuarantineList q;
};

TEST(HostileArchive, EntriesThatPointElsewhereAreKeptButNeverActedOn) {
    ArchiveFixture f;
    const std::string victim = "C:\\Windows\\System32\\victim.dll";
    f.files.folders.insert(FakeQuarantineFiles::Key("C:\\Windows\\System32\\"));
    f.files.Put(victim, "system file");
    f.files.Put("C:\\app\\x.dll", "the original");
    f.files.Put("C:\\app\\x.dll.ubbak", "renamed copy");
    f.Add(QS_PENDING, "..\\..\\..\\Windows\\System32\\victim.dll", "C:\\app\\x.dll");
    f.Add(QS_QUAR, "..\\..\\Windows\\System32\\victim.dll", "C:\\app\\y.dll");
    f.Add(QS_PENDING, "x.dll.ubbak", "..\\Windows\\System32\\victim.dll");
    f.Add(QS_QUAR, "z.dll.ubbak", "\\\\server\\share\\z.dll");
    f.Load();

    ASSERT_EQ(f.controller.quarantine.size(), 4u);
    std::vector<int32_t> statuses;
    for (auto& e : f.controller.quarantine) statuses.push_back(e->status);
    EXPECT_EQ(statuses, (std::vector<int32_t>{QS_PENDING, QS_QUAR, QS_PENDING, QS_QUAR})) << "kept as they are";
    EXPECT_TRUE(f.files.log.empty()) << ::testing::PrintToString(f.files.log);
    EXPECT_EQ(f.files.files[FakeQuarantineFiles::Key(victim)], "system file");

    // Recover and Clean refuse them without a question or a file touched.
    for (auto& e : f.controller.quarantine) {
        f.controller.RecoverEntry(e.get());
        f.controller.CleanEntry(e.get());
    }
    EXPECT_TRUE(f.prompt.questions.empty()) << ::testing::PrintToString(f.prompt.questions);
    const std::string onlyQuar =
        "Just files which status of are Quar can be cleaned, please use \"Clean History\" to clean other type file.";
    EXPECT_EQ(f.prompt.messages, (std::vector<std::string>{kDenied, onlyQuar, kDenied, kDenied, kDenied, onlyQuar,
                                                           kDenied, kDenied}));
    EXPECT_TRUE(f.files.log.empty()) << ::testing::PrintToString(f.files.log);
    EXPECT_EQ(f.files.files[FakeQuarantineFiles::Key(victim)], "system file");
}

TEST(HostileArchive, PendingRetryMovesOnlyTheRenamedCopy) {
    // A forged Pending entry with a well-formed name for a file the client
    // never touched: the retry finds no renamed copy and leaves the file.
    ArchiveFixture f;
    const std::string victim = "C:\\Windows\\System32\\victim.dll";
    f.files.folders.insert(FakeQuarantineFiles::Key("C:\\Windows\\System32\\"));
    f.files.Put(victim, "system file");
    f.Add(QS_PENDING, "victim.dll.ubbak", victim);
    f.Load();
    EXPECT_EQ(f.files.files[FakeQuarantineFiles::Key(victim)], "system file");
    EXPECT_FALSE(f.files.Has(kQuarantine + "victim.dll.ubbak"));
    for (const std::string& op : f.files.log) EXPECT_EQ(op.find("victim.dll "), std::string::npos) << op;
    EXPECT_EQ(f.controller.quarantine[0]->status, QS_CLEANED) << "no renamed copy to move";

    // A genuine one: the renamed copy goes into the folder, and a file
    // found again at the original path stays.
    ArchiveFixture g;
    g.files.folders.insert(FakeQuarantineFiles::Key("C:\\app\\"));
    g.files.Put("C:\\app\\hook.dll", "reinstalled");
    g.files.Put("C:\\app\\hook.dll.ubbak", "renamed copy");
    g.Add(QS_PENDING, "hook.dll.ubbak", "C:\\app\\hook.dll");
    g.Load();
    EXPECT_EQ(g.controller.quarantine[0]->status, QS_QUAR);
    EXPECT_EQ(g.files.files[FakeQuarantineFiles::Key(kQuarantine + "hook.dll.ubbak")], "renamed copy");
    EXPECT_EQ(g.files.files[FakeQuarantineFiles::Key("C:\\app\\hook.dll")], "reinstalled");
}

TEST(HostileArchive, QuarantineNeverReusesAnEntryItCannotActOn) {
    ArchiveFixture f;
    f.files.folders.insert(FakeQuarantineFiles::Key("C:\\app\\"));
    f.files.Put("C:\\app\\hook.dll");
    f.pub.Begin(CS_FULL_READY).Module(ST_NEW, "C:\\app\\a.exe").Module(ST_NEW, "C:\\app\\hook.dll", 0x400800)
        .Module(ST_NEW, "C:\\app\\x..y.dll", 0x800).Process(ST_NEW, 8, {0, 1, 2});
    f.Add(QS_PENDING, "..\\..\\victim.dll", "C:\\app\\hook.dll");
    f.archive.bytes = EncodeArchive(f.a, f.q);
    ASSERT_EQ(f.Snapshot(), 1);
    ModuleRecord* hook = f.Module("C:\\app\\hook.dll");
    ASSERT_EQ(f.controller.QuarantineModule(hook), 1);
    ASSERT_EQ(f.controller.quarantine.size(), 2u) << "a new entry beside the forged one";
    EXPECT_EQ(f.controller.quarantine[1]->backupName, "hook.dll.ubbak");
    EXPECT_TRUE(f.files.Has(kQuarantine + "hook.dll.ubbak"));

    // A name the client could not act on later is never made: the file
    // would be stuck in the folder.
    size_t files = f.files.files.size();
    EXPECT_EQ(f.controller.QuarantineModule(f.Module("C:\\app\\x..y.dll")), 0);
    EXPECT_EQ(f.prompt.messages.back(), kDenied);
    EXPECT_EQ(f.files.files.size(), files);
}

TEST(HostileArchive, AnArchiveNotReadWholeIsKeptBeforeItIsReplaced) {
    ArchiveFixture f;
    f.files.folders.insert(FakeQuarantineFiles::Key("C:\\app\\"));
    f.files.Put("C:\\app\\hook.dll");
    f.pub.Begin(CS_FULL_READY).Module(ST_NEW, "C:\\app\\hook.dll", 0x400800).Process(ST_NEW, 8, {0});
    f.a.push_back(std::make_unique<AuthenticEntry>());
    f.a.back()->name = "trusted.dll";
    f.a.back()->path = "C:\\app\\trusted.dll";
    const std::vector<uint8_t> history = EncodeArchive(f.a, f.q);
    f.archive.bytes = history;
    f.archive.exists = true;
    f.archive.readError = FileError::Sharing;  // a backup program holds it
    ASSERT_EQ(f.Snapshot(), 1);
    EXPECT_TRUE(f.controller.authentic.empty());
    ModuleRecord* hook = f.Module("C:\\app\\hook.dll");

    // Keeping the copy fails: the file is not replaced either.
    f.archive.keepError = FileError::Sharing;
    ASSERT_EQ(f.controller.AuthenticateModule(hook), 1);
    EXPECT_EQ(f.archive.bytes, history);
    EXPECT_FALSE(f.archive.kept);
    ASSERT_FALSE(f.prompt.fileErrors.empty());
    // Then it works: the old bytes beside, the new state in the file.
    f.archive.keepError = FileError::None;
    f.controller.RemoveAuthentic(f.controller.authentic[0].get());
    EXPECT_TRUE(f.archive.kept);
    EXPECT_EQ(f.archive.previous, history);
    EXPECT_NE(f.archive.bytes, history);
    // Kept once: later saves just replace.
    f.archive.kept = false;
    f.controller.AuthenticateModule(hook);
    EXPECT_FALSE(f.archive.kept);

    // An archive that ends inside a record is kept too; a foreign version
    // word is replaced as before.
    for (bool truncated : {true, false}) {
        ArchiveFixture g;
        g.pub.Begin(CS_FULL_READY).Module(ST_NEW, "C:\\app\\hook.dll", 0x400800).Process(ST_NEW, 8, {0});
        std::vector<uint8_t> bytes = history;
        if (truncated) bytes.resize(bytes.size() - 3);
        else bytes[0] = 2;
        g.archive.bytes = bytes;
        g.archive.exists = true;
        ASSERT_EQ(g.Snapshot(), 1);
        g.controller.AuthenticateModule(g.Module("C:\\app\\hook.dll"));
        EXPECT_EQ(g.archive.kept, truncated);
    }
}

// A block writer that sends new records in every delta, for one table.
struct Flood {
    const char* table;
    size_t cap;
    std::function<size_t(const CClientTables&)> size;
    std::function<const void*(const CClientTables&)> first;
    // Fills a delta with `count` new records; `batch` numbers the deltas.
    std::function<void(Publication&, int batch, size_t count)> newRecords;
    size_t perDelta;
};

TEST(HostileBlock, TablesStopAtTheirCapAndAskForASnapshot) {
    uint32_t pid = 100;
    const Flood floods[] = {
        {"modules", kMaxClientModules, [](const CClientTables& t) { return t.modules.size(); },
         [](const CClientTables& t) -> const void* { return t.modules[0].get(); },
         [](Publication& pub, int batch, size_t count) {
             char path[64];
             for (size_t i = 0; i < count; ++i) {
                 std::snprintf(path, sizeof path, "C:\\flood\\%d\\%zu.dll", batch, i);
                 pub.Module(ST_NEW, path);
             }
         },
         kMaxModuleSlots},
        // Running processes, each new.
        {"processes", kMaxClientProcesses, [](const CClientTables& t) { return t.processes.size(); },
         [](const CClientTables& t) -> const void* { return t.processes[0].get(); },
         [&pid](Publication& pub, int, size_t count) {
             for (size_t i = 0; i < count; ++i) pub.Process(ST_NEW, pid++, {0});
         },
         kMaxProcessSlots},
    };
    for (const Flood& flood : floods) {
        SCOPED_TRACE(flood.table);
        ClientFixture f;
        f.pub.Begin(CS_FULL_READY).Module(ST_NEW, "C:\\app\\a.exe").Process(ST_NEW, 8, {0});
        ASSERT_EQ(f.Snapshot(), 1);
        const void* first = flood.first(f.tables);
        int batch = 0;
        while (flood.size(f.tables) < flood.cap && batch < 20) {
            f.pub.Begin(CS_DELTA_READY);
            flood.newRecords(f.pub, batch, flood.perDelta);
            ASSERT_EQ(f.Delta(), 1);
            ++batch;
        }
        EXPECT_EQ(flood.size(f.tables), flood.cap);
        EXPECT_TRUE(f.tables.WantsSnapshot());
        EXPECT_EQ(flood.first(f.tables), first) << "the records held keep their places";

        // The next refresh asks for a complete snapshot instead of merging.
        f.pub.Begin(CS_DELTA_READY);
        flood.newRecords(f.pub, batch, 1);
        EXPECT_EQ(f.Delta(), 0);
        EXPECT_EQ(f.pub.block.State(), CS_FULL_WANTED);
        f.pub.Begin(CS_FULL_READY).Module(ST_NEW, "C:\\app\\a.exe").Process(ST_NEW, 8, {0});
        ASSERT_EQ(f.Snapshot(), 1);
        EXPECT_EQ(flood.size(f.tables), 1u);
        EXPECT_FALSE(f.tables.WantsSnapshot());
    }
}

}  // namespace
}  // namespace ub
