// The list pages' portable side: the rows of the warning, authentic and
// quarantine lists, the order a fill leaves them in, the walk over the
// selection, the scroll after an action and the times the pages show; and
// the rule that no refresh runs inside a refresh or a list operation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/controls/ListRows.h"
#include "client/pages/TimeText.h"
#include "client/pages/WarnListRows.h"
#include "client/quarantine/EntryRows.h"
#include "tests/support/ClientFixture.h"

namespace ub {
namespace {

using test::ClientFixture;
using test::FakeQuarantineFiles;
using Texts = std::vector<std::string>;

std::vector<Texts> TextsOf(const std::vector<ListRow>& rows) {
    std::vector<Texts> texts;
    for (const ListRow& r : rows) texts.push_back(r.texts);
    return texts;
}

TEST(WarnListRows, OnlyWarningsInTableOrderWithLevelAndFlags) {
    ClientFixture f;
    const std::string trusted = std::string(test::kProgramFolder) + "UBclient.exe";
    f.pub.Begin(CS_FULL_READY)
        .Module(ST_NEW, "C:\\m\\clean.dll", 0)
        .Module(ST_NEW, "C:\\m\\low.dll", 0xFF)
        .Module(ST_NEW, "C:\\m\\mid.dll", 0x100)
        .Module(ST_NEW, "C:\\m\\mid2.dll", 0xFFFFF)
        .Module(ST_NEW, "C:\\m\\high.dll", 0x100000)
        .Module(ST_NEW, "C:\\m\\high2.dll", 0xFFFFFFF)
        .Module(ST_NEW, "C:\\m\\pending.dll", 0x10000000)
        .Module(ST_NEW, "C:\\m\\pending2.dll", 0x10000800)
        .Module(ST_NEW, "C:\\m\\trusted.dll", 0x20000800)
        .Module(ST_NEW, "C:\\m\\quar.dll", 0x40000800)
        .Module(ST_NEW, trusted.c_str(), 0x800)
        .Process(ST_NEW, 4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_EQ(f.Snapshot(), 1);

    std::vector<ListRow> rows = WarningRows(f.controller, f.tables);
    EXPECT_EQ(TextsOf(rows), (std::vector<Texts>{
                                 {"low.dll", "Low", "C:\\m\\low.dll", "0x000000FF"},
                                 {"mid.dll", "Mid", "C:\\m\\mid.dll", "0x00000100"},
                                 {"mid2.dll", "Mid", "C:\\m\\mid2.dll", "0x000FFFFF"},
                                 {"high.dll", "High", "C:\\m\\high.dll", "0x00100000"},
                                 {"high2.dll", "High", "C:\\m\\high2.dll", "0x0FFFFFFF"},
                                 {"pending.dll", "Pending", "C:\\m\\pending.dll", "0x10000000"},
                                 {"pending2.dll", "Pending", "C:\\m\\pending2.dll", "0x10000800"},
                             }));
    const int icons[] = {ICON_LEVEL_LOW, ICON_LEVEL_MID, ICON_LEVEL_MID, ICON_LEVEL_HIGH,
                         ICON_LEVEL_HIGH, ICON_LEVEL_PENDING, ICON_LEVEL_PENDING};
    ASSERT_EQ(rows.size(), 7u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].icon, icons[i]) << i;
        EXPECT_EQ(rows[i].data, reinterpret_cast<uintptr_t>(f.Module(rows[i].texts[2].c_str())));
    }
}

TEST(WarnListRows, FillOrderAndSortKeys) {
    ClientFixture f;
    f.pub.Begin(CS_FULL_READY)
        .Module(ST_NEW, "C:\\x\\a.dll", 0x800)
        .Module(ST_NEW, "C:\\b.dll", 0x100000)
        .Module(ST_NEW, "C:\\y\\A.DLL", 0x400000)
        .Module(ST_NEW, "C:\\c.dll", 0x800)
        .Process(ST_NEW, 4, {0, 1, 2, 3});
    ASSERT_EQ(f.Snapshot(), 1);
    // Each row goes in at the top, then one sort: equal keys keep the
    // reversed table order.
    struct Case {
        int key;
        Texts paths;
    } cases[] = {
        {0, {"C:\\y\\A.DLL", "C:\\x\\a.dll", "C:\\b.dll", "C:\\c.dll"}},
        {1, {"C:\\c.dll", "C:\\b.dll", "C:\\y\\A.DLL", "C:\\x\\a.dll"}},
        {2, {"C:\\c.dll", "C:\\x\\a.dll", "C:\\b.dll", "C:\\y\\A.DLL"}},
        {3, {"C:\\y\\A.DLL", "C:\\b.dll", "C:\\c.dll", "C:\\x\\a.dll"}},
        {4, {"C:\\b.dll", "C:\\c.dll", "C:\\x\\a.dll", "C:\\y\\A.DLL"}},
        {5, {"C:\\y\\A.DLL", "C:\\x\\a.dll", "C:\\c.dll", "C:\\b.dll"}},
        {7, {"C:\\y\\A.DLL", "C:\\b.dll", "C:\\c.dll", "C:\\x\\a.dll"}},
        {8, {"C:\\c.dll", "C:\\y\\A.DLL", "C:\\b.dll", "C:\\x\\a.dll"}},  // no such key: inserted order
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::vector<ListRow> rows = WarningRows(f.controller, f.tables);
        ArrangeFill(rows, [&](uintptr_t a, uintptr_t b) { return CompareWarningRows(a, b, c.key); });
        Texts paths;
        for (const ListRow& r : rows) paths.push_back(r.texts[2]);
        EXPECT_EQ(paths, c.paths);
    }
}

TEST(ListRows, SelectionWalkLooksUpTheNextRowBeforeActing) {
    // The log shows the order of look-ups and actions; an action that
    // changes the selection cannot change which rows are visited.
    struct Case {
        std::vector<int> selected;
        std::string log;
        int last;
        int scroll;
    } cases[] = {
        {{}, "next(-1) ", -1, 0},
        {{2}, "next(-1) next(2) act(2) ", 2, 2},
        {{1, 3, 4}, "next(-1) next(1) act(1) next(3) act(3) next(4) act(4) ", 4, 4},
    };
    for (const Case& c : cases) {
        std::vector<int> selected = c.selected;
        std::string log;
        auto next = [&](int start) {
            log += "next(" + std::to_string(start) + ") ";
            for (int row : selected)
                if (row > start) return row;
            return -1;
        };
        int last = VisitSelected(next, [&](int row) {
            log += "act(" + std::to_string(row) + ") ";
            selected.clear();  // acting deselects everything
            if (row == 1) selected = {3, 4};
            if (row == 3) selected = {4};
        });
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(last, c.last);
        EXPECT_EQ(ScrollRowAfter(last), c.scroll);
    }
}

TEST(EntryRows, AuthenticAndQuarantineRowsInListOrder) {
    auto timeText = [](const FileTime& t) { return std::to_string(t.high) + ":" + std::to_string(t.low); };
    AuthenticList authentic;
    for (const char* path : {"C:\\b\\z.dll", "C:\\a\\y.dll"}) {
        authentic.push_back(std::make_unique<AuthenticEntry>());
        authentic.back()->path = path;
        authentic.back()->name = std::string(path).substr(5);
        authentic.back()->time = FileTime{uint32_t(authentic.size()), 1};
    }
    std::vector<ListRow> a = AuthenticRows(authentic, timeText);
    EXPECT_EQ(TextsOf(a), (std::vector<Texts>{{"z.dll", "C:\\b\\z.dll", "1:1"}, {"y.dll", "C:\\a\\y.dll", "1:2"}}));
    for (const ListRow& r : a) EXPECT_EQ(r.icon, ICON_AUTHENTIC);
    ArrangeFill(a, [](uintptr_t x, uintptr_t y) { return CompareAuthenticRows(x, y, 2); });
    EXPECT_EQ(a[0].texts[1], "C:\\a\\y.dll");

    QuarantineList quarantine;
    const int32_t statuses[] = {0, 1, 2, 3, 5, 4, -1};
    for (int32_t status : statuses) {
        quarantine.push_back(std::make_unique<QuarantineEntry>());
        quarantine.back()->status = status;
        quarantine.back()->backupName = "q" + std::to_string(status) + ".dll.ubbak";
        quarantine.back()->originalPath = "C:\\q" + std::to_string(status) + ".dll";
        quarantine.back()->time = FileTime{0x80000001u + uint32_t(quarantine.size()), 0};
    }
    std::vector<ListRow> q = QuarantineRows(quarantine, [](const FileTime&) { return std::string("date"); });
    Texts statusTexts;
    for (const ListRow& r : q) {
        EXPECT_EQ(r.icon, 0) << "quarantine rows have no icon";
        ASSERT_EQ(r.texts.size(), 4u);
        statusTexts.push_back(r.texts[3]);
    }
    EXPECT_EQ(statusTexts, (Texts{"Pending", "Quar", "Cleaned", "Recovered", "Unknown", "Unknown", "Unknown"}));
    EXPECT_EQ(q[1].texts, (Texts{"q1.dll.ubbak", "C:\\q1.dll", "date", "Quar"}));
    // Status descending (key 7), signed: -1 last.
    ArrangeFill(q, [](uintptr_t x, uintptr_t y) { return CompareQuarantineRows(x, y, 7); });
    Texts order;
    for (const ListRow& r : q) order.push_back(r.texts[3]);
    EXPECT_EQ(order, (Texts{"Unknown", "Unknown", "Recovered", "Cleaned", "Quar", "Pending", "Unknown"}));
}

TEST(TimeText, PatternsOfListsAndFiles) {
    struct Case {
        CivilTime time;
        const char* pattern;
        const char* text;
    } cases[] = {
        {{2026, 12, 10, 14, 5, 9, 4}, kListTimePattern, "14:05:09, December 10"},
        {{2026, 1, 3, 0, 0, 0, 6}, kFileTimePattern, "00:00:00, January 03, 2026"},
        {{1601, 1, 1, 0, 0, 0, 1}, kFileTimePattern, "00:00:00, January 01, 1601"},
        {{2026, 13, 1, 0, 0, 0, 0}, kListTimePattern, ""},
        {{2026, 2, 1, 24, 0, 0, 0}, kListTimePattern, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatCivilTime(c.time, c.pattern), c.text) << c.text;
}

// ---- no refresh inside a refresh or a list operation ----

// hook.dll (High) in quarantine, rpm.dll (Mid) under "Warning list"; a
// second snapshot is published and waits for the next tick.
struct BusyFixture : ClientFixture {
    BusyFixture() {
        files.folders.insert(FakeQuarantineFiles::Key("C:\\app\\"));
        files.Put("C:\\app\\hook.dll");
        files.Put("C:\\app\\rpm.dll");
        Publish();
        EXPECT_EQ(Snapshot(), 1);
        hook = Module("C:\\app\\hook.dll");
        rpm = Module("C:\\app\\rpm.dll");
        EXPECT_EQ(controller.QuarantineModule(hook), 1);
        Publish();  // new records at the next tick
    }
    void Publish() {
        pub.Begin(CS_FULL_READY)
            .Module(ST_NEW, "C:\\app\\a.exe")
            .Module(ST_NEW, "C:\\app\\hook.dll", 0x400800)
            .Module(ST_NEW, "C:\\app\\rpm.dll", 0x800)
            .Process(ST_NEW, 8, {0, 1, 2});
    }
    // Fires the refresh timer while a box is open, once per box.
    void TickInBoxes() {
        prompt.whileOpen = [this] {
            monitor.OnRefreshTimer(TIMER_REFRESH);
            stateInBox.push_back(pub.block.State());
        };
    }
    ModuleRecord* hook;
    ModuleRecord* rpm;
    std::vector<uint8_t> stateInBox;
};

TEST(RefreshGuard, NoRefreshInsideTheBoxesOfListOperations) {
    struct Case {
        const char* name;
        void (*act)(BusyFixture&);
        size_t boxes;
    } cases[] = {
        {"recover: both questions", [](BusyFixture& f) {
             f.files.Put("C:\\app\\hook.dll");  // the replace question comes too
             f.prompt.answers = {true, true};
             f.controller.RecoverEntry(f.controller.quarantine[0].get());
         }, 2},
        {"clean", [](BusyFixture& f) {
             f.prompt.answers = {true};
             f.controller.CleanEntry(f.controller.quarantine[0].get());
         }, 1},
        {"quarantine refused", [](BusyFixture& f) {
             f.files.locked.insert(FakeQuarantineFiles::Key("C:\\app\\rpm.dll"));
             f.controller.QuarantineModule(f.rpm);
         }, 1},
        {"clean history", [](BusyFixture& f) {
             f.prompt.answers = {true};
             f.controller.CleanHistory();
         }, 1},
        {"archive not writable", [](BusyFixture& f) {
             f.archive.writeError = FileError::AccessDenied;
             f.controller.AuthenticateModule(f.rpm);
         }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BusyFixture f;
        f.TickInBoxes();
        c.act(f);
        EXPECT_EQ(f.prompt.Boxes(), c.boxes);
        EXPECT_EQ(f.stateInBox, std::vector<uint8_t>(c.boxes, CS_FULL_READY)) << "a refresh ran inside a box";
        // The records the operation held are still the table's.
        EXPECT_EQ(f.Module("C:\\app\\rpm.dll"), f.rpm);
        // A later tick catches up.
        f.prompt.whileOpen = nullptr;
        EXPECT_TRUE(f.monitor.OnRefreshTimer(TIMER_REFRESH));
        EXPECT_EQ(f.pub.block.State(), CS_CONSUMED);
    }
}

TEST(RefreshGuard, UnreadableArchiveAtStartUpShowsOneBox) {
    ClientFixture f;
    f.archive.readError = FileError::Sharing;
    // The service answers every request with a new snapshot.
    auto publish = [&f] { f.pub.Begin(CS_FULL_READY).Module(ST_NEW, "C:\\app\\a.exe").Process(ST_NEW, 8, {0}); };
    publish();
    f.monitor.Start();
    // Timer 1 keeps ticking while the error box is open.
    int ticks = 0, depth = 0;
    f.prompt.whileOpen = [&] {
        if (depth++ == 0) {
            for (int i = 0; i < 3; ++i, ++ticks) {
                f.monitor.OnRefreshTimer(TIMER_FIRST_SNAPSHOT);
                if (f.pub.block.State() == CS_FULL_WANTED) publish();
            }
        }
        --depth;
    };
    EXPECT_TRUE(f.monitor.OnRefreshTimer(TIMER_FIRST_SNAPSHOT));
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(f.prompt.fileErrors.size(), 1u);
    EXPECT_TRUE(f.monitor.Synchronised());
    EXPECT_EQ(f.timers.running.count(TIMER_FIRST_SNAPSHOT), 0u);
    EXPECT_EQ(f.timers.running.count(TIMER_REFRESH), 1u);
    EXPECT_EQ(f.tables.processes.size(), 1u);
}

}  // namespace
}  // namespace ub
