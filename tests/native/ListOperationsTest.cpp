#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/ClientFixture.h"

namespace ub {
namespace {

using test::ClientFixture;
using test::FakeQuarantineFiles;
using Texts = std::vector<std::string>;

const std::string kQuarantine = std::string(test::kProgramFolder) + "Quarantine\\";
const char kNoFreeName[] = "Please clean some files which status of are Quar, then try again.";
const char kDenied[] = "Access is denied. Make sure the file is not in use.";

// Two warnings, hook.dll (High) and rpm.dll (Mid), loaded by one process.
struct ListFixture : ClientFixture {
    ListFixture() {
        files.folders.insert(FakeQuarantineFiles::Key("C:\\app\\"));
        files.Put("C:\\app\\hook.dll");
        files.Put("C:\\app\\rpm.dll");
        pub.Begin(CS_FULL_READY)
            .Module(ST_NEW, "C:\\app\\a.exe")
            .Module(ST_NEW, "C:\\app\\hook.dll", 0x400800)
            .Module(ST_NEW, "C:\\app\\rpm.dll", 0x800)
            .Process(ST_NEW, 8, {0, 1, 2});
        EXPECT_EQ(Snapshot(), 1);
        hook = Module("C:\\app\\hook.dll");
        rpm = Module("C:\\app\\rpm.dll");
    }
    // The archive as it was last saved.
    void Saved(AuthenticList* a, QuarantineList* q) {
        ASSERT_EQ(DecodeArchive(archive.bytes, a, q), ArchiveLoad::Loaded);
    }
    QuarantineEntry& Entry(size_t i) { return *controller.quarantine.at(i); }
    ModuleRecord* hook;
    ModuleRecord* rpm;
};

TEST(QuarantineOperations, QuarantineModuleOutcomes) {
    struct Case {
        const char* name;
        void (*setUp)(FakeQuarantineFiles&);
        int result;
        int32_t status;           // of the entry; -1: no entry
        uint32_t addedFlag;       // on hook.dll
        bool leavesWarningList;
        const char* message;
        std::vector<std::string> filesAfter;
    } cases[] = {
        {"not in use", [](FakeQuarantineFiles&) {}, 1, QS_QUAR, MF_QUARANTINED, true, nullptr,
         {kQuarantine + "hook.dll.ubbak"}},
        {"loaded by a process", [](FakeQuarantineFiles& fs) { fs.undeletable.insert(FakeQuarantineFiles::Key("C:\\app\\hook.dll")); },
         1, QS_PENDING, MF_QUARANTINE_PENDING, false, nullptr, {"C:\\app\\hook.dll.ubbak"}},
        {"gone", [](FakeQuarantineFiles& fs) { fs.files.erase(FakeQuarantineFiles::Key("C:\\app\\hook.dll")); }, 1,
         QS_CLEANED, MF_QUARANTINED, true, nullptr, {}},
        {"held open", [](FakeQuarantineFiles& fs) { fs.locked.insert(FakeQuarantineFiles::Key("C:\\app\\hook.dll")); },
         0, -1, 0, false, kDenied, {"C:\\app\\hook.dll"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListFixture f;
        c.setUp(f.files);
        f.files.now = FileTime{7, 9};
        EXPECT_EQ(f.controller.QuarantineModule(f.hook), c.result);
        EXPECT_EQ(f.prompt.messages, c.message ? Texts{c.message} : Texts{});
        EXPECT_EQ(f.hook->flags, 0x400800u | c.addedFlag);
        for (const std::string& path : c.filesAfter) EXPECT_TRUE(f.files.Has(path)) << path;
        if (c.status < 0) {
            EXPECT_TRUE(f.controller.quarantine.empty());
            EXPECT_EQ(f.archive.writes, 0);
            EXPECT_EQ(f.Warnings(), (Texts{"hook.dll", "rpm.dll"}));
            continue;
        }
        ASSERT_EQ(f.controller.quarantine.size(), 1u);
        const QuarantineEntry& e = f.Entry(0);
        EXPECT_EQ(e.status, c.status);
        EXPECT_EQ(e.backupName, "hook.dll.ubbak");
        EXPECT_EQ(e.originalPath, "C:\\app\\hook.dll");
        EXPECT_EQ(ToU64(e.time), ToU64(FileTime{7, 9}));
        EXPECT_EQ(e.module, f.hook);
        EXPECT_EQ(f.archive.writes, 1);
        EXPECT_EQ(f.Warnings(), c.leavesWarningList ? Texts{"rpm.dll"} : (Texts{"hook.dll", "rpm.dll"}));
        if (!c.leavesWarningList) {
            EXPECT_EQ(f.tree.NodeOf(f.ItemOf(f.Nodes().warningList, f.hook)).image, 146);
        }
        EXPECT_TRUE(f.frame.alerting);  // rpm.dll is still a warning
    }
}

TEST(QuarantineOperations, PendingEntryIsReusedAndMovedAtTheNextReload) {
    ListFixture f;
    f.files.undeletable.insert(FakeQuarantineFiles::Key("C:\\app\\hook.dll"));
    ASSERT_EQ(f.controller.QuarantineModule(f.hook), 1);
    ASSERT_EQ(f.Entry(0).status, QS_PENDING);

    // Quarantining again (another letter case) updates the same entry.
    std::strcpy(f.hook->fullPath, "c:\\APP\\hook.dll");
    f.files.now = FileTime{1, 2};
    ASSERT_EQ(f.controller.QuarantineModule(f.hook), 1);
    ASSERT_EQ(f.controller.quarantine.size(), 1u);
    EXPECT_EQ(f.Entry(0).status, QS_PENDING);
    EXPECT_EQ(ToU64(f.Entry(0).time), ToU64(FileTime{1, 2}));

    // The process has gone: the next snapshot's reload moves the renamed copy.
    f.files.undeletable.clear();
    f.files.now = FileTime{3, 4};
    int savesBefore = f.archive.writes;
    f.pub.block.SetState(CS_FULL_READY);
    ASSERT_EQ(f.monitor.Refresh(false), 1);
    ASSERT_EQ(f.controller.quarantine.size(), 1u);
    EXPECT_EQ(f.Entry(0).status, QS_QUAR);
    EXPECT_EQ(ToU64(f.Entry(0).time), ToU64(FileTime{3, 4}));
    EXPECT_FALSE(f.files.Has("C:\\app\\hook.dll.ubbak"));
    EXPECT_TRUE(f.files.Has(kQuarantine + "hook.dll.ubbak"));
    EXPECT_EQ(f.archive.writes, savesBefore + 1);
    // Linked again by the refresh and out of the warnings for good.
    EXPECT_EQ(f.Entry(0).module, f.Module("C:\\app\\hook.dll"));
    EXPECT_EQ(f.Warnings(), Texts{"rpm.dll"});
}

TEST(QuarantineOperations, ReloadChecksEveryEntry) {
    ListFixture f;
    QuarantineList q;
    AuthenticList a;
    auto add = [&](int32_t status, const char* backup, const char* original) {
        q.push_back(std::make_unique<QuarantineEntry>());
        q.back()->status = status;
        q.back()->time = FileTime{5, 5};
        q.back()->backupName = backup;
        q.back()->originalPath = original;
    };
    add(QS_QUAR, "kept.dll.ubbak", "C:\\app\\kept.dll");       // file present
    add(QS_QUAR, "lost.dll.ubbak", "C:\\app\\lost.dll");       // deleted by hand
    add(QS_PENDING, "gone.dll.ubbak", "C:\\app\\gone.dll");    // both copies gone
    add(QS_PENDING, "stuck.dll.ubbak", "C:\\app\\stuck.dll");  // its renamed copy still loaded
    add(QS_RECOVERED, "old.dll.ubbak", "C:\\app\\old.dll");
    f.archive.bytes = EncodeArchive(a, q);
    f.files.Put(kQuarantine + "kept.dll.ubbak");
    f.files.Put("C:\\app\\stuck.dll.ubbak");
    f.files.undeletable.insert(FakeQuarantineFiles::Key("C:\\app\\stuck.dll.ubbak"));
    int writes = f.archive.writes;

    f.controller.ReloadLists();
    std::vector<int32_t> statuses;
    for (auto& e : f.controller.quarantine) statuses.push_back(e->status);
    EXPECT_EQ(statuses, (std::vector<int32_t>{QS_QUAR, QS_UNKNOWN, QS_CLEANED, QS_PENDING, QS_RECOVERED}));
    EXPECT_EQ(f.archive.writes, writes + 2);  // each retried entry
    EXPECT_EQ(ToU64(f.Entry(3).time), ToU64(f.files.now));
    EXPECT_TRUE(f.files.Has("C:\\app\\stuck.dll.ubbak"));
    // The Unknown status is not saved by itself; here the retry's save,
    // which comes after it in list order, carries it.
    AuthenticList sa;
    QuarantineList sq;
    f.Saved(&sa, &sq);
    EXPECT_EQ(sq[1]->status, QS_UNKNOWN);
    EXPECT_EQ(sq[2]->status, QS_CLEANED);
}

TEST(QuarantineOperations, ForeignArchiveIsReplacedByTheNextSave) {
    ListFixture f;
    f.archive.bytes = {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 'a', 1, 'b', 0, 0, 0, 0};
    f.controller.ReloadLists();
    EXPECT_TRUE(f.controller.authentic.empty());
    EXPECT_TRUE(f.prompt.fileErrors.empty());  // silently
    ASSERT_EQ(f.controller.QuarantineModule(f.hook), 1);
    std::vector<uint8_t> expected = EncodeArchive(f.controller.authentic, f.controller.quarantine);
    EXPECT_EQ(f.archive.bytes, expected);
    EXPECT_EQ(f.archive.bytes[0], 1);
    EXPECT_EQ(f.archive.bytes[2], 1);  // 0x00010001
}

TEST(QuarantineOperations, BackupNamesRunOut) {
    ListFixture f;
    for (int n = 1; n <= 9; ++n) {
        f.controller.quarantine.push_back(std::make_unique<QuarantineEntry>());
        f.controller.quarantine.back()->status = n % 2 ? QS_RECOVERED : QS_CLEANED;
        f.controller.quarantine.back()->backupName = n == 1 ? "HOOK.DLL.ubbak" : "hook.dll.ubbak" + std::to_string(n);
    }
    EXPECT_EQ(f.controller.QuarantineModule(f.hook), 0);
    EXPECT_EQ(f.prompt.messages, Texts{kNoFreeName});
    EXPECT_TRUE(f.files.Has("C:\\app\\hook.dll"));
    EXPECT_EQ(f.controller.quarantine.size(), 9u);
    EXPECT_EQ(f.archive.writes, 0);

    // With the first name free again the module gets it.
    f.controller.quarantine.erase(f.controller.quarantine.begin());
    EXPECT_EQ(f.controller.QuarantineModule(f.hook), 1);
    EXPECT_EQ(f.controller.quarantine.back()->backupName, "hook.dll.ubbak");
}

TEST(QuarantineOperations, LastWarningStopsTheAlert) {
    ListFixture f;
    ASSERT_TRUE(f.frame.alerting);
    f.controller.QuarantineModule(f.hook);
    EXPECT_TRUE(f.frame.alerting);
    f.controller.QuarantineModule(f.rpm);
    EXPECT_TRUE(f.Warnings().empty());
    EXPECT_FALSE(f.frame.alerting);
}

TEST(QuarantineOperations, CleanAndRecover) {
    const char* refuseClean =
        "Just files which status of are Quar can be cleaned, please use \"Clean History\" to clean other type file.";
    const char* refuseRecover = "Just files which status of are Quar or Pending can be reovered.";

    // Wrong statuses are refused with a message and change nothing.
    {
        ListFixture f;
        f.files.undeletable.insert(FakeQuarantineFiles::Key("C:\\app\\hook.dll"));
        f.controller.QuarantineModule(f.hook);  // Pending
        int writes = f.archive.writes;
        EXPECT_EQ(f.controller.CleanEntry(&f.Entry(0)), 1);
        EXPECT_EQ(f.prompt.messages, Texts{refuseClean});
        f.Entry(0).status = QS_CLEANED;
        EXPECT_EQ(f.controller.RecoverEntry(&f.Entry(0)), 1);
        EXPECT_EQ(f.prompt.messages, (Texts{refuseClean, refuseRecover}));
        EXPECT_TRUE(f.prompt.questions.empty());
        EXPECT_EQ(f.archive.writes, writes);
    }
    // Clean: No keeps the file; Yes deletes it and clears the mark.
    {
        ListFixture f;
        f.controller.QuarantineModule(f.hook);
        QuarantineEntry& e = f.Entry(0);
        f.prompt.answers = {false};
        f.controller.CleanEntry(&e);
        EXPECT_EQ(f.prompt.questions, Texts{"Do you make sure want to clean hook.dll.ubbak from disk?"});
        EXPECT_EQ(e.status, QS_QUAR);
        f.prompt.answers = {true};
        FileTime before = e.time;
        f.files.now = FileTime{99, 99};
        f.controller.CleanEntry(&e);
        EXPECT_EQ(e.status, QS_CLEANED);
        EXPECT_EQ(ToU64(e.time), ToU64(before));
        EXPECT_FALSE(f.files.Has(kQuarantine + "hook.dll.ubbak"));
        EXPECT_EQ(f.hook->flags, 0x400800u);
        QuarantineList q;
        AuthenticList a;
        f.Saved(&a, &q);
        EXPECT_EQ(q[0]->status, QS_CLEANED);
    }
    // Recover from the folder: the module comes back under "Warning list"
    // without starting the alert.
    {
        ListFixture f;
        f.controller.QuarantineModule(f.hook);
        f.controller.QuarantineModule(f.rpm);
        ASSERT_FALSE(f.frame.alerting);
        f.prompt.answers = {true};
        EXPECT_EQ(f.controller.RecoverEntry(&f.Entry(0)), 1);
        EXPECT_EQ(f.prompt.questions, Texts{"Do you want recover hook.dll.ubbak to orignal path?"});
        EXPECT_EQ(f.Entry(0).status, QS_RECOVERED);
        EXPECT_TRUE(f.files.Has("C:\\app\\hook.dll"));
        EXPECT_FALSE(f.files.Has(kQuarantine + "hook.dll.ubbak"));
        EXPECT_EQ(f.hook->flags, 0x400800u);
        EXPECT_EQ(f.Warnings(), Texts{"hook.dll"});
        EXPECT_EQ(f.tree.NodeOf(f.ItemOf(f.Nodes().warningList, f.hook)).image, 134);
        EXPECT_FALSE(f.frame.alerting);
        // Quarantined again, it takes the next free name.
        f.controller.QuarantineModule(f.hook);
        EXPECT_EQ(f.controller.quarantine.back()->backupName, "hook.dll.ubbak2");
    }
    // Recover a Pending file: the renamed copy goes back, the item keeps its
    // place with the icon of the remaining flags.
    {
        ListFixture f;
        f.files.undeletable.insert(FakeQuarantineFiles::Key("C:\\app\\hook.dll"));
        f.controller.QuarantineModule(f.hook);
        f.files.undeletable.clear();
        f.prompt.answers = {true};
        f.controller.RecoverEntry(&f.Entry(0));
        EXPECT_EQ(f.Entry(0).status, QS_RECOVERED);
        EXPECT_TRUE(f.files.Has("C:\\app\\hook.dll"));
        EXPECT_FALSE(f.files.Has("C:\\app\\hook.dll.ubbak"));
        EXPECT_EQ(f.tree.NodeOf(f.ItemOf(f.Nodes().warningList, f.hook)).image, 134);
    }
    // An existing file at the original path: No keeps everything; a failed
    // move keeps the status and saves nothing.
    {
        ListFixture f;
        f.controller.QuarantineModule(f.hook);
        f.files.Put("C:\\app\\hook.dll", "newer");
        f.prompt.answers = {true, false};
        f.controller.RecoverEntry(&f.Entry(0));
        EXPECT_EQ(f.prompt.questions.back(), "C:\\app\\hook.dll is exist, do you want to replace it?");
        EXPECT_EQ(f.Entry(0).status, QS_QUAR);
        EXPECT_TRUE(f.files.Has(kQuarantine + "hook.dll.ubbak"));

        f.files.locked.insert(FakeQuarantineFiles::Key("C:\\app\\hook.dll"));
        int writes = f.archive.writes;
        f.prompt.answers = {true, true};
        f.controller.RecoverEntry(&f.Entry(0));
        EXPECT_EQ(f.Entry(0).status, QS_QUAR);
        EXPECT_EQ(f.archive.writes, writes);
        EXPECT_EQ(f.prompt.messages, Texts{});
    }
}

TEST(QuarantineOperations, CleanHistoryKeepsPendingAndQuar) {
    ListFixture f;
    for (int32_t status : {0, 1, 2, 3, 5, -1}) {
        f.controller.quarantine.push_back(std::make_unique<QuarantineEntry>());
        f.controller.quarantine.back()->status = status;
        f.controller.quarantine.back()->backupName = "x" + std::to_string(status);
    }
    f.files.Put(kQuarantine + "x2");
    EXPECT_FALSE(f.controller.CleanHistory());
    EXPECT_EQ(f.controller.quarantine.size(), 6u);
    EXPECT_EQ(f.archive.writes, 0);
    f.prompt.answers = {true};
    EXPECT_TRUE(f.controller.CleanHistory());
    EXPECT_EQ(f.prompt.questions.back(),
              "All of files which status of are Cleaned, Recovered and Unknown will be deleted.");
    ASSERT_EQ(f.controller.quarantine.size(), 2u);
    EXPECT_EQ(f.Entry(0).status, 0);
    EXPECT_EQ(f.Entry(1).status, 1);
    EXPECT_TRUE(f.files.Has(kQuarantine + "x2"));
    EXPECT_EQ(f.archive.writes, 1);
}

TEST(AuthenticList, TrustAndRemove) {
    ListFixture f;
    f.files.now = FileTime{11, 12};
    EXPECT_EQ(f.controller.AuthenticateModule(f.hook), 1);
    EXPECT_EQ(f.controller.AuthenticateModule(f.hook), 0);  // same path again
    std::strcpy(f.hook->fullPath, "C:\\APP\\HOOK.DLL");
    EXPECT_EQ(f.controller.AuthenticateModule(f.hook), 0);  // letter case differs
    ASSERT_EQ(f.controller.authentic.size(), 1u);
    const AuthenticEntry& e = *f.controller.authentic[0];
    EXPECT_EQ(e.name, "hook.dll");
    EXPECT_EQ(e.module, f.hook);
    EXPECT_EQ(ToU64(e.time), ToU64(FileTime{11, 12}));
    EXPECT_EQ(f.tree.ChildTexts(f.Nodes().authentic), Texts{"hook.dll"});
    EXPECT_EQ(f.tree.NodeOf(f.tree.Children(f.Nodes().authentic)[0]).image, 147);
    EXPECT_EQ(f.Warnings(), Texts{"rpm.dll"});
    EXPECT_EQ(f.archive.writes, 1);
    EXPECT_TRUE(f.frame.alerting);

    // The last warning trusted: the alert stops.
    f.controller.AuthenticateModule(f.rpm);
    EXPECT_FALSE(f.frame.alerting);
    EXPECT_EQ(f.tree.ChildTexts(f.Nodes().authentic), (Texts{"hook.dll", "rpm.dll"}));

    // Removed again: back under "Warning list" with the icon of its flags,
    // and no alert.
    EXPECT_EQ(f.controller.RemoveAuthentic(f.controller.authentic[0].get()), 1);
    EXPECT_EQ(f.hook->flags, 0x400800u);
    EXPECT_EQ(f.Warnings(), Texts{"hook.dll"});
    EXPECT_EQ(f.tree.NodeOf(f.ItemOf(f.Nodes().warningList, f.hook)).image, 134);
    EXPECT_FALSE(f.frame.alerting);
    EXPECT_EQ(f.controller.RemoveAuthentic(nullptr), 0);
    AuthenticEntry stranger;
    EXPECT_EQ(f.controller.RemoveAuthentic(&stranger), 0);

    // An entry whose module is not loaded only loses its node.
    f.controller.authentic[0]->module = nullptr;
    EXPECT_EQ(f.controller.RemoveAuthentic(f.controller.authentic[0].get()), 1);
    EXPECT_TRUE(f.tree.ChildTexts(f.Nodes().authentic).empty());
    EXPECT_EQ(f.Warnings(), Texts{"hook.dll"});
    EXPECT_EQ(f.rpm->flags, 0x800u | MF_AUTHENTIC);
    AuthenticList a;
    QuarantineList q;
    f.Saved(&a, &q);
    EXPECT_TRUE(a.empty());
}

TEST(AuthenticList, ModuleStillUnderWarningsGetsNoSecondItem) {
    // An entry linked to a module that is still a warning (the entry was
    // linked before the module's flags were replaced): removing it must not
    // list the module twice.
    ListFixture f;
    f.controller.authentic.push_back(std::make_unique<AuthenticEntry>());
    f.controller.authentic.back()->module = f.hook;
    f.controller.authentic.back()->path = f.hook->fullPath;
    EXPECT_EQ(f.controller.RemoveAuthentic(f.controller.authentic.back().get()), 1);
    EXPECT_EQ(f.Warnings(), (Texts{"hook.dll", "rpm.dll"}));
}

TEST(Archive, FileErrorsAreShownAndKeepTheLists) {
    ListFixture f;
    f.archive.writeError = FileError::AccessDenied;
    EXPECT_EQ(f.controller.AuthenticateModule(f.hook), 1);
    EXPECT_EQ(f.prompt.fileErrors, Texts{"Access to C:\\Program Files\\Umbrastead\\UBqa.dat was denied."});
    EXPECT_EQ(f.controller.authentic.size(), 1u);

    // A file cut inside the second record: the first stays, with the
    // end-of-file message.
    AuthenticList a;
    QuarantineList q;
    for (const char* name : {"one.dll", "two.dll"}) {
        a.push_back(std::make_unique<AuthenticEntry>());
        a.back()->name = name;
        a.back()->path = std::string("C:\\") + name;
    }
    f.archive.bytes = EncodeArchive(a, q);
    f.archive.bytes.resize(f.archive.bytes.size() - 9);
    f.prompt.fileErrors.clear();
    f.controller.ReloadLists();
    EXPECT_EQ(f.prompt.fileErrors, Texts{"An attempt was made to access an unnamed file past its end."});
    EXPECT_EQ(f.tree.ChildTexts(f.Nodes().authentic), Texts{"one.dll"});

    f.archive.readError = FileError::Sharing;
    f.prompt.fileErrors.clear();
    f.controller.ReloadLists();
    EXPECT_EQ(f.prompt.fileErrors,
              Texts{"A sharing violation occurred while accessing C:\\Program Files\\Umbrastead\\UBqa.dat."});
    EXPECT_TRUE(f.controller.authentic.empty());
}

}  // namespace
}  // namespace ub
