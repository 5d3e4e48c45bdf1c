// UBclient.exe run for real beside the real service, inside a virtual
// desktop with a notification area: start-up behind the wait dialog, the
// navigation tree read through window messages (item texts through memory
// in the client's process), the tray alert, page groups and tabs, back
// navigation, the warning, authentic and quarantine list pages with their
// actions (trusting a module, across a restart too, quarantining and
// recovering a DLL file, a file in use), the close box, the exit question
// answered No and Yes, a second copy, and a start hidden. The steps build on
// each other and run in order.
// Screenshots of the desktop are saved for a person to look at.
#include "tests/wine/ClientRun.h"

namespace ub {
namespace {

using namespace clienttest;

TEST_F(ClientRun, Step01_StartsTheServiceAndWaitsForTheFirstSnapshot) {
    ASSERT_TRUE(StartClient(s_client)) << "no main frame";
    EXPECT_TRUE(::IsWindowVisible(s_client.frame));
    EXPECT_EQ(WindowText(s_client.frame), "Umbrastead");
    EXPECT_TRUE(PollUntil([] { return ServiceState() == SERVICE_RUNNING; })) << "Sc.exe start did not start it";
    // The wait dialog comes up, and goes once the first snapshot is in.
    HWND wait = nullptr;
    PollUntil([&] { return (wait = FindClientBox(s_client.pi.dwProcessId, 2230)) != nullptr; }, 10000);
    EXPECT_TRUE(PollUntil([] { return FindClientBox(s_client.pi.dwProcessId, 2230) == nullptr; }))
        << "the wait dialog stayed";
    ASSERT_TRUE(s_tree.Attach(Tree()));
    EXPECT_TRUE(TrayIconExists(s_client.frame));

    // The Run value names the client, quoted.
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    HKEY run = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_READ,
                              &run),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegQueryValueExA(run, "Umbrastead", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    ::RegCloseKey(run);
    EXPECT_EQ(std::string(value), "\"" + BinFolder() + "UBclient.exe\"");
}

TEST_F(ClientRun, Step02_FixedNodesWarningsAndProcesses) {
    HTREEITEM root = s_tree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(s_tree.Text(root), "Umbrastead");
    EXPECT_EQ(s_tree.Next(root, TVGN_NEXT), nullptr);
    EXPECT_EQ(s_tree.ChildTexts(root), (std::vector<std::string>{"View", "Processes", "Configure", "Infomation"}));
    HTREEITEM view = s_tree.Child(root, "View");
    EXPECT_EQ(s_tree.ChildTexts(view), (std::vector<std::string>{"Warning list", "Authentic", "Quarantine"}));
    EXPECT_EQ(s_tree.ChildTexts(s_tree.Child(root, "Configure")), std::vector<std::string>{"Standard"});
    EXPECT_EQ(s_tree.ChildTexts(s_tree.Child(root, "Infomation")), std::vector<std::string>{"About"});

    HTREEITEM warnings = s_tree.Child(view, "Warning list");
    HTREEITEM processes = s_tree.Child(root, "Processes");
    EXPECT_TRUE(PollUntil([&] { return s_tree.Child(warnings, "fixture_rpm.exe") != nullptr; }))
        << ::testing::PrintToString(s_tree.ChildTexts(warnings));
    EXPECT_EQ(s_tree.Child(warnings, "fixture_clean.exe"), nullptr);
    HTREEITEM rpm = s_tree.Child(processes, "fixture_rpm.exe");
    ASSERT_NE(rpm, nullptr) << ::testing::PrintToString(s_tree.ChildTexts(processes));
    EXPECT_NE(s_tree.Child(rpm, "fixture_rpm.exe"), nullptr) << "its main module under the process";
    EXPECT_NE(s_tree.Child(processes, "fixture_clean.exe"), nullptr);
    EXPECT_NE(s_tree.Child(processes, "UBclient.exe"), nullptr);
    EXPECT_EQ(s_tree.Selected(), root);  // TitleSkip 0
    Screenshot("01-root");
}

TEST_F(ClientRun, Step03_TrayIconBlinksWhileWarningsAreOutstanding) {
    std::vector<LRESULT> phases;
    PollUntil([&] {
        LRESULT p = ::SendMessageA(s_client.frame, kAlertPhaseQuery, 0, 0);
        if (phases.empty() || phases.back() != p) phases.push_back(p);
        return phases.size() >= 4;
    }, 10000, 50);
    ASSERT_GE(phases.size(), 3u) << ::testing::PrintToString(phases);
    for (size_t i = 1; i < phases.size(); ++i) EXPECT_NE(phases[i], 0) << "blinking stopped";
    EXPECT_TRUE(TrayIconExists(s_client.frame));
    // The red cross: caught right after the phase turns to 2.
    PollUntil([] { return ::SendMessageA(s_client.frame, kAlertPhaseQuery, 0, 0) == 1; }, 5000, 10);
    PollUntil([] { return ::SendMessageA(s_client.frame, kAlertPhaseQuery, 0, 0) == 2; }, 5000, 10);
    Screenshot("05-tray-alert", 100);
}

TEST_F(ClientRun, Step04_EachNodeShowsItsPageGroup) {
    HTREEITEM root = s_tree.Root();
    HTREEITEM view = s_tree.Child(root, "View");
    HTREEITEM processes = s_tree.Child(root, "Processes");
    HTREEITEM configure = s_tree.Child(root, "Configure");
    HTREEITEM info = s_tree.Child(root, "Infomation");
    HTREEITEM warnings = s_tree.Child(view, "Warning list");
    HTREEITEM rpm = s_tree.Child(processes, "fixture_rpm.exe");
    ASSERT_NE(rpm, nullptr);
    struct Case {
        HTREEITEM node;
        const char* page;  // the picture that opens the page shown first
        const char* tabs;
        const char* shot;
    } cases[] = {
        {warnings, "WarnWel", "SN---", "02-warning-list"},
        {s_tree.Child(warnings, "fixture_rpm.exe"), "ModWel", "SNN--", nullptr},
        {s_tree.Child(view, "Authentic"), "AuthWel", "SN---", nullptr},
        {s_tree.Child(view, "Quarantine"), "QuarWel", "SN---", nullptr},
        {processes, "AllpsWel", "SNN--", "03-processes"},
        {rpm, "PsWel", "SNNN-", "04-process"},
        {s_tree.Child(rpm, "fixture_rpm.exe"), "ModWel", "SNN--", nullptr},
        {configure, "ConfWel", "S----", nullptr},
        {s_tree.Child(configure, "Standard"), "StandWel", "S---N", nullptr},
        {info, "InfoWel", "S----", nullptr},
        {s_tree.Child(info, "About"), "AboutText", "S----", nullptr},
        {view, "ViewWel", "S----", nullptr},
        {root, "Welcome", "S----", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(s_tree.Text(c.node));
        ASSERT_NE(c.node, nullptr);
        ASSERT_TRUE(s_tree.Select(c.node));
        EXPECT_EQ(VisiblePage(), c.page);
        EXPECT_EQ(Tabs(), c.tabs);
        if (c.shot) Screenshot(c.shot);
    }

    // A tab switches the group's page; the Setting tab of "Standard" shows
    // the configuration sheet.
    ASSERT_TRUE(s_tree.Select(processes));
    Click(::GetDlgItem(Header(), 2001));
    EXPECT_EQ(Tabs(), "NSN--");
    EXPECT_EQ(VisiblePage(), "Kill");  // the process list
    ASSERT_TRUE(s_tree.Select(s_tree.Child(configure, "Standard")));
    Click(::GetDlgItem(Header(), 2004));
    EXPECT_EQ(Tabs(), "N---S");
}

TEST_F(ClientRun, Step04b_MenuCommandsAndKeysThatPagesIgnore) {
    HTREEITEM root = s_tree.Root();
    struct Case {
        WORD command;
        const char* node;
    } cases[] = {{32778, "Processes"}, {32775, "Warning list"}, {32776, "Authentic"}, {32777, "Quarantine"},
                 {32774, "Standard"}, {57664, "About"}};
    for (const Case& c : cases) {
        ::SendMessageA(s_client.frame, WM_COMMAND, c.command, 0);
        EXPECT_EQ(s_tree.Text(s_tree.Selected()), c.node) << c.command;
    }
    (void)root;

    // Enter and Escape leave the page where it is.
    ::SendMessageA(s_client.frame, WM_COMMAND, 32778, 0);
    std::string page = VisiblePage();
    for (HWND c = ::GetWindow(PageFrame(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        if (c == Header() || !::IsWindowVisible(c)) continue;
        ::SendMessageA(c, WM_COMMAND, IDOK, 0);
        ::SendMessageA(c, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(::IsWindowVisible(c));
    }
    EXPECT_EQ(VisiblePage(), page);

    // The search dialog opens modally and closes with its Cancel picture.
    ::PostMessageA(s_client.frame, WM_COMMAND, 32779, 0);
    HWND search = nullptr;
    // Shown only once its initialisation (the skinned pictures) is done.
    ASSERT_TRUE(PollUntil([&] {
        search = FindClientBox(s_client.pi.dwProcessId, 2222);
        return search && ::IsWindowVisible(search);
    }, 10000));
    // A click that meets the picture while it still follows the real
    // pointer's hover is lost now and then: clicked again until it closes.
    EXPECT_TRUE(PollUntil([] {
        HWND open = FindClientBox(s_client.pi.dwProcessId, 2222);
        if (!open) return true;
        Click(::GetDlgItem(open, 2222));
        return false;
    }, 10000, 300));
}

// Keys typed for real (SendInput) reach the page on show: Tab moves
// between its controls, Ctrl+C copies from a read-only edit field, Enter
// and Escape leave the page where it is, F6 still moves to the tree.
TEST_F(ClientRun, Step04c_PageKeys) {
    HTREEITEM processes = s_tree.Child(s_tree.Root(), "Processes");
    ASSERT_TRUE(s_tree.Select(processes));
    Click(::GetDlgItem(Header(), 2002));  // the system information page
    ASSERT_EQ(VisiblePage(), "PcName");
    HWND page = nullptr;
    for (HWND c = ::GetWindow(PageFrame(), GW_CHILD); c && !page; c = ::GetWindow(c, GW_HWNDNEXT))
        if (c != Header() && ::IsWindowVisible(c)) page = c;
    HWND first = ::GetDlgItem(page, 1050), second = ::GetDlgItem(page, 1051);
    ASSERT_TRUE(first && second);
    const char kText[] = "C:\\key test\\copied";
    ::SendMessageA(first, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kText));

    DWORD thread = ::GetWindowThreadProcessId(s_client.frame, nullptr);
    auto focus = [thread] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    };
    auto keys = [](std::initializer_list<std::pair<WORD, bool>> strokes) {
        std::vector<INPUT> in;
        for (auto [vk, down] : strokes) {
            INPUT i{};
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = vk;
            i.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
            in.push_back(i);
        }
        ::SendInput(UINT(in.size()), in.data(), sizeof(INPUT));
    };
    auto press = [&](WORD vk) { keys({{vk, true}, {vk, false}}); };

    // A real click puts the focus into the first edit field.
    ::SetForegroundWindow(s_client.frame);
    RECT r{};
    ::GetWindowRect(first, &r);
    INPUT click[3] = {};
    for (INPUT& i : click) {
        i.type = INPUT_MOUSE;
        i.mi.dx = LONG(((r.left + r.right) / 2) * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1));
        i.mi.dy = LONG(((r.top + r.bottom) / 2) * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    }
    click[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    click[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    // Until the client is in the foreground and the click has landed.
    ASSERT_TRUE(PollUntil([&] {
        if (focus() == first) return true;
        ::SetForegroundWindow(s_client.frame);
        ::SendInput(3, click, sizeof(INPUT));
        return false;
    }, 10000, 300)) << "focus " << focus();

    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    ::SendMessageA(first, EM_SETSEL, 0, -1);
    // The clipboard is opened only once the copy has changed it: held open
    // here, it would make the client's copy fail.
    const DWORD before = ::GetClipboardSequenceNumber();
    keys({{VK_CONTROL, true}, {'C', true}, {'C', false}, {VK_CONTROL, false}});
    EXPECT_TRUE(PollUntil([&] { return ::GetClipboardSequenceNumber() != before; }, 10000)) << "nothing copied";
    std::string copied;
    if (PollUntil([] { return ::OpenClipboard(nullptr) != FALSE; }, 10000)) {
        if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
            if (const char* text = static_cast<const char*>(::GlobalLock(data))) {
                copied = text;
                ::GlobalUnlock(data);
            }
        }
        ::CloseClipboard();
    }
    EXPECT_EQ(copied, kText);

    press(VK_TAB);
    EXPECT_TRUE(PollUntil([&] { return focus() == second; }, 10000)) << "Tab left the focus at " << focus();
    press(VK_RETURN);
    press(VK_ESCAPE);
    press(VK_TAB);  // the keys are handled in order: once this one is, the two before were
    EXPECT_TRUE(PollUntil([&] { return focus() == ::GetDlgItem(page, 1052); }, 10000));
    EXPECT_TRUE(::IsWindowVisible(page));
    EXPECT_EQ(VisiblePage(), "PcName");

    press(VK_F6);
    EXPECT_TRUE(PollUntil([&] { return focus() == Tree(); }, 10000)) << "F6 left the focus at " << focus();
    Click(::GetDlgItem(Header(), 2001));  // back to the process list, as the steps after expect
}

TEST_F(ClientRun, Step05_BackWalksTheHistory) {
    HTREEITEM root = s_tree.Root();
    HTREEITEM processes = s_tree.Child(root, "Processes");
    HTREEITEM about = s_tree.Child(s_tree.Child(root, "Infomation"), "About");
    ASSERT_TRUE(s_tree.Select(processes));
    ASSERT_TRUE(s_tree.Select(about));
    ASSERT_TRUE(s_tree.Select(about));  // again: no new entry
    Click(::GetDlgItem(Header(), 2010));
    EXPECT_EQ(s_tree.Selected(), processes);
    EXPECT_EQ(VisiblePage(), "Kill");  // the group kept the List sheet chosen before
}

TEST_F(ClientRun, Step05c_WarningListPageListsTheWarnings) {
    HTREEITEM warnings = ViewNode("Warning list");
    HTREEITEM rpmNode = s_tree.Child(warnings, "fixture_rpm.exe");
    ASSERT_NE(rpmNode, nullptr);
    HWND page = ShowListPage(warnings, kAuthit);
    EXPECT_EQ(Tabs(), "NS---");
    EXPECT_EQ(VisiblePage(), "Authit");
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kListId)));
    EXPECT_EQ(::GetWindowLongA(list.Window(), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_EQ(list.ExtendedStyle(), DWORD(LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.SmallImages(), s_tree.Images()) << "the rows' icons are the tree's";
    ExpectColumns(list, {{"ModName", 120}, {"Warning Level", 100}, {"FullName", 240}, {"Warning No.", 0}});

    Rows rows = list.AllRows();
    int row = list.Find("fixture_rpm.exe");
    ASSERT_GE(row, 0) << ::testing::PrintToString(rows);
    EXPECT_EQ(rows[row][1], "Mid");
    EXPECT_TRUE(EqualsNoCase(rows[row][2], RpmPath())) << rows[row][2];
    EXPECT_EQ(rows[row][3], "0x00000800");
    s_rpmWarningImage = s_tree.Image(rpmNode);
    EXPECT_EQ(list.Image(row), s_rpmWarningImage);

    // Exactly the modules under "Warning list", each with the level of its
    // flags and its base name at the end of its path, by name.
    std::vector<std::string> names = s_tree.ChildTexts(warnings);
    EXPECT_EQ(rows.size(), names.size()) << ::testing::PrintToString(names);
    for (const auto& cells : rows) {
        SCOPED_TRACE(cells[0]);
        ASSERT_EQ(cells.size(), 4u);
        EXPECT_NE(std::find(names.begin(), names.end(), cells[0]), names.end());
        EXPECT_TRUE(wine::EndsWithNoCase(cells[2], "\\" + cells[0])) << cells[2];
        unsigned flags = 0;
        char again[16] = "";
        ASSERT_EQ(std::sscanf(cells[3].c_str(), "0x%8X", &flags), 1) << cells[3];
        std::snprintf(again, sizeof again, "0x%08X", flags);
        EXPECT_EQ(cells[3], again);
        EXPECT_EQ(cells[1], LevelText(flags));
    }
    EXPECT_TRUE(OrderedBy(rows, 0, false)) << ::testing::PrintToString(rows);

    // A heading click flips the direction whichever column it is on; four
    // clicks bring back the name order.
    struct Case {
        int column;     // clicked
        int sortedBy;   // column the rows are then ordered by
        bool descending;
    } clicks[] = {{2, 2, true}, {2, 2, false}, {2, 2, true}, {0, 0, false}};
    for (const Case& c : clicks) {
        list.ClickHeading(c.column);
        Rows sorted = list.AllRows();
        EXPECT_EQ(sorted.size(), rows.size());
        EXPECT_TRUE(OrderedBy(sorted, c.sortedBy, c.descending))
            << "column " << c.column << ": " << ::testing::PrintToString(sorted);
    }

    // A real double click on the row opens the module's node; going back
    // selects the row again.
    row = list.Find("fixture_rpm.exe");
    RECT r{};
    ASSERT_TRUE(list.ItemRect(row, &r));
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(list.Window(), &at);
    INPUT doubleClick[5] = {};
    for (INPUT& i : doubleClick) {
        i.type = INPUT_MOUSE;
        i.mi.dx = LONG(at.x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1));
        i.mi.dy = LONG(at.y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1));
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    doubleClick[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    doubleClick[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    doubleClick[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    doubleClick[3].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    doubleClick[4].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    // Until the client is in the foreground and the double click has landed.
    EXPECT_TRUE(PollUntil([&] {
        if (s_tree.Selected() == rpmNode) return true;
        ::SetForegroundWindow(s_client.frame);
        ::SendInput(5, doubleClick, sizeof(INPUT));
        return false;
    }, 10000, 1000)) << "the double click did not open the module's node";
    EXPECT_EQ(VisiblePage(), "ModWel");
    Click(::GetDlgItem(Header(), 2010));
    EXPECT_EQ(s_tree.Selected(), warnings);
    EXPECT_TRUE(::IsWindowVisible(page));
    EXPECT_EQ(list.SelectedCount(), 1);
    int selected = list.FirstSelected();
    EXPECT_EQ(selected >= 0 ? list.Cell(selected, 0) : "", "fixture_rpm.exe");
}

TEST_F(ClientRun, Step05d_AuthitTrustsTheSelectedModules) {
    HTREEITEM warnings = ViewNode("Warning list");
    HTREEITEM authentic = ViewNode("Authentic");
    HWND page = ShowListPage(warnings, kAuthit);
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kListId)));
    const int before = list.Count();
    int row = list.Find("fixture_rpm.exe");
    ASSERT_GE(row, 0);
    ASSERT_TRUE(list.SelectOnly(row));
    EXPECT_EQ(list.SelectedCount(), 1);

    const uint64_t t0 = Now();
    ASSERT_TRUE(ClickQuietly(::GetDlgItem(page, kAuthit)));
    const uint64_t t1 = Now();
    EXPECT_EQ(list.Find("fixture_rpm.exe"), -1);
    EXPECT_EQ(list.Count(), before - 1);
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_EQ(s_tree.Child(warnings, "fixture_rpm.exe"), nullptr);
    EXPECT_NE(s_tree.Child(authentic, "fixture_rpm.exe"), nullptr) << ::testing::PrintToString(s_tree.ChildTexts(authentic));
    {
        ArchiveFile archive = ReadArchive();
        EXPECT_EQ(int(archive.load), int(ArchiveLoad::Loaded));
        ASSERT_EQ(archive.authentic.size(), 1u);
        const AuthenticEntry& e = *archive.authentic[0];
        EXPECT_EQ(e.name, "fixture_rpm.exe");
        EXPECT_TRUE(EqualsNoCase(e.path, RpmPath())) << e.path;
        EXPECT_EQ(e.reserved, 0u);
        EXPECT_GE(ToU64(e.time), t0);
        EXPECT_LE(ToU64(e.time), t1);
        EXPECT_TRUE(archive.quarantine.empty());
    }

    // All the others at once: "Warning list" left empty stops the alert.
    Rows rest = list.AllRows();
    ASSERT_TRUE(list.SelectAll());
    EXPECT_EQ(list.SelectedCount(), int(rest.size()));
    ASSERT_TRUE(ClickQuietly(::GetDlgItem(page, kAuthit)));
    LRESULT phase = AlertPhase();
    EXPECT_EQ(list.Count(), 0) << ::testing::PrintToString(list.AllRows());
    std::vector<std::string> left = s_tree.ChildTexts(warnings);
    for (const auto& cells : rest)
        EXPECT_EQ(std::find(left.begin(), left.end(), cells[0]), left.end()) << cells[0] << " still under Warning list";
    if (left.empty()) {
        EXPECT_EQ(phase, 0) << "the alert goes on with no warning left";
    }

    ArchiveFile archive = ReadArchive();
    EXPECT_EQ(archive.authentic.size(), rest.size() + 1);
    for (const auto& cells : rest) EXPECT_NE(archive.Trusted(cells[2]), nullptr) << cells[2];
    std::vector<std::string> trusted = s_tree.ChildTexts(authentic);
    EXPECT_EQ(trusted.size(), archive.authentic.size());
    EXPECT_TRUE(std::is_sorted(trusted.begin(), trusted.end(), [](const std::string& a, const std::string& b) {
        return CompareIgnoreCase(a.c_str(), b.c_str()) < 0;
    })) << ::testing::PrintToString(trusted);
}

TEST_F(ClientRun, Step05e_TrustOutlivesARestart) {
    ::PostMessageA(s_client.frame, WM_COMMAND, kAppExit, 0);
    ASSERT_TRUE(AnswerExit(s_client, IDYES));
    ASSERT_EQ(::WaitForSingleObject(s_client.pi.hProcess, 30000), WAIT_OBJECT_0) << "the client did not end";
    ASSERT_TRUE(PollUntil([] { return ServiceState() == SERVICE_STOPPED; }));
    StopClient(s_client);

    ASSERT_TRUE(StartClient(s_client)) << "no main frame";
    EXPECT_TRUE(PollUntil([] { return ServiceState() == SERVICE_RUNNING; })) << "the client did not start it";
    ASSERT_TRUE(s_tree.Attach(Tree()));
    // The first snapshot is in when the processes are and the wait dialog
    // has gone.
    ASSERT_TRUE(PollUntil([] {
        HTREEITEM processes = s_tree.Child(s_tree.Root(), "Processes");
        return processes && s_tree.Child(processes, "fixture_rpm.exe") &&
               !FindClientBox(s_client.pi.dwProcessId, 2230);
    }));
    LRESULT phase = AlertPhase();
    HTREEITEM warnings = ViewNode("Warning list");
    HTREEITEM authentic = ViewNode("Authentic");
    EXPECT_NE(s_tree.Child(authentic, "fixture_rpm.exe"), nullptr) << ::testing::PrintToString(s_tree.ChildTexts(authentic));
    EXPECT_EQ(s_tree.Child(warnings, "fixture_rpm.exe"), nullptr);
    ArchiveFile archive = ReadArchive();
    EXPECT_EQ(s_tree.Children(authentic).size(), archive.authentic.size());
    std::vector<std::string> left = s_tree.ChildTexts(warnings);
    for (const auto& e : archive.authentic)
        EXPECT_EQ(std::find(left.begin(), left.end(), e->name), left.end()) << e->path << " is warned about again";
    if (left.empty()) {
        EXPECT_EQ(phase, 0);
    }
}

TEST_F(ClientRun, Step05f_CleanPutsTheModuleBackUnderWarnings) {
    HTREEITEM warnings = ViewNode("Warning list");
    HTREEITEM authentic = ViewNode("Authentic");
    HTREEITEM rpmNode = s_tree.Child(authentic, "fixture_rpm.exe");
    ASSERT_NE(rpmNode, nullptr);
    HWND page = ShowListPage(authentic, kClean);
    EXPECT_EQ(Tabs(), "NS---");
    EXPECT_EQ(VisiblePage(), "Clean");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(::GetDlgItem(page, kRecover), nullptr) << "the quarantine page instead";
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kListId)));
    EXPECT_EQ(list.ExtendedStyle(), DWORD(LVS_EX_FULLROWSELECT));
    EXPECT_EQ(list.SmallImages(), s_tree.Images());
    ExpectColumns(list, {{"ModName", 120}, {"FullName", 240}, {"Date", 120}});

    ArchiveFile before = ReadArchive();
    const AuthenticEntry* entry = before.Trusted(RpmPath());
    ASSERT_NE(entry, nullptr);
    Rows rows = list.AllRows();
    EXPECT_EQ(rows.size(), before.authentic.size());
    EXPECT_TRUE(OrderedBy(rows, 0, false)) << ::testing::PrintToString(rows);
    int row = list.Find("fixture_rpm.exe");
    ASSERT_GE(row, 0) << ::testing::PrintToString(rows);
    EXPECT_EQ(rows[row], (std::vector<std::string>{entry->name, entry->path, DateText(entry->time)}));
    EXPECT_EQ(list.Image(row), s_tree.Image(rpmNode));
    Screenshot("07-authentic-page");

    // Back under "Warning list" with its level icon at once; the alert
    // waits for the next refresh.
    ASSERT_TRUE(list.SelectOnly(row));
    const bool quiet = s_tree.Children(warnings).empty() && AlertPhase() == 0;
    // No refresh may merge anything between the click and the look at the
    // alert: the sync mutex is held while the last publication is consumed,
    // so the service cannot publish and the client's refreshes find nothing.
    CWin32Channel channel;
    ASSERT_TRUE(channel.OpenChannel());
    ASSERT_TRUE(PollUntil([&] {
        if (!channel.Lock().Acquire()) return false;
        if (channel.Block().State() == CS_CONSUMED) return true;
        channel.Lock().Release();
        return false;
    })) << "the client did not consume the last publication";
    const bool clicked = ClickQuietly(::GetDlgItem(page, kClean));
    LRESULT phase = AlertPhase();
    channel.Lock().Release();
    ASSERT_TRUE(clicked);
    if (quiet) {
        EXPECT_EQ(phase, 0) << "the operation started the alert";
    }
    HTREEITEM back = s_tree.Child(warnings, "fixture_rpm.exe");
    ASSERT_NE(back, nullptr) << ::testing::PrintToString(s_tree.ChildTexts(warnings));
    EXPECT_EQ(s_tree.Image(back), s_rpmWarningImage);
    EXPECT_EQ(s_tree.Child(authentic, "fixture_rpm.exe"), nullptr);
    EXPECT_EQ(list.Find("fixture_rpm.exe"), -1);
    EXPECT_EQ(list.Count(), int(before.authentic.size()) - 1);
    ArchiveFile after = ReadArchive();
    EXPECT_EQ(after.Trusted(RpmPath()), nullptr);
    EXPECT_EQ(after.authentic.size(), before.authentic.size() - 1);
    EXPECT_TRUE(PollUntil([] { return AlertPhase() != 0; })) << "the refresh did not start the alert";
}

TEST_F(ClientRun, Step05g_QuarantineMovesAFreedDllAndRecoverPutsItBack) {
    const std::string name = "ubq_moved.dll";
    const std::string path = s_dllFolder + name;
    const std::string backup = name + ".ubbak";
    const std::string stored = QuarantineFolder() + backup;
    ASSERT_TRUE(::CopyFileA((BinFolder() + "fixture_rpm_dll.dll").c_str(), path.c_str(), FALSE));
    const std::string bytes = FileBytes(path);
    ASSERT_FALSE(bytes.empty());
    HTREEITEM warnings = ViewNode("Warning list");
    {
        CDllHost host;
        ASSERT_TRUE(host.Load(path));
        ASSERT_TRUE(PollUntil([&] { return s_tree.Child(warnings, name) != nullptr; }))
            << ::testing::PrintToString(s_tree.ChildTexts(warnings));
        ASSERT_TRUE(host.Free());
    }

    HWND page = ShowListPage(warnings, kAuthit);
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kListId)));
    int row = list.Find(name);
    ASSERT_GE(row, 0) << ::testing::PrintToString(list.AllRows());
    std::vector<std::string> cells = list.Row(row);
    EXPECT_EQ(cells[1], "Mid");
    EXPECT_TRUE(EqualsNoCase(cells[2], path)) << cells[2];
    EXPECT_EQ(cells[3], "0x00000800");
    ASSERT_TRUE(list.SelectOnly(row));
    const uint64_t t0 = Now();
    ASSERT_TRUE(ClickQuietly(::GetDlgItem(page, kQuarit)));
    const uint64_t t1 = Now();
    EXPECT_FALSE(FileExists(path)) << "still at its place";
    EXPECT_FALSE(FileExists(s_dllFolder + backup)) << "renamed in place";
    EXPECT_EQ(FileBytes(stored), bytes) << stored;
    EXPECT_EQ(s_tree.Child(warnings, name), nullptr);
    EXPECT_EQ(list.Find(name), -1);
    ArchiveFile archive = ReadArchive();
    const QuarantineEntry* entry = archive.Quarantined(path);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(archive.quarantine.size(), 1u);
    EXPECT_EQ(entry->status, QS_QUAR);
    EXPECT_EQ(entry->backupName, backup);
    EXPECT_GE(ToU64(entry->time), t0);
    EXPECT_LE(ToU64(entry->time), t1);
    const FileTime when = entry->time;
    const std::string original = entry->originalPath;

    page = ShowListPage(ViewNode("Quarantine"), kRecover);
    EXPECT_EQ(Tabs(), "NS---");
    EXPECT_EQ(VisiblePage(), "Recover");
    ASSERT_NE(page, nullptr);
    CRemoteList quar;
    ASSERT_TRUE(quar.Attach(::GetDlgItem(page, kListId)));
    EXPECT_EQ(quar.ExtendedStyle(), DWORD(LVS_EX_FULLROWSELECT));
    EXPECT_EQ(quar.SmallImages(), nullptr) << "its rows have no icons";
    ExpectColumns(quar, {{"ModName", 120}, {"Original Path", 240}, {"Date", 120}, {"Status", 60}});
    ASSERT_EQ(quar.Count(), 1);
    EXPECT_EQ(quar.Row(0), (std::vector<std::string>{backup, original, DateText(when), "Quar"}));
    Screenshot("08-quarantine-page");

    // Recover: asked, answered Yes; the file is back and so is its warning.
    ASSERT_TRUE(quar.SelectOnly(0));
    ClickAsync(::GetDlgItem(page, kRecover));
    ASSERT_TRUE(AnswerBox("Do you want recover " + backup + " to orignal path?", kYesNoBox, IDYES));
    EXPECT_TRUE(PollUntil([&] { return quar.Cell(0, 3) == "Recovered"; })) << ::testing::PrintToString(quar.AllRows());
    ASSERT_TRUE(SyncWithClient());
    EXPECT_TRUE(NoBox());
    EXPECT_EQ(FileBytes(path), bytes);
    EXPECT_FALSE(FileExists(stored));
    EXPECT_EQ(quar.Row(0), (std::vector<std::string>{backup, original, DateText(when), "Recovered"}));
    EXPECT_NE(s_tree.Child(warnings, name), nullptr) << "not warned about again";
    archive = ReadArchive();
    ASSERT_EQ(archive.quarantine.size(), 1u);
    EXPECT_EQ(archive.quarantine[0]->status, QS_RECOVERED);
    EXPECT_EQ(ToU64(archive.quarantine[0]->time), ToU64(when)) << "recovering keeps the time";

    // "CleanHis": No keeps the finished entry, Yes drops it.
    struct Case {
        int answer;
        int rowsLeft;
    } answers[] = {{IDNO, 1}, {IDYES, 0}};
    for (const Case& c : answers) {
        SCOPED_TRACE(c.answer == IDYES ? "Yes" : "No");
        ClickAsync(::GetDlgItem(page, kCleanHistory));
        ASSERT_TRUE(AnswerBox("All of files which status of are Cleaned, Recovered and Unknown will be deleted.",
                              kYesNoBox, c.answer));
        EXPECT_TRUE(PollUntil([&] { return quar.Count() == c.rowsLeft; }));
        ASSERT_TRUE(SyncWithClient());
        EXPECT_TRUE(NoBox());
        EXPECT_EQ(quar.Count(), c.rowsLeft);
        EXPECT_EQ(int(ReadArchive().quarantine.size()), c.rowsLeft);
    }
    EXPECT_EQ(FileBytes(path), bytes) << "the history holds no files";
}

TEST_F(ClientRun, Step05h_AFileInUseIsNotQuarantined) {
    const std::string name = "ubq_held.dll";
    const std::string path = s_dllFolder + name;
    const std::string backup = name + ".ubbak";
    ASSERT_TRUE(::CopyFileA((BinFolder() + "fixture_rpm_dll.dll").c_str(), path.c_str(), FALSE));
    HTREEITEM warnings = ViewNode("Warning list");
    {
        CDllHost host;
        ASSERT_TRUE(host.Load(path));
        ASSERT_TRUE(PollUntil([&] { return s_tree.Child(warnings, name) != nullptr; }))
            << ::testing::PrintToString(s_tree.ChildTexts(warnings));
        ASSERT_TRUE(host.Free());
    }
    // Open without delete sharing: it can be copied, but neither deleted
    // nor renamed.
    HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    HWND page = ShowListPage(warnings, kAuthit);
    ASSERT_NE(page, nullptr);
    CRemoteList list;
    ASSERT_TRUE(list.Attach(::GetDlgItem(page, kListId)));
    int row = list.Find(name);
    ASSERT_GE(row, 0) << ::testing::PrintToString(list.AllRows());
    ASSERT_TRUE(list.SelectOnly(row));
    const size_t entriesBefore = ReadArchive().quarantine.size();
    ClickAsync(::GetDlgItem(page, kQuarit));
    EXPECT_TRUE(AnswerBox("Access is denied. Make sure the file is not in use.", kOkBox, IDOK));
    // The page is filled again after the box: the selection goes.
    EXPECT_TRUE(PollUntil([&] { return list.SelectedCount() == 0; })) << "not filled again";
    ASSERT_TRUE(SyncWithClient());
    EXPECT_TRUE(NoBox());
    EXPECT_TRUE(FileExists(path));
    EXPECT_FALSE(FileExists(QuarantineFolder() + backup)) << "the copy stays in quarantine";
    EXPECT_FALSE(FileExists(s_dllFolder + backup)) << "renamed in place";
    EXPECT_NE(s_tree.Child(warnings, name), nullptr);
    EXPECT_GE(list.Find(name), 0);
    ArchiveFile archive = ReadArchive();
    EXPECT_EQ(archive.Quarantined(path), nullptr);
    EXPECT_EQ(archive.quarantine.size(), entriesBefore);
    Screenshot("06-warning-list-page");
    ::CloseHandle(held);
}

TEST_F(ClientRun, Step06_CloseBoxHidesAndExitNoKeepsRunning) {
    ::SendMessageA(s_client.frame, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PollUntil([] { return !::IsWindowVisible(s_client.frame); }));
    EXPECT_TRUE(Running(s_client));

    ::PostMessageA(s_client.frame, WM_COMMAND, kAppExit, 0);
    ASSERT_TRUE(AnswerExit(s_client, IDNO)) << "no exit question";
    ::Sleep(1500);
    EXPECT_TRUE(Running(s_client));
    EXPECT_EQ(ServiceState(), DWORD(SERVICE_RUNNING));
    EXPECT_TRUE(TrayIconExists(s_client.frame));
}

TEST_F(ClientRun, Step07_SecondCopyEndsQuietly) {
    Client second;
    ASSERT_TRUE(Launch(second));
    EXPECT_EQ(::WaitForSingleObject(second.pi.hProcess, 30000), WAIT_OBJECT_0) << "the second copy keeps running";
    EXPECT_EQ(FindClientBox(second.pi.dwProcessId, 0xFFFF), nullptr);
    StopClient(second);
    EXPECT_TRUE(Running(s_client));
    EXPECT_EQ(ServiceState(), DWORD(SERVICE_RUNNING));
}

TEST_F(ClientRun, Step08_ExitYesStopsTheServiceAndRemovesTheIcon) {
    HWND frame = s_client.frame;
    ::PostMessageA(frame, WM_COMMAND, kAppExit, 0);
    ASSERT_TRUE(AnswerExit(s_client, IDYES));
    EXPECT_EQ(::WaitForSingleObject(s_client.pi.hProcess, 30000), WAIT_OBJECT_0) << "the client did not end";
    EXPECT_TRUE(PollUntil([] { return ServiceState() == SERVICE_STOPPED; })) << "Sc.exe stop did not stop it";
    EXPECT_FALSE(TrayIconExists(frame));
    StopClient(s_client);
}

TEST_F(ClientRun, Step09_AutoMinStartsHidden) {
    WriteSettings(1);
    Client hidden;
    ASSERT_TRUE(StartClient(hidden));
    ::Sleep(2000);
    EXPECT_FALSE(::IsWindowVisible(hidden.frame));
    EXPECT_EQ(FindClientBox(hidden.pi.dwProcessId, 2230), nullptr) << "no wait dialog when hidden";
    EXPECT_TRUE(TrayIconExists(hidden.frame));
    ::PostMessageA(hidden.frame, WM_COMMAND, kAppExit, 0);
    EXPECT_TRUE(AnswerExit(hidden, IDYES));
    EXPECT_EQ(::WaitForSingleObject(hidden.pi.hProcess, 30000), WAIT_OBJECT_0);
    StopClient(hidden);
    WriteSettings(0);
}

}  // namespace
}  // namespace ub
