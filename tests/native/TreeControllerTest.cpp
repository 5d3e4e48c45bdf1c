#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/ClientFixture.h"

namespace ub {
namespace {

using test::ClientFixture;
using Texts = std::vector<std::string>;

// Two processes sharing a DLL that deserves a warning, a trusted system
// file with a warning flag, a hook DLL, a clean DLL whose version resource
// has a blank product name, and a process naming a module the client does
// not hold.
void PublishSnapshot(ClientFixture& f) {
    f.versions.productNames[FoldedKey("C:\\app\\blank.dll", kPathSize)] = "   ";
    f.pub.Begin(CS_FULL_READY)
        .Module(ST_NEW, "C:\\app\\a.exe")                        // 0
        .Module(ST_NEW, "C:\\app\\shared.dll", 0x800)            // 1
        .Module(ST_NEW, "C:\\WINDOWS\\System32\\PSAPI.DLL", 0x800)  // 2: trusted
        .Module(ST_NEW, "C:\\app\\b.exe")                        // 3
        .Module(ST_NEW, "C:\\app\\hook.dll", 0x400800)           // 4
        .Module(ST_NEW, "C:\\app\\blank.dll")                    // 5
        .Process(ST_REPORTED, 8, {0, 2, 1}, 300)
        .Process(ST_NEW, 12, {3, 4, 1, 5, 99}, 100);
}

TEST(TreeController, FixedNodesAndPages) {
    ClientFixture f;
    const auto& n = f.Nodes();
    EXPECT_EQ(f.tree.ChildTexts(kNoItem), Texts{"Umbrastead"});
    EXPECT_EQ(f.tree.ChildTexts(n.root), (Texts{"View", "Processes", "Configure", "Infomation"}));
    EXPECT_EQ(f.tree.ChildTexts(n.view), (Texts{"Warning list", "Authentic", "Quarantine"}));
    EXPECT_EQ(f.tree.ChildTexts(n.configure), Texts{"Standard"});
    EXPECT_EQ(f.tree.ChildTexts(n.information), Texts{"About"});
    struct {
        TreeItem item;
        int icon, page;
    } fixed[] = {{n.root, 135, 0},       {n.view, 136, 1},       {n.warningList, 137, 2}, {n.authentic, 138, 4},
                 {n.quarantine, 139, 6}, {n.processes, 140, 7},  {n.configure, 141, 10},  {n.standard, 142, 11},
                 {n.information, 143, 12}, {n.about, 145, 13}};
    for (const auto& c : fixed) {
        EXPECT_EQ(f.tree.NodeOf(c.item).image, c.icon) << f.tree.NodeOf(c.item).text;
        EXPECT_EQ(f.controller.PageOf(c.item).page, c.page) << f.tree.NodeOf(c.item).text;
    }
    EXPECT_TRUE(f.tree.NodeOf(n.root).expanded);
    EXPECT_TRUE(f.tree.NodeOf(n.view).expanded);

    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    ProcessRecord* p8 = f.Process(8);
    TreeItem item8 = f.ItemOf(n.processes, p8);
    TreeItem mod = f.ItemOf(item8, f.Module("C:\\app\\shared.dll"));
    TreeItem warn = f.ItemOf(n.warningList, f.Module("C:\\app\\shared.dll"));
    struct {
        TreeItem item;
        int page;
        uintptr_t parameter;
    } dynamic[] = {{item8, 8, uintptr_t(p8)},
                   {mod, 9, uintptr_t(f.Module("C:\\app\\shared.dll"))},
                   {warn, 3, uintptr_t(f.Module("C:\\app\\shared.dll"))}};
    for (const auto& c : dynamic) {
        PageTarget t = f.controller.PageOf(c.item);
        EXPECT_EQ(t.page, c.page);
        EXPECT_EQ(t.parameter, c.parameter);
    }
}

TEST(TreeController, SnapshotFillsWarningsAndProcesses) {
    ClientFixture f;
    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    const auto& n = f.Nodes();

    // The shared DLL once, the trusted system file not at all; the blank
    // product name makes a clean DLL a Mid warning.
    EXPECT_EQ(f.Warnings(), (Texts{"blank.dll", "hook.dll", "shared.dll"}));
    std::vector<int> icons;
    for (TreeItem w : f.tree.Children(n.warningList)) icons.push_back(f.tree.NodeOf(w).image);
    EXPECT_EQ(icons, (std::vector<int>{133, 134, 133}));
    EXPECT_TRUE(f.frame.alerting);
    EXPECT_EQ(f.Module("C:\\app\\blank.dll")->flags, uint32_t(MF_NO_PRODUCT_NAME));

    // Processes by name; each with its modules sorted by name, icons by level.
    EXPECT_EQ(f.tree.ChildTexts(n.processes), (Texts{"a.exe", "b.exe"}));
    TreeItem a = f.ItemOf(n.processes, f.Process(8));
    TreeItem b = f.ItemOf(n.processes, f.Process(12));
    EXPECT_EQ(f.tree.ChildTexts(a), (Texts{"a.exe", "PSAPI.DLL", "shared.dll"}));
    EXPECT_EQ(f.tree.ChildTexts(b), (Texts{"b.exe", "blank.dll", "hook.dll", "shared.dll"}));  // index 99 skipped
    std::vector<int> aIcons;
    for (TreeItem m : f.tree.Children(a)) aIcons.push_back(f.tree.NodeOf(m).image);
    EXPECT_EQ(aIcons, (std::vector<int>{131, 131, 133}));
    EXPECT_EQ(f.tree.NodeOf(a).state, 0u);
    EXPECT_EQ(f.tree.NodeOf(b).state, uint32_t(TREE_BOLD));  // new
    EXPECT_EQ(f.tree.NodeOf(a).image, 3);                     // system icon

    // History back to the root alone; the page area was told; statuses aged.
    ASSERT_EQ(f.controller.History().Entries().size(), 1u);
    EXPECT_EQ(f.controller.History().Entries()[0].item, n.root);
    EXPECT_EQ(f.frame.refreshes, std::vector<int>{2});
    EXPECT_EQ(f.Process(12)->status, ST_NEW_SHOWN);

    // A second snapshot rebuilds rather than adds.
    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    EXPECT_EQ(f.Warnings().size(), 3u);
    EXPECT_EQ(f.tree.Children(n.processes).size(), 2u);
}

TEST(TreeController, DeltaUpdatesItemsInPlace) {
    ClientFixture f;
    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    const auto& n = f.Nodes();
    TreeItem sharedWarning = f.ItemOf(n.warningList, f.Module("C:\\app\\shared.dll"));

    // shared.dll re-inspected with a rising flag; a rescanned process with one
    // module less; a new process with a new module; process 12 ends.
    f.icons.without.insert(FoldedKey("C:\\app\\new.exe", kPathSize));
    f.pub.Begin(CS_DELTA_READY)
        .Module(ST_UPDATED, "C:\\app\\shared.dll", 0x100800)
        .Module(ST_NEW, "C:\\app\\new.exe");
    f.pub.Process(ST_UPDATED, 8, {0, 1}, 300).Process(ST_NEW, 20, {6}, 500).Process(ST_FINISHED, 12, {3, 4, 1, 5}, 100);
    ASSERT_EQ(f.Delta(), 1);

    EXPECT_EQ(f.ItemOf(n.warningList, f.Module("C:\\app\\shared.dll")), sharedWarning);  // same item
    EXPECT_EQ(f.tree.NodeOf(sharedWarning).image, 134);                                  // Mid -> High
    EXPECT_EQ(f.Warnings().size(), 3u);
    TreeItem a = f.ItemOf(n.processes, f.Process(8));
    EXPECT_EQ(f.tree.ChildTexts(a), (Texts{"a.exe", "shared.dll"}));
    TreeItem created = f.ItemOf(n.processes, f.Process(20));
    EXPECT_EQ(f.tree.NodeOf(created).state, uint32_t(TREE_BOLD));
    EXPECT_EQ(f.tree.NodeOf(created).image, 148);  // no system icon
    TreeItem ended = f.ItemOf(n.processes, f.Process(12));
    EXPECT_EQ(f.tree.NodeOf(ended).state, uint32_t(TREE_BOLD | TREE_CUT));
    EXPECT_EQ(f.tree.ChildTexts(n.processes), (Texts{"a.exe", "b.exe", "new.exe"}));

    // Nothing new: nothing merged. The ended process stays, bold and cut;
    // the new one stays bold.
    EXPECT_EQ(f.monitor.Refresh(false), 0);
    f.pub.Begin(CS_DELTA_READY);
    ASSERT_EQ(f.Delta(), 1);
    EXPECT_EQ(f.tree.NodeOf(ended).state, uint32_t(TREE_BOLD | TREE_CUT));
    EXPECT_EQ(f.tree.NodeOf(created).state, uint32_t(TREE_BOLD));
    EXPECT_EQ(f.Process(12)->status, ST_FINISHED_SHOWN);

    // Once no warning is left the alert stops.
    f.pub.Begin(CS_DELTA_READY)
        .Module(ST_UPDATED, "C:\\app\\shared.dll", 0)
        .Module(ST_UPDATED, "C:\\app\\hook.dll", 0)
        .Module(ST_UPDATED, "C:\\app\\blank.dll", 0);
    f.versions.productNames.clear();
    ASSERT_EQ(f.Delta(), 1);
    EXPECT_TRUE(f.Warnings().empty());
    EXPECT_FALSE(f.frame.alerting);
}

TEST(TreeController, TrustedAndAuthenticModulesLeaveTheWarnings) {
    ClientFixture f;
    // hook.dll is on the authentic list stored in the archive, by another
    // letter case.
    AuthenticList authentic;
    QuarantineList quarantine;
    authentic.push_back(std::make_unique<AuthenticEntry>());
    authentic.back()->name = "hook.dll";
    authentic.back()->path = "c:\\APP\\HOOK.DLL";
    f.archive.bytes = EncodeArchive(authentic, quarantine);
    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    const auto& n = f.Nodes();
    EXPECT_EQ(f.Warnings(), (Texts{"blank.dll", "shared.dll"}));
    EXPECT_EQ(f.tree.ChildTexts(n.authentic), Texts{"hook.dll"});
    ModuleRecord* hook = f.Module("C:\\app\\hook.dll");
    EXPECT_EQ(f.controller.authentic[0]->module, hook);
    TreeItem b = f.ItemOf(n.processes, f.Process(12));
    EXPECT_EQ(f.tree.NodeOf(f.ItemOf(b, hook)).image, 147);

    // A re-inspection replaces the flags; the mark comes back with the
    // refresh. A file that disappears becomes trusted and leaves too.
    f.attributes.missing.insert(FoldedKey("C:\\app\\blank.dll", kPathSize));
    f.pub.Begin(CS_DELTA_READY).Module(ST_UPDATED, "C:\\app\\hook.dll", 0x400800);
    ASSERT_EQ(f.Delta(), 1);
    EXPECT_EQ(hook->flags, 0x400800u | MF_AUTHENTIC);
    EXPECT_EQ(f.Warnings(), Texts{"shared.dll"});
}

TEST(TreeController, ProcessOrderFollowsTreeSort) {
    struct Case {
        int treeSort;
        Texts order;
    } cases[] = {{0, {"a.exe", "b.exe", "c.exe"}},
                 {1, {"c.exe", "b.exe", "a.exe"}},  // by process ID
                 {2, {"b.exe", "c.exe", "a.exe"}},  // oldest first
                 {9, {"a.exe", "b.exe", "c.exe"}}};
    for (const Case& c : cases) {
        ClientFixture f;
        f.settings.TreeSort = c.treeSort;
        f.pub.Begin(CS_FULL_READY).Module(ST_NEW, "C:\\a.exe").Module(ST_NEW, "C:\\B.exe").Module(ST_NEW, "C:\\c.exe");
        f.pub.Process(ST_NEW, 20, {1}, 0x100000000ull).Process(ST_NEW, 30, {0}, 0x200000000ull);
        f.pub.Process(ST_NEW, 4, {2}, 0x1FFFFFFFFull);
        ASSERT_EQ(f.Snapshot(), 1);
        Texts got = f.tree.ChildTexts(f.Nodes().processes);
        for (auto& t : got) t[0] = char(std::tolower(t[0]));
        EXPECT_EQ(got, c.order) << "TreeSort " << c.treeSort;
    }
}

TEST(TreeController, Comparators) {
    ModuleRecord a{}, b{};
    std::strcpy(a.baseName, "Alpha.dll");
    std::strcpy(b.baseName, "beta.dll");
    std::strcpy(a.fullPath, "C:\\z\\Alpha.dll");
    std::strcpy(b.fullPath, "c:\\A\\beta.dll");
    a.flags = 0x80000000u;  // above any signed value
    b.flags = 0x1;
    int moduleOrder[] = {-1, 1, 1, -1, 1, -1, 1, -1, 0};  // keys 0 to 8
    for (int key = 0; key <= 8; ++key) EXPECT_EQ(CompareModules(a, b, key), moduleOrder[key]) << "key " << key;

    CClientTables t;
    for (const ModuleRecord& m : {a, b}) t.modules.push_back(std::make_unique<ModuleRecord>(m));
    ProcessRecord p{}, q{};
    p.moduleCount = q.moduleCount = 1;
    p.moduleIndex[0] = 0;
    q.moduleIndex[0] = 1;
    p.status = 1;
    q.status = 5;
    p.processId = 9;
    q.processId = 8;
    p.creationTime = FileTime{0xFFFFFFFF, 1};  // later only by the high half
    q.creationTime = FileTime{0, 2};
    p.exitTime = FileTime{2, 0};
    q.exitTime = FileTime{1, 0};
    p.moduleCount = 1;
    q.moduleCount = 2;
    q.moduleIndex[1] = 0;
    int processOrder[] = {-1, 1, -1, 1, 1, -1, 1, -1, -1, 1, 1, -1, -1, 1, 0, 0};  // keys 0 to 15
    for (int key = 0; key <= 15; ++key)
        EXPECT_EQ(CompareProcesses(p, q, key, t), processOrder[key]) << "key " << key;
}

TEST(TreeController, SelectOperationsWriteTheHistory) {
    ClientFixture f;
    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    const auto& n = f.Nodes();
    ProcessRecord* p12 = f.Process(12);
    ModuleRecord* hook = f.Module("C:\\app\\hook.dll");

    // The user is on "Processes" and double-clicks process 12's row.
    ASSERT_TRUE(f.tree.SelectItem(n.processes));
    ASSERT_TRUE(f.controller.SelectProcessItem(p12));
    EXPECT_EQ(f.tree.SelectedItem(), f.ItemOf(n.processes, p12));
    auto& h = f.controller.History().Entries();
    ASSERT_EQ(h.size(), 3u);
    EXPECT_EQ(h[1].item, n.processes);
    EXPECT_EQ(h[1].value, uintptr_t(p12));

    // From the process page to its module at position 1 (hook.dll).
    ASSERT_TRUE(f.controller.SelectModuleItem(p12, 1));
    EXPECT_EQ(f.tree.NodeOf(f.tree.SelectedItem()).data, uintptr_t(hook));
    EXPECT_EQ(h[1].value, 1u);
    ASSERT_TRUE(f.controller.SelectWarningItem(hook));
    EXPECT_EQ(f.tree.Parent(f.tree.SelectedItem()), n.warningList);

    // Records without items: nothing happens.
    ProcessRecord stranger{};
    size_t before = h.size();
    EXPECT_FALSE(f.controller.SelectProcessItem(&stranger));
    EXPECT_FALSE(f.controller.SelectModuleItem(p12, 7));
    EXPECT_FALSE(f.controller.SelectAuthenticItem(nullptr));
    EXPECT_EQ(h.size(), before);

    // Back walks the history, handing each page the row it acted on.
    std::vector<uintptr_t> reselected;
    auto back = [&] { f.controller.History().NavigateBack(f.tree, [&](uintptr_t v) { reselected.push_back(v); }); };
    back();
    EXPECT_EQ(f.tree.NodeOf(f.tree.SelectedItem()).data, uintptr_t(hook));  // the module item
    back();
    EXPECT_EQ(f.tree.SelectedItem(), f.ItemOf(n.processes, p12));
    back();
    EXPECT_EQ(f.tree.SelectedItem(), n.processes);
    EXPECT_EQ(reselected, (std::vector<uintptr_t>{uintptr_t(hook), 1u, uintptr_t(p12)}));
    back();
    EXPECT_EQ(f.tree.SelectedItem(), n.root);
    back();  // one entry left: stays
    EXPECT_EQ(f.tree.SelectedItem(), n.root);
    EXPECT_EQ(h.size(), 1u);

    // Selecting the first entry's node again adds nothing.
    f.tree.SelectItem(n.about);
    f.controller.OnSelectionChanged(n.about);
    EXPECT_EQ(h.size(), 2u);
}

TEST(TreeController, BackSkipsNodesDeletedSinceEvenWhenTheirHandleIsReused) {
    ClientFixture f;
    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    const auto& n = f.Nodes();
    ModuleRecord* shared = f.Module("C:\\app\\shared.dll");
    ModuleRecord* hook = f.Module("C:\\app\\hook.dll");
    TreeItem sharedWarning = f.ItemOf(n.warningList, shared);
    ASSERT_NE(sharedWarning, kNoItem);
    ASSERT_TRUE(f.tree.SelectItem(n.processes));
    ASSERT_TRUE(f.tree.SelectItem(sharedWarning));
    ASSERT_TRUE(f.tree.SelectItem(f.ItemOf(n.warningList, hook)));

    // Trusted: its warning node goes, and the new node under "Authentic"
    // gets the freed handle.
    ASSERT_EQ(f.controller.AuthenticateModule(shared), 1);
    TreeItem trusted = f.tree.FirstChild(n.authentic);
    ASSERT_EQ(trusted, sharedWarning) << "the tree gives the freed handle to the next node";

    std::vector<uintptr_t> reselected;
    f.controller.History().NavigateBack(f.tree, [&](uintptr_t v) { reselected.push_back(v); });
    EXPECT_EQ(f.tree.SelectedItem(), n.processes) << "the deleted node's entry is skipped";

    // A process node deleted with its module nodes: neither entry is used,
    // and nothing is asked of the deleted nodes.
    TreeItem p12 = f.ItemOf(n.processes, f.Process(12));
    ASSERT_TRUE(f.tree.SelectItem(p12));
    ASSERT_TRUE(f.tree.SelectItem(f.tree.FirstChild(p12)));
    ASSERT_TRUE(f.tree.SelectItem(n.about));
    f.tree.DeleteItem(p12);
    f.controller.History().NavigateBack(f.tree, nullptr);
    EXPECT_EQ(f.tree.SelectedItem(), n.processes);
}

TEST(TreeController, PurgeRemovesEndedAndShownProcesses) {
    ClientFixture f;
    PublishSnapshot(f);
    ASSERT_EQ(f.Snapshot(), 1);
    f.pub.Begin(CS_DELTA_READY).Process(ST_FINISHED, 12, {3, 4, 1, 5});
    ASSERT_EQ(f.Delta(), 1);
    ProcessRecord* ended = f.Process(12);
    ProcessRecord* running = f.Process(8);
    test::FakeRows rows;
    rows.rows = {uintptr_t(ended), uintptr_t(running), uintptr_t(ended)};
    f.controller.PurgeEndedProcesses(&rows);
    EXPECT_EQ(rows.rows, std::vector<uintptr_t>{uintptr_t(running)});
    EXPECT_EQ(f.tree.ChildTexts(f.Nodes().processes), Texts{"a.exe"});
    ASSERT_EQ(f.tables.processes.size(), 1u);
    EXPECT_EQ(f.tables.processes[0].get(), running);
    f.controller.PurgeEndedProcesses(nullptr);  // nothing left to purge
    EXPECT_EQ(f.tables.processes.size(), 1u);
}

TEST(ClientMonitor, TimersAndStartNode) {
    struct Case {
        int titleSkip;
        const char* startNode;
    } cases[] = {{0, "Umbrastead"}, {1, "Warning list"}, {2, "Processes"}, {7, "Umbrastead"}};
    for (const Case& c : cases) {
        ClientFixture f;
        f.settings.TitleSkip = c.titleSkip;
        f.settings.SvrSpeed = 2;
        f.monitor.Start();
        EXPECT_EQ(f.timers.running, (std::map<unsigned, uint32_t>{{1, 500}}));

        // Before the service publishes: a snapshot is asked for at each tick.
        f.pub.block.SetState(CS_CONSUMED);
        EXPECT_TRUE(f.monitor.OnRefreshTimer(1));
        EXPECT_EQ(f.pub.block.State(), CS_FULL_WANTED);
        f.pub.block.SetState(CS_DELTA_READY);  // a delta does not count
        EXPECT_TRUE(f.monitor.OnRefreshTimer(1));
        EXPECT_EQ(f.pub.block.State(), CS_FULL_WANTED);
        EXPECT_EQ(f.timers.running.count(1), 1u);
        EXPECT_EQ(f.frame.waitClosed, 0);

        PublishSnapshot(f);
        EXPECT_TRUE(f.monitor.OnRefreshTimer(1));
        EXPECT_EQ(f.timers.running, (std::map<unsigned, uint32_t>{{2, 2000}}));
        EXPECT_EQ(f.frame.waitClosed, 1);
        EXPECT_EQ(f.pub.block.DelayCode(), 3u);
        EXPECT_EQ(f.pub.block.PaceCode(), 0u);
        EXPECT_EQ(f.tree.NodeOf(f.tree.SelectedItem()).text, c.startNode);
        EXPECT_EQ(f.tree.visible, f.tree.SelectedItem());
        for (TreeItem n : {f.Nodes().view, f.Nodes().warningList, f.Nodes().processes})
            EXPECT_TRUE(f.tree.NodeOf(n).expanded);
    }

    // A faster CliSpeed takes effect at the next tick; other timers are not
    // the monitor's.
    ClientFixture f;
    f.monitor.Start();
    PublishSnapshot(f);
    f.monitor.OnRefreshTimer(1);
    f.settings.CliSpeed = 2;
    EXPECT_TRUE(f.monitor.OnRefreshTimer(2));
    EXPECT_EQ(f.timers.running.at(2), 400u);
    f.settings.CliSpeed = 7;  // a stored value out of range: the slowest pace
    f.monitor.OnRefreshTimer(2);
    EXPECT_EQ(f.timers.running.at(2), 10000u);
    EXPECT_FALSE(f.monitor.OnRefreshTimer(3));
}

}  // namespace
}  // namespace ub
