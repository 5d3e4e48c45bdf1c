#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "client/config/FileSearch.h"
#include "tests/support/ClientFixture.h"

namespace ub {
namespace {

using test::ClientFixture;
using test::CMemoryTree;
using test::FakePrompt;
using Texts = std::vector<std::string>;

// What one press did, as seen from outside: "process/module" for the module
// node it selected, "No more" for the box, "-" for nothing; anything else
// reads as itself. The selection is moved to the top node before the press,
// so every selection by the search is a change.
std::string Press(CFileSearch& search, CMemoryTree& tree, FakePrompt& prompt, TreeItem processes,
                  const std::string& text) {
    const TreeItem before = tree.FirstChild(kNoItem);
    tree.SelectItem(before);
    const size_t boxes = prompt.Boxes();
    search.FindNext(text);
    std::string seen;
    if (prompt.Boxes() != boxes)
        seen += prompt.messages.size() == boxes + 1 && prompt.messages.back() == kNoMoreFiles ? "No more" : "<box>";
    const TreeItem selected = tree.SelectedItem();
    if (selected != before) {
        TreeItem process = selected == kNoItem ? kNoItem : tree.Parent(selected);
        if (process == kNoItem || tree.Parent(process) != processes) return seen + "<not a module node>";
        seen += tree.NodeOf(process).text + "/" + tree.NodeOf(selected).text;
    }
    return seen.empty() ? "-" : seen;
}

// Four processes by name; kernel32.dll is the last module of a.exe and the
// middle one of b.exe, zz.dll is shared by b.exe and c.exe, explorer.exe is
// the last module of the last process.
void PublishProcesses(ClientFixture& f) {
    f.pub.Begin(CS_FULL_READY)
        .Module(ST_NEW, "C:\\app\\a.exe")                        // 0
        .Module(ST_NEW, "C:\\WINDOWS\\system32\\kernel32.dll")   // 1
        .Module(ST_NEW, "C:\\app\\b.exe")                        // 2
        .Module(ST_NEW, "C:\\app\\zz.dll")                       // 3
        .Module(ST_NEW, "C:\\app\\c.exe")                        // 4
        .Module(ST_NEW, "C:\\WINDOWS\\explorer.exe")             // 5
        .Process(ST_NEW, 20, {5})
        .Process(ST_NEW, 16, {4, 3})
        .Process(ST_NEW, 12, {2, 1, 3})
        .Process(ST_NEW, 8, {0, 1});
}

struct SearchRun {
    ClientFixture f;
    CFileSearch search{f.tree, f.Nodes().processes, f.prompt};
    SearchRun() {
        PublishProcesses(f);
        EXPECT_EQ(f.Snapshot(), 1);
        EXPECT_EQ(f.tree.ChildTexts(f.Nodes().processes), (Texts{"a.exe", "b.exe", "c.exe", "explorer.exe"}));
    }
    std::string Press(const std::string& text) { return ub::Press(search, f.tree, f.prompt, f.Nodes().processes, text); }
    Texts Presses(const Texts& texts) {
        Texts seen;
        for (const std::string& t : texts) seen.push_back(Press(t));
        return seen;
    }
};

TEST(FileSearch, FindsWholeNamesProcessByProcess) {
    const struct {
        const char* what;
        Texts texts, seen;
    } cases[] = {
        {"a module shared by two processes, the first time as the last module: the third press finds no more, "
         "the fourth starts over",
         {"kernel32.dll", "kernel32.dll", "kernel32.dll", "kernel32.dll"},
         {"a.exe/kernel32.dll", "b.exe/kernel32.dll", "No more", "a.exe/kernel32.dll"}},
        {"both letter cases are one search; after the last module of the last process there is no more",
         {"EXPLORER.EXE", "explorer.exe", "Explorer.Exe"},
         {"explorer.exe/explorer.exe", "No more", "explorer.exe/explorer.exe"}},
        {"a part of a name finds nothing", {"kernel", "kernel32", "ernel32.dll", "system32"},
         {"No more", "No more", "No more", "No more"}},
        {"full paths in other letter cases are one search",
         {"c:\\windows\\SYSTEM32\\kernel32.dll", "C:\\Windows\\System32\\KERNEL32.DLL", "c:\\windows\\system32\\kernel32.dll"},
         {"a.exe/kernel32.dll", "b.exe/kernel32.dll", "No more"}},
        {"blanks at either end are ignored, blank texts do nothing and keep the position",
         {" \tzz.dll ", "   ", "", "zz.dll\r\n", "zz.dll"}, {"b.exe/zz.dll", "-", "-", "c.exe/zz.dll", "No more"}},
        {"a new text starts at the top", {"zz.dll", "zz.dll", "kernel32.dll"},
         {"b.exe/zz.dll", "c.exe/zz.dll", "a.exe/kernel32.dll"}},
    };
    for (const auto& c : cases) {
        SearchRun run;
        EXPECT_EQ(run.Presses(c.texts), c.seen) << c.what;
    }
}

TEST(FileSearch, WithoutProcessesSaysSoAtOnce) {
    ClientFixture f;
    CFileSearch search(f.tree, f.Nodes().processes, f.prompt);
    EXPECT_EQ(Press(search, f.tree, f.prompt, f.Nodes().processes, "kernel32.dll"), "No more");
    EXPECT_EQ(f.prompt.messages, Texts{"No more files are found."});
    EXPECT_EQ(Press(search, f.tree, f.prompt, f.Nodes().processes, " "), "-");
}

// The client's own refreshes between presses delete the nodes the search
// stands at; the memory tree throws when a deleted node is touched.
TEST(FileSearch, RefreshesBetweenPresses) {
    const struct {
        const char* what;
        Texts before;
        std::function<void(ClientFixture&)> change;
        Texts after, seen;
    } cases[] = {
        {"b.exe re-inspected while the search stands at its zz.dll: the new node of zz.dll, then on",
         {"kernel32.dll", "kernel32.dll"},
         [](ClientFixture& f) {
             f.pub.Begin(CS_DELTA_READY).Process(ST_UPDATED, 12, {2, 1, 3});
             ASSERT_EQ(f.Delta(), 1);
         },
         {"kernel32.dll", "zz.dll"},
         {"a.exe/kernel32.dll", "b.exe/kernel32.dll", "No more", "b.exe/zz.dll"}},
        {"b.exe, where the search stands, ended and purged: it starts over",
         {"kernel32.dll"},
         [](ClientFixture& f) {
             f.pub.Begin(CS_DELTA_READY).Process(ST_FINISHED, 12, {2, 1, 3});
             ASSERT_EQ(f.Delta(), 1);
             f.controller.PurgeEndedProcesses(nullptr);
         },
         {"kernel32.dll", "kernel32.dll"},
         {"a.exe/kernel32.dll", "a.exe/kernel32.dll", "No more"}},
    };
    for (const auto& c : cases) {
        SearchRun run;
        Texts seen = run.Presses(c.before);
        c.change(run.f);
        for (const std::string& s : run.Presses(c.after)) seen.push_back(s);
        EXPECT_EQ(seen, c.seen) << c.what;
    }
}

// A tree built by hand, so that the handles of deleted nodes are given to
// new nodes where a test wants them: "Warning list" and "Processes" at the
// top, processes p1 {a.dll, x.dll, b.dll}, p2 {x.dll, c.dll}, p3 {x.dll}.
struct HandTree {
    CMemoryTree tree;
    FakePrompt prompt;
    std::deque<ModuleRecord> records;
    uintptr_t processData = 1;  // never read by the search
    TreeItem warnings = tree.InsertItem(kNoItem, "Warning list", 0, 0, 0);
    TreeItem processes = tree.InsertItem(kNoItem, "Processes", 0, 0, 0);
    TreeItem p1 = AddProcess("p1", {"a.dll", "x.dll", "b.dll"});
    TreeItem p2 = AddProcess("p2", {"x.dll", "c.dll"});
    TreeItem p3 = AddProcess("p3", {"x.dll"});
    CFileSearch search{tree, processes, prompt};

    TreeItem AddProcess(const char* name, std::initializer_list<const char*> modules) {
        TreeItem p = tree.InsertItem(processes, name, 0, processData++, 0);
        for (const char* m : modules) AddModule(p, m);
        return p;
    }
    TreeItem AddModule(TreeItem parent, const char* name) {
        ModuleRecord& r = records.emplace_back();
        std::snprintf(r.baseName, sizeof r.baseName, "%s", name);
        std::snprintf(r.fullPath, sizeof r.fullPath, "C:\\dlls\\%s", name);
        return tree.InsertItem(parent, name, 0, uintptr_t(&r), 0);
    }
    std::string Press(const std::string& text) { return ub::Press(search, tree, prompt, processes, text); }
};

TEST(FileSearch, NeverFollowsADeletedNode) {
    const struct {
        const char* what;
        std::function<void(HandTree&)> change;
        const char* seen;
    } cases[] = {
        {"nothing changed", [](HandTree&) {}, "p2/x.dll"},
        {"p1 deleted, a new process node took its handle: from the top",
         [](HandTree& t) {
             TreeItem old = t.p1;
             t.tree.DeleteItem(t.p1);
             EXPECT_EQ(t.AddProcess("p1", {"a.dll", "x.dll", "b.dll"}), old);
         },
         "p2/x.dll"},
        {"p1 deleted, a warning node took its handle and its item data: from the top",
         [](HandTree& t) {
             uintptr_t data = t.tree.ItemData(t.p1);
             TreeItem old = t.p1;
             t.tree.DeleteItem(t.p1);
             EXPECT_EQ(t.tree.InsertItem(t.warnings, "p1", 0, data, 0), old);
         },
         "p2/x.dll"},
        {"b.dll, where the search stands, unloaded from p1 and its handle given to p3's new module: p1 from its "
         "first module",
         [](HandTree& t) {
             TreeItem b = t.tree.Children(t.p1).back();
             t.tree.DeleteItem(b);
             EXPECT_EQ(t.AddModule(t.p3, "b.dll"), b);
         },
         "p1/x.dll"},
        {"every process node made again, as after a snapshot: from the top",
         [](HandTree& t) {
             DeleteChildren(t.tree, t.processes);
             t.AddProcess("p3", {"x.dll"});
             t.AddProcess("p1", {"x.dll"});
         },
         "p3/x.dll"},
    };
    for (const auto& c : cases) {
        HandTree t;
        ASSERT_EQ(t.Press("x.dll"), "p1/x.dll");
        c.change(t);
        EXPECT_EQ(t.Press("x.dll"), c.seen) << c.what;
    }
}

}  // namespace
}  // namespace ub
