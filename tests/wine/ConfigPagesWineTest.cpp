// The overview, system information and configuration pages of UBclient.exe
// run for real beside the real service: an overview page's skip box and
// jump choices stored in the real registry and taking effect at the next
// start, "TitleSkip" choosing the node after start-up, the system
// information page, the configuration page's speeds (the service's
// written into the channel at once), tree order and start hidden, and the
// file search dialog. The steps build on each other and run in order.
// Screenshots are saved for a person to look at.
#include "tests/wine/ClientRun.h"
#include "tests/wine/StandInBrowser.h"

namespace ub {
namespace {

using namespace clienttest;

constexpr int kDetailTab = 2002;
constexpr int kSettingTab = 2004;
constexpr WORD kViewSearch = 32779;
constexpr int kSearchText = 1063;
constexpr int kSearchOk = 2221;
constexpr int kSearchCancel = 2222;

int32_t StoredSetting(const char* name) {
    CWin32SettingsRegistry registry;
    int32_t value = -12345;
    if (registry.Open() == 0) {
        registry.QueryDword(name, &value);
        registry.Close();
    }
    return value;
}

void StoreSetting(const char* name, int32_t value) {
    CWin32SettingsRegistry registry;
    if (registry.Open() != 0) return;
    registry.SetDword(name, value);
    registry.Close();
}

// The ids of the controls 2021 to 2032 that are on show.
std::vector<int> ShownBoxes(HWND page, int first, int last) {
    std::vector<int> ids;
    for (int id = first; id <= last; ++id)
        if (::IsWindowVisible(::GetDlgItem(page, id))) ids.push_back(id);
    return ids;
}

std::string ControlText(HWND page, int id) {
    char text[1024] = "";
    ::SendMessageA(::GetDlgItem(page, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

class ConfigRun : public ClientRun {
protected:
    static void TearDownTestSuite() {
        ClientRun::TearDownTestSuite();
        // The other client tests expect every group to open on its overview.
        for (const char* name : {"ModSkip", "TitleSkip", "TreeSort", "AutoMin"}) StoreSetting(name, 0);
        StoreSetting("SvrSpeed", 2);
    }
    static HTREEITEM Processes() { return s_tree.Child(s_tree.Root(), "Processes"); }
    static HWND ShowTab(HTREEITEM node, int tab, int control) {
        s_tree.Select(s_tree.Root());
        s_tree.Select(node);
        Click(::GetDlgItem(Header(), tab));
        return VisiblePageWith(control);
    }
    static ::testing::AssertionResult Start() {
        if (!StartClient(s_client)) return ::testing::AssertionFailure() << "no main frame";
        if (!s_tree.Attach(Tree())) return ::testing::AssertionFailure() << "no tree";
        if (!PollUntil([] { return s_tree.Child(Processes(), "fixture_rpm.exe") != nullptr; }))
            return ::testing::AssertionFailure() << "no first snapshot";
        if (!PollUntil([] { return FindClientBox(s_client.pi.dwProcessId, 2230) == nullptr; }))
            return ::testing::AssertionFailure() << "the wait dialog stayed";
        return ::testing::AssertionSuccess();
    }
    static ::testing::AssertionResult Exit() {
        ::PostMessageA(s_client.frame, WM_COMMAND, kAppExit, 0);
        if (!AnswerExit(s_client, IDYES)) return ::testing::AssertionFailure() << "no exit question";
        if (::WaitForSingleObject(s_client.pi.hProcess, wine::kWaitLimitMs) != WAIT_OBJECT_0)
            return ::testing::AssertionFailure() << "the client did not end";
        StopClient(s_client);
        return ::testing::AssertionSuccess();
    }
    // The search dialog of View "&Seach...", run modally by the client: found
    // by its edit box once the posted command has opened it and shown it
    // (after its initialisation).
    static HWND OpenSearch() {
        ::PostMessageA(s_client.frame, WM_COMMAND, kViewSearch, 0);
        HWND dialog = nullptr;
        PollUntil([&] {
            dialog = FindClientBox(s_client.pi.dwProcessId, kSearchText);
            return dialog && ::IsWindowVisible(dialog);
        });
        return dialog;
    }
    static void SetSearchText(HWND dialog, const char* text) {
        ::SendMessageA(::GetDlgItem(dialog, kSearchText), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    // A key posted to the edit box goes through the dialog's own loop, as typed.
    static void PostKey(HWND dialog, WPARAM key) {
        ::PostMessageA(::GetDlgItem(dialog, kSearchText), WM_KEYDOWN, key, 0);
    }
    // The process nodes that have a module node of this name, in tree order.
    static std::vector<HTREEITEM> ProcessesLoading(const char* module) {
        std::vector<HTREEITEM> loaders;
        for (HTREEITEM p : s_tree.Children(Processes()))
            if (s_tree.Child(p, module)) loaders.push_back(p);
        return loaders;
    }
    // The selected node's text, and its parent's.
    static std::string SelectedPlace() {
        HTREEITEM selected = s_tree.Selected();
        return s_tree.Text(s_tree.Parent(selected)) + "/" + s_tree.Text(selected);
    }
};

TEST_F(ConfigRun, Config01_ClientStarts) {
    StoreSetting("ModSkip", 0);
    StoreSetting("TreeSort", 0);
    ASSERT_TRUE(Start());
    EXPECT_EQ(s_tree.Selected(), s_tree.Root()) << "TitleSkip 0";
}

TEST_F(ConfigRun, Config02_OverviewSkipBoxAndChoicesAreStored) {
    HTREEITEM rpm = s_tree.Child(Processes(), "fixture_rpm.exe");
    ASSERT_NE(rpm, nullptr);
    s_tree.Select(s_tree.Root());
    s_tree.Select(rpm);
    HWND page = VisiblePageWith(2032);  // the process group's overview has three choices
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(VisiblePage(), "PsWel");
    EXPECT_EQ(ShownBoxes(page, 2021, 2032), (std::vector<int>{2021, 2029}));
    Screenshot("21-overview-off");

    // Ticking the skip box ticks "ToList" and offers the other two.
    Click(::GetDlgItem(page, 2021));
    EXPECT_EQ(ShownBoxes(page, 2021, 2032), (std::vector<int>{2023, 2024, 2025, 2026, 2029, 2030, 2031, 2032}));
    EXPECT_EQ(StoredSetting("ModSkip"), 1);
    EXPECT_EQ(StoredSetting("ProcSkip"), 0) << "the module group's flag is another one";
    Click(::GetDlgItem(page, 2023));  // "ToDetail"
    EXPECT_EQ(ShownBoxes(page, 2021, 2032), (std::vector<int>{2022, 2024, 2025, 2027, 2029, 2030, 2031, 2032}));
    EXPECT_EQ(StoredSetting("ModSkip"), 2);
    Screenshot("22-overview-on");
    // The ticked box of the current choice does nothing.
    Click(::GetDlgItem(page, 2027));
    EXPECT_EQ(StoredSetting("ModSkip"), 2);
    // This run's process group still opens on its overview.
    s_tree.Select(s_tree.Root());
    s_tree.Select(rpm);
    EXPECT_EQ(VisiblePage(), "PsWel");
}

TEST_F(ConfigRun, Config03_SystemInformation) {
    HWND page = ShowTab(Processes(), kDetailTab, 1050);
    ASSERT_NE(page, nullptr);
    char name[1024] = "", windows[1024] = "", system[1024] = "";
    DWORD size = sizeof name;
    ::GetComputerNameA(name, &size);
    ::GetWindowsDirectoryA(windows, sizeof windows);
    ::GetSystemDirectoryA(system, sizeof system);
    EXPECT_EQ(ControlText(page, 1050), name);
    EXPECT_EQ(ControlText(page, 1052), windows);
    EXPECT_EQ(ControlText(page, 1053), system);
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(::GetVersionExA(&v));
    std::string os = ControlText(page, 1051);
    EXPECT_EQ(os.rfind("Microsoft Win", 0), 0u) << os;
    EXPECT_TRUE(wine::EndsWithNoCase(os, v.szCSDVersion)) << os;
    for (int id = 1050; id <= 1053; ++id)
        EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(page, id), GWL_STYLE) & ES_READONLY) << id;
    Screenshot("23-system-info");
}

TEST_F(ConfigRun, Config03b_OnlineOpensTheHomePage) {
    wine::CStandInBrowser browser;
    ASSERT_TRUE(browser.Ready());
    s_tree.Select(s_tree.Child(s_tree.Root(), "Infomation"));
    HWND page = VisiblePageWith(2088);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(VisiblePage(), "InfoWel");
    Screenshot("25-information");
    Click(::GetDlgItem(page, 2088));
    std::string opened = browser.Calls(2);
    EXPECT_NE(opened.find("about:blank\n"), std::string::npos) << opened;
    EXPECT_NE(opened.find("https://umbrastead.org/\n"), std::string::npos) << opened;
}

TEST_F(ConfigRun, Config04_ConfigurationPage) {
    HWND page = ShowTab(s_tree.Child(s_tree.Child(s_tree.Root(), "Configure"), "Standard"), kSettingTab, 2100);
    ASSERT_NE(page, nullptr);
    // SvrSpeed 2, CliSpeed 2 (set for the run), TreeSort 0, AutoMin 0.
    EXPECT_EQ(ShownBoxes(page, 2104, 2109), (std::vector<int>{2104, 2105, 2109}));
    EXPECT_EQ(ShownBoxes(page, 2114, 2119), (std::vector<int>{2114, 2115, 2119}));
    EXPECT_EQ(ShownBoxes(page, 2131, 2136), (std::vector<int>{2132, 2133, 2134}));
    EXPECT_EQ(ShownBoxes(page, 2120, 2129), std::vector<int>{}) << "WarnSet and AutoDel are never shown";
    EXPECT_EQ(ShownBoxes(page, 2140, 2141), std::vector<int>{2140});
    Screenshot("24-configuration");

    // "Slow" for the service: stored, and delay code 1 in the header at once.
    const int32_t warnSet = StoredSetting("WarnSet"), autoDel = StoredSetting("AutoDel");
    CWin32Channel channel;
    ASSERT_TRUE(channel.OpenChannel());
    Click(::GetDlgItem(page, 2104));
    EXPECT_EQ(StoredSetting("SvrSpeed"), 0);
    EXPECT_EQ(channel.Block().DelayCode(), 1u);
    EXPECT_EQ(channel.Block().PaceCode(), 0u);
    EXPECT_EQ(ShownBoxes(page, 2104, 2109), (std::vector<int>{2105, 2106, 2107}));
    Click(::GetDlgItem(page, 2106));
    EXPECT_EQ(channel.Block().DelayCode(), 3u);
    channel.CloseChannel();

    // "ByPid": the process nodes in PID order at once. Their PIDs are read
    // from the all-processes list of the same tables.
    Click(::GetDlgItem(page, 2132));
    EXPECT_EQ(StoredSetting("TreeSort"), 1);
    std::vector<std::string> order = s_tree.ChildTexts(Processes());
    HWND list = ShowTab(Processes(), kListTab, 1000);
    ASSERT_NE(list, nullptr);
    CRemoteList rows;
    ASSERT_TRUE(rows.Attach(::GetDlgItem(list, 1000)));
    ASSERT_TRUE(PollUntil([&] { return rows.Count() > 0; }));
    std::vector<std::pair<long, std::string>> byPid;
    for (const auto& cells : rows.AllRows()) byPid.emplace_back(std::stol(cells[2]), cells[0]);
    std::sort(byPid.begin(), byPid.end());
    std::vector<std::string> expected;
    for (const auto& p : byPid) expected.push_back(p.second);
    EXPECT_EQ(order, expected);

    // AutoMin twice: stored 1, then 0.
    page = ShowTab(s_tree.Child(s_tree.Child(s_tree.Root(), "Configure"), "Standard"), kSettingTab, 2100);
    ASSERT_NE(page, nullptr);
    Click(::GetDlgItem(page, 2140));
    EXPECT_EQ(StoredSetting("AutoMin"), 1);
    EXPECT_EQ(ShownBoxes(page, 2140, 2141), std::vector<int>{2141});
    Click(::GetDlgItem(page, 2141));
    EXPECT_EQ(StoredSetting("AutoMin"), 0);
    EXPECT_EQ(StoredSetting("WarnSet"), warnSet);
    EXPECT_EQ(StoredSetting("AutoDel"), autoDel);
}

TEST_F(ConfigRun, Config04b_SearchDialog) {
    HWND dialog = OpenSearch();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), "Search");
    RECT window{};
    ::GetWindowRect(dialog, &window);
    EXPECT_EQ(window.right - window.left, 400);
    EXPECT_EQ(window.bottom - window.top, 180);
    const struct {
        int id;
        RECT at;  // in the dialog's client area
    } placed[] = {{2220, {15, 15, 359, 61}}, {1063, {45, 75, 345, 98}}, {2221, {225, 113, 267, 134}},
                  {2222, {291, 111, 345, 134}}};
    for (const auto& c : placed) {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(dialog, c.id), &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(::EqualRect(&r, &c.at)) << c.id << ": " << r.left << "," << r.top << "," << r.right << ","
                                            << r.bottom;
    }
    HWND ok = ::GetDlgItem(dialog, kSearchOk);

    // kernel32.dll under every process that loads it, one per press, in the
    // order of the process nodes; a change of letter case and blanks is the
    // same search, and Enter presses too.
    std::vector<HTREEITEM> loaders = ProcessesLoading("kernel32.dll");
    ASSERT_GE(loaders.size(), 3u) << "the fixtures, the service and the client at least";
    SetSearchText(dialog, "kernel32.dll");
    for (size_t k = 0; k < loaders.size(); ++k) {
        if (k == 1) SetSearchText(dialog, "  KERNEL32.dll ");
        if (k == 2) {
            PostKey(dialog, VK_RETURN);
            EXPECT_TRUE(PollUntil([&] { return s_tree.Parent(s_tree.Selected()) == loaders[k]; }));
        } else {
            ASSERT_TRUE(ClickQuietly(ok)) << k;
        }
        EXPECT_EQ(s_tree.Parent(s_tree.Selected()), loaders[k]) << k << ": " << SelectedPlace();
        EXPECT_EQ(s_tree.Text(s_tree.Selected()), "kernel32.dll");
        if (k == 0) {
            EXPECT_EQ(VisiblePage(), "ModWel") << "the page group of a module";
            Screenshot("26-search");
        }
    }
    // Then no more, in a box of the dialog; then from the first process again.
    ClickAsync(ok);
    HWND box = nullptr;
    ASSERT_TRUE(PollUntil([&] { return (box = FindClientBox(s_client.pi.dwProcessId, 0xFFFF)) != nullptr; }));
    EXPECT_EQ(::GetWindow(box, GW_OWNER), dialog);
    ASSERT_TRUE(AnswerBox("No more files are found.", kOkBox, IDOK));
    ASSERT_TRUE(ClickQuietly(ok));
    EXPECT_EQ(s_tree.Parent(s_tree.Selected()), loaders[0]) << SelectedPlace();

    // A full path; then Escape closes the dialog.
    SetSearchText(dialog, RpmPath().c_str());
    ASSERT_TRUE(ClickQuietly(ok));
    EXPECT_EQ(SelectedPlace(), "fixture_rpm.exe/fixture_rpm.exe");
    PostKey(dialog, VK_ESCAPE);
    EXPECT_TRUE(PollUntil([&] { return !::IsWindow(dialog); }));

    // Opened again, it starts at the top; its Cancel picture closes it.
    dialog = OpenSearch();
    ASSERT_NE(dialog, nullptr);
    SetSearchText(dialog, "kernel32.dll");
    ASSERT_TRUE(ClickQuietly(::GetDlgItem(dialog, kSearchOk)));
    EXPECT_EQ(s_tree.Parent(s_tree.Selected()), ProcessesLoading("kernel32.dll")[0]) << SelectedPlace();
    ASSERT_TRUE(ClickQuietly(::GetDlgItem(dialog, kSearchCancel)));
    EXPECT_TRUE(PollUntil([&] { return !::IsWindow(dialog); }));
}

TEST_F(ConfigRun, Config05_ChoicesTakeEffectAtTheNextStart) {
    ASSERT_TRUE(Exit());
    StoreSetting("TitleSkip", 2);
    ASSERT_TRUE(Start());
    // "TitleSkip" 2: "Processes" selected after the first snapshot.
    EXPECT_TRUE(PollUntil([] { return s_tree.Selected() == Processes(); }));
    // "ModSkip" 2: a process opens on its details page, its tab selected.
    HTREEITEM rpm = s_tree.Child(Processes(), "fixture_rpm.exe");
    ASSERT_NE(rpm, nullptr);
    ASSERT_TRUE(s_tree.Select(rpm));
    EXPECT_EQ(VisiblePage(), "FullN");
    EXPECT_EQ(Tabs(), "NNSN-");
    // Its overview page, by the tab, shows the stored choice.
    Click(::GetDlgItem(Header(), 2000));
    HWND page = VisiblePageWith(2032);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ShownBoxes(page, 2021, 2032), (std::vector<int>{2022, 2024, 2025, 2027, 2029, 2030, 2031, 2032}));
    ASSERT_TRUE(Exit());
}

}  // namespace
}  // namespace ub
