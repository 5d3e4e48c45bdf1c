// The process and module pages of UBclient.exe run for real beside the real
// service: the all-processes list with its fixtures, a process started
// later, "Kill" and the ended row, "CleanFin"; the details page of a
// process and its kill; the module list of a process against the real
// module bases and sizes; the file page of the service's own program with
// its version strings; a DLL without a version resource and the processes
// that load it; "MoreInfo" through a stand-in browser. The steps build on
// each other and run in order. Screenshots are saved for a person to look at.
#include "tests/wine/ClientRun.h"
#include "tests/wine/StandInBrowser.h"

#include <psapi.h>

namespace ub {
namespace {

using namespace clienttest;

constexpr int kProcessList = 1000;
constexpr int kKill = 2080;
constexpr int kCleanFinished = 2083;
constexpr int kDetailTab = 2002;
constexpr int kMoreTab = 2003;
constexpr int kMoreInfo = 2052;

// The text of a control in the client, through WM_GETTEXT (which the
// system carries across processes).
std::string ControlText(HWND page, int id) {
    char text[1024] = "";
    ::SendMessageA(::GetDlgItem(page, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool IsClockTime(const std::string& s) {
    return s.size() == 8 && s[2] == ':' && s[5] == ':' &&
           std::all_of(s.begin(), s.end(), [](char c) { return c == ':' || (c >= '0' && c <= '9'); });
}

struct LoadedModule {
    std::string path;
    uint32_t base = 0, size = 0;
};

// The modules of a process as psapi lists them.
std::vector<LoadedModule> ModulesOf(HANDLE process) {
    HMODULE handles[1024];
    DWORD needed = 0;
    std::vector<LoadedModule> modules;
    if (!::EnumProcessModules(process, handles, sizeof handles, &needed)) return modules;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 1024; ++i) {
        MODULEINFO info{};
        char path[MAX_PATH] = "";
        if (!::GetModuleInformation(process, handles[i], &info, sizeof info)) continue;
        ::GetModuleFileNameExA(process, handles[i], path, sizeof path);
        char longPath[MAX_PATH] = "";
        if (::GetLongPathNameA(path, longPath, sizeof longPath)) std::strcpy(path, longPath);
        modules.push_back({path, uint32_t(reinterpret_cast<uintptr_t>(info.lpBaseOfDll)), uint32_t(info.SizeOfImage)});
    }
    return modules;
}

std::string AddressRange(uint32_t base, uint32_t size) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X - 0x%08X", unsigned(base), unsigned(base + size - 1));
    return text;
}

// The seven version strings of a file's first translation, "" for each
// one it lacks; all "" without a resource.
std::vector<std::string> VersionStrings(const std::string& path) {
    static const char* const names[] = {"OriginalFileName", "FileDescription", "FileVersion", "ProductName",
                                        "ProductVersion",   "CompanyName",     "LegalCopyright"};
    std::vector<std::string> values(7);
    DWORD ignored = 0, size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!size) return values;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return values;
    WORD* translation = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < 4)
        return values;
    char key[64];
    for (int i = 0; i < 7; ++i) {
        std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], names[i]);
        char* text = nullptr;
        if (::VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&text), &length) && text) values[i] = text;
    }
    return values;
}

const int kVersionEdits[] = {1014, 1015, 1016, 1017, 1018, 1019, 1020};

// The row whose PID column reads `pid`, or -1.
int RowOfPid(const CRemoteList& list, uint32_t pid) {
    for (int r = 0, n = list.Count(); r < n; ++r)
        if (list.Cell(r, 2) == std::to_string(pid)) return r;
    return -1;
}

class PagesRun : public ClientRun {
protected:
    // The node's page behind a header tab, found by one of its controls.
    static HWND ShowTab(HTREEITEM node, int tab, int control) {
        s_tree.Select(s_tree.Root());
        s_tree.Select(node);
        Click(::GetDlgItem(Header(), tab));
        return VisiblePageWith(control);
    }
    static HTREEITEM Processes() { return s_tree.Child(s_tree.Root(), "Processes"); }
    // The process node of a PID: its process list row is the one way to
    // tell apart two processes of one program, so the node is found by
    // selecting each candidate and reading its details page.
    static HTREEITEM ProcessNode(const std::string& name, uint32_t pid) {
        for (HTREEITEM k : s_tree.Children(Processes())) {
            if (s_tree.Text(k) != name) continue;
            HWND page = ShowTab(k, kDetailTab, 1037);
            if (page && ControlText(page, 1037) == std::to_string(pid)) return k;
        }
        return nullptr;
    }

    static inline std::unique_ptr<wine::CFixtureProcess> s_late;  // started after the first snapshot
    static inline uint32_t s_latePid = 0;
    static inline std::unique_ptr<CDllHost> s_dllHost;  // loads fixture_rpm_dll.dll
    static inline wine::CFixtureProcess s_other;  // killed from its details page
};

TEST_F(PagesRun, Pages01_ClientStartsAndListsTheFixtures) {
    ASSERT_TRUE(StartClient(s_client)) << "no main frame";
    ASSERT_TRUE(s_tree.Attach(Tree()));
    EXPECT_TRUE(PollUntil([] { return s_tree.Child(Processes(), "fixture_rpm.exe") != nullptr; }))
        << ::testing::PrintToString(s_tree.ChildTexts(Processes()));
    EXPECT_TRUE(PollUntil([] { return FindClientBox(s_client.pi.dwProcessId, 2230) == nullptr; }))
        << "the wait dialog stayed";
}

TEST_F(PagesRun, Pages02_AllProcessesPageListsEveryProcess) {
    HWND page = ShowListPage(Processes(), kProcessList);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(page, kCleanFinished)));
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kProcessList)));
    LONG style = ::GetWindowLongA(list.Window(), GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(style & LVS_SINGLESEL);
    EXPECT_TRUE(style & LVS_SHAREIMAGELISTS) << "the list must never destroy the tree's images";
    EXPECT_EQ(list.ExtendedStyle(), DWORD(LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.SmallImages(), s_tree.Images());
    ExpectColumns(list, {{"ImageName", 120}, {"Satatus", 60}, {"PID", 40}, {"FullName", 240},
                         {"BeginTime", 80}, {"EndTime", 80}, {"Mod Num", 0}});

    // Shown empty; filled by the next merge.
    ASSERT_TRUE(PollUntil([&] { return RowOfPid(list, s_fixtures->operator[]("fixture_rpm.exe").Pid()) >= 0; }))
        << list.Count() << " rows";
    Rows rows = list.AllRows();
    EXPECT_TRUE(OrderedBy(rows, 0, false)) << ::testing::PrintToString(rows);
    for (const char* exe : {"fixture_rpm.exe", "fixture_clean.exe"}) {
        SCOPED_TRACE(exe);
        const wine::CFixtureProcess& fixture = (*s_fixtures)[exe];
        int row = RowOfPid(list, fixture.Pid());
        ASSERT_GE(row, 0);
        std::vector<std::string> cells = list.Row(row);
        EXPECT_EQ(cells[0], exe);
        EXPECT_EQ(cells[1], "----");  // running since the first snapshot
        EXPECT_TRUE(EqualsNoCase(cells[3], BinFolder() + exe)) << cells[3];
        EXPECT_EQ(cells[4], TimeText(wine::TimesOf(fixture.Handle()).creation, "%X, %B %d"));
        EXPECT_EQ(cells[5], "----");
        EXPECT_EQ(cells[6], std::to_string(ModulesOf(fixture.Handle()).size()));
        // The row shows the process node's icon.
        HTREEITEM node = s_tree.Child(Processes(), exe);
        EXPECT_EQ(list.Image(row), s_tree.Image(node));
    }
    Screenshot("10-process-list");
}

TEST_F(PagesRun, Pages03_ALateProcessIsNewAndKilledItEnds) {
    HWND page = VisiblePageWith(kProcessList);
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kProcessList)));
    s_late = std::make_unique<wine::CFixtureProcess>();
    ASSERT_TRUE(s_late->Start("fixture_clean.exe"));
    s_latePid = s_late->Pid();
    int row = -1;
    ASSERT_TRUE(PollUntil([&] { return (row = RowOfPid(list, s_late->Pid())) >= 0; })) << "no row for the new process";
    EXPECT_EQ(list.Cell(row, 1), "New");
    EXPECT_EQ(list.Cell(row, 5), "----");

    ASSERT_TRUE(list.SelectOnly(row));
    ClickAsync(::GetDlgItem(page, kKill));
    EXPECT_TRUE(AnswerBox("Killed Process fixture_clean.exe.", kOkBox, IDOK));
    ASSERT_EQ(::WaitForSingleObject(s_late->Handle(), wine::kWaitLimitMs), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(s_late->Handle(), &code);
    EXPECT_EQ(code, 0xFFFFFFFFu);

    // A later merge reports the end: "Finished" with the exit time.
    const std::string exitText = TimeText(wine::TimesOf(s_late->Handle()).exit, "%X, %B %d");
    EXPECT_TRUE(PollUntil([&] {
        row = RowOfPid(list, s_late->Pid());
        return row >= 0 && list.Cell(row, 1) == "Finished";
    })) << ::testing::PrintToString(list.AllRows());
    ASSERT_GE(row, 0);
    EXPECT_EQ(list.Cell(row, 5), exitText);
    Screenshot("11-process-finished");

    // Killing it again fails, and says so. The service let go of the
    // process when it saw the end; once this test does too, the process is
    // gone. (While a handle is open Wine, unlike Windows, reports a second
    // termination as done.)
    s_late.reset();
    row = RowOfPid(list, s_latePid);
    ASSERT_GE(row, 0);
    ASSERT_TRUE(list.SelectOnly(row));
    ClickAsync(::GetDlgItem(page, kKill));
    EXPECT_TRUE(AnswerBox("The Process fixture_clean.exe can't be killed, it has exited or access is denied.", kOkBox,
                          IDOK));
}

TEST_F(PagesRun, Pages04_CleanFinRemovesTheFinishedProcesses) {
    HWND page = VisiblePageWith(kProcessList);
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kProcessList)));
    ASSERT_TRUE(SyncWithClient());
    Rows before = list.AllRows();
    Rows running;
    for (const auto& cells : before)
        if (cells[1] != "Finished") running.push_back(cells);
    ASSERT_LT(running.size(), before.size()) << "nothing has finished";
    size_t cleanNodes = s_tree.ChildTexts(Processes()).size();

    EXPECT_TRUE(ClickQuietly(::GetDlgItem(page, kCleanFinished)));
    Rows after = list.AllRows();
    // Only rows shown "Finished" go, the rest keep their order; a process
    // that ended since the last merge may still be listed as running.
    for (const auto& cells : after) EXPECT_NE(cells[1], "Finished") << cells[0] << " " << cells[2];
    Rows kept;
    for (const auto& cells : running)
        if (std::find(after.begin(), after.end(), cells) != after.end()) kept.push_back(cells);
    EXPECT_EQ(kept, after);
    EXPECT_EQ(RowOfPid(list, s_latePid), -1);
    EXPECT_LT(s_tree.ChildTexts(Processes()).size(), cleanNodes) << "their nodes leave the tree";
}

TEST_F(PagesRun, Pages05_DetailsOfAProcessAndKillFromThere) {
    const wine::CFixtureProcess& rpm = (*s_fixtures)["fixture_rpm.exe"];
    HTREEITEM node = s_tree.Child(Processes(), "fixture_rpm.exe");
    ASSERT_NE(node, nullptr);
    HWND page = ShowTab(node, kDetailTab, 1038);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ControlText(page, 1030), "fixture_rpm.exe");
    EXPECT_EQ(ControlText(page, 1031), "----");
    EXPECT_EQ(ControlText(page, 1037), std::to_string(rpm.Pid()));
    EXPECT_TRUE(EqualsNoCase(ControlText(page, 1038), RpmPath())) << ControlText(page, 1038);
    EXPECT_EQ(ControlText(page, 1035), std::to_string(ModulesOf(rpm.Handle()).size()));
    EXPECT_EQ(ControlText(page, 1032), TimeText(wine::TimesOf(rpm.Handle()).creation, "%X, %B %d"));
    EXPECT_EQ(ControlText(page, 1033), "----");
    EXPECT_TRUE(IsClockTime(ControlText(page, 1034))) << ControlText(page, 1034);
    EXPECT_TRUE(IsClockTime(ControlText(page, 1036))) << ControlText(page, 1036);
    for (int id = 1030; id <= 1038; ++id)
        EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(page, id), GWL_STYLE) & ES_READONLY) << id;
    Screenshot("12-process-details");

    ASSERT_TRUE(s_other.Start("fixture_clean.exe"));
    HTREEITEM other = nullptr;
    ASSERT_TRUE(PollUntil([&] { return (other = ProcessNode("fixture_clean.exe", s_other.Pid())) != nullptr; }));
    page = ShowTab(other, kDetailTab, 1038);
    ASSERT_NE(page, nullptr);
    ClickAsync(::GetDlgItem(page, kKill));
    EXPECT_TRUE(AnswerBox("Killed Process fixture_clean.exe.", kOkBox, IDOK));
    EXPECT_EQ(::WaitForSingleObject(s_other.Handle(), wine::kWaitLimitMs), WAIT_OBJECT_0);
    EXPECT_EQ(ControlText(page, 1033), "----") << "the page shows the moment it was shown";
}

TEST_F(PagesRun, Pages06_ModuleListOfAProcessMatchesItsModules) {
    const wine::CFixtureProcess& rpm = (*s_fixtures)["fixture_rpm.exe"];
    HWND page = ShowListPage(s_tree.Child(Processes(), "fixture_rpm.exe"), kListId);
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kListId)));
    EXPECT_TRUE(::GetWindowLongA(list.Window(), GWL_STYLE) & LVS_SHAREIMAGELISTS);
    EXPECT_EQ(list.SmallImages(), s_tree.Images());
    ExpectColumns(list, {{"ModName", 120}, {"Address", 160}, {"FullName", 240}, {"Warning No.", 0}});

    Rows rows = list.AllRows();
    std::vector<LoadedModule> modules = ModulesOf(rpm.Handle());
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(rows.size(), modules.size()) << ::testing::PrintToString(rows);
    EXPECT_TRUE(OrderedBy(rows, 0, false)) << ::testing::PrintToString(rows);
    for (const LoadedModule& m : modules) {
        SCOPED_TRACE(m.path);
        auto it = std::find_if(rows.begin(), rows.end(), [&](const std::vector<std::string>& cells) {
            return EqualsNoCase(cells[2], m.path);
        });
        ASSERT_NE(it, rows.end());
        EXPECT_EQ((*it)[1], AddressRange(m.base, m.size));
        EXPECT_TRUE(wine::EndsWithNoCase(m.path, "\\" + (*it)[0]));
    }
    int main = list.Find("fixture_rpm.exe");
    ASSERT_GE(main, 0);
    EXPECT_EQ(list.Cell(main, 3), "0x00000800");
    Screenshot("13-module-list");

    // The address column sorts by the numbers, descending at the first click.
    list.ClickHeading(1);
    Rows sorted = list.AllRows();
    ASSERT_EQ(sorted.size(), rows.size());
    for (size_t r = 1; r < sorted.size(); ++r) EXPECT_GE(sorted[r - 1][1], sorted[r][1]) << r;
}

TEST_F(PagesRun, Pages07_FilePageOfTheServiceProgram) {
    HTREEITEM node = s_tree.Child(Processes(), "UBsvr.exe");
    ASSERT_NE(node, nullptr) << ::testing::PrintToString(s_tree.ChildTexts(Processes()));
    HWND page = ShowTab(node, kMoreTab, 1010);
    ASSERT_NE(page, nullptr);
    EXPECT_NE(::GetDlgItem(page, kKill), nullptr);
    const std::string path = BinFolder() + "UBsvr.exe";
    EXPECT_TRUE(EqualsNoCase(ControlText(page, 1010), path)) << ControlText(page, 1010);

    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME created{}, accessed{}, written{};
    ::GetFileTime(file, &created, &accessed, &written);
    DWORD size = ::GetFileSize(file, nullptr);
    ::CloseHandle(file);
    auto u64 = [](FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    EXPECT_EQ(ControlText(page, 1011), std::to_string(size));
    EXPECT_EQ(ControlText(page, 1012), TimeText(u64(created), "%X, %B %d, %Y"));
    EXPECT_EQ(ControlText(page, 1013), TimeText(u64(written), "%X, %B %d, %Y"));
    EXPECT_EQ(ControlText(page, 1021), "----");  // the program folder is trusted

    std::vector<std::string> strings = VersionStrings(path);
    EXPECT_EQ(strings[1], "Umbrastead guard service");
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ControlText(page, kVersionEdits[i]), strings[size_t(i)]) << i;
    Screenshot("14-file-details");
}

TEST_F(PagesRun, Pages08_ADllWithoutVersionResourceAndItsProcesses) {
    s_dllHost = std::make_unique<CDllHost>();
    const std::string dll = BinFolder() + "fixture_rpm_dll.dll";
    ASSERT_TRUE(s_dllHost->Load(dll));
    HTREEITEM hostNode = nullptr, dllNode = nullptr;
    ASSERT_TRUE(PollUntil([&] {
        hostNode = s_tree.Child(Processes(), "fixture_dll_host.exe");
        dllNode = hostNode ? s_tree.Child(hostNode, "fixture_rpm_dll.dll") : nullptr;
        return dllNode != nullptr;
    }));
    // Detail tab of a module of a process: its file page.
    HWND page = ShowTab(dllNode, kDetailTab, 1010);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(EqualsNoCase(ControlText(page, 1010), dll));
    EXPECT_FALSE(ControlText(page, 1011).empty());
    EXPECT_FALSE(ControlText(page, 1013).empty());
    EXPECT_EQ(ControlText(page, 1021), "Mid");  // ReadProcessMemory and no product name
    for (int id : kVersionEdits) EXPECT_EQ(ControlText(page, id), "") << id;

    // Its List tab: the processes that load it, after the next merge.
    page = ShowListPage(dllNode, kProcessList);
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kProcessList)));
    EXPECT_EQ(list.Count(), 0) << "shown empty until the next merge";
    ASSERT_TRUE(PollUntil([&] { return list.Count() > 0; }));
    Rows rows = list.AllRows();
    ASSERT_EQ(rows.size(), 1u) << ::testing::PrintToString(rows);
    EXPECT_EQ(rows[0][0], "fixture_dll_host.exe");
    Screenshot("15-module-processes");
}

TEST_F(PagesRun, Pages08b_AuthitAndCleanFromTheFilePages) {
    HTREEITEM warnings = ViewNode("Warning list");
    HTREEITEM authentic = ViewNode("Authentic");
    const std::string dll = BinFolder() + "fixture_rpm_dll.dll";
    HTREEITEM node = s_tree.Child(warnings, "fixture_rpm_dll.dll");
    ASSERT_NE(node, nullptr) << ::testing::PrintToString(s_tree.ChildTexts(warnings));

    // The warning's file page: "Authit" trusts it; its node goes, and the
    // page of the node selected instead is shown once the action is over.
    HWND page = ShowTab(node, kDetailTab, kAuthit);
    ASSERT_NE(page, nullptr);
    EXPECT_NE(::GetDlgItem(page, kQuarit), nullptr);
    EXPECT_TRUE(EqualsNoCase(ControlText(page, 1010), dll));
    EXPECT_EQ(ControlText(page, 1021), "Mid");
    EXPECT_TRUE(ClickQuietly(::GetDlgItem(page, kAuthit)));
    EXPECT_EQ(s_tree.Child(warnings, "fixture_rpm_dll.dll"), nullptr);
    HTREEITEM trusted = s_tree.Child(authentic, "fixture_rpm_dll.dll");
    ASSERT_NE(trusted, nullptr);
    EXPECT_NE(s_tree.Selected(), nullptr);
    // Shown when the client is back in its message loop: the group of the
    // node selected now, or this page with the next warning's file.
    EXPECT_TRUE(PollUntil([&] { return !::IsWindowVisible(page) || !EqualsNoCase(ControlText(page, 1010), dll); }))
        << "the page of the deleted node stays on show";
    EXPECT_FALSE(VisiblePage().empty());
    EXPECT_TRUE(ReadArchive().Trusted(dll));

    // The authentic entry's file page: "Authed", and "Clean" ends the trust.
    page = ShowTab(trusted, kDetailTab, kClean);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ControlText(page, 1021), "Authed");
    Screenshot("16-authentic-file");
    EXPECT_TRUE(ClickQuietly(::GetDlgItem(page, kClean)));
    EXPECT_EQ(s_tree.Child(authentic, "fixture_rpm_dll.dll"), nullptr);
    EXPECT_NE(s_tree.Child(warnings, "fixture_rpm_dll.dll"), nullptr);
    EXPECT_TRUE(PollUntil([&] { return !::IsWindowVisible(page); })) << "the page of the deleted node stays on show";
    EXPECT_FALSE(ReadArchive().Trusted(dll));
}

TEST_F(PagesRun, Pages09_MoreInfoOpensABlankPageThenTheSearch) {
    wine::CStandInBrowser browser;
    ASSERT_TRUE(browser.Ready());
    // The file page of the service's process: base name "UBsvr.exe".
    HWND page = ShowTab(s_tree.Child(Processes(), "UBsvr.exe"), kMoreTab, kMoreInfo);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(ClickQuietly(::GetDlgItem(page, kMoreInfo)));
    std::string opened = browser.Calls(2);
    EXPECT_NE(opened.find("about:blank\n"), std::string::npos) << opened;
    EXPECT_NE(opened.find("https://www.google.com/search?hl=zh-CN&q=UBsvr.exe&lr=\n"), std::string::npos) << opened;
}

TEST_F(PagesRun, Pages10_ExitStopsTheService) {
    s_dllHost.reset();
    ::PostMessageA(s_client.frame, WM_COMMAND, kAppExit, 0);
    ASSERT_TRUE(AnswerExit(s_client, IDYES));
    EXPECT_EQ(::WaitForSingleObject(s_client.pi.hProcess, wine::kWaitLimitMs), WAIT_OBJECT_0);
    EXPECT_TRUE(PollUntil([] { return ServiceState() == SERVICE_STOPPED; }));
}

}  // namespace
}  // namespace ub
