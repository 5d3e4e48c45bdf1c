// UBclient.exe run for real beside the real service, inside a virtual
// desktop with a notification area: start-up behind the wait dialog, the
// navigation tree read through window messages (item texts through memory
// in the client's process), the tray alert, page groups and tabs, back
// navigation, the close box, the exit question answered No and Yes, a second
// copy, and a start hidden. The steps build on each other and run in order.
// Screenshots of the desktop are saved for a person to look at.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <initializer_list>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "client/shell/win32/Win32SettingsRegistry.h"
#include "tests/wine/FixtureProcess.h"
#include "tests/wine/ServiceHarness.h"

namespace ub {
namespace {

using wine::BinFolder;
using wine::PollUntil;

constexpr char kService[] = "Umbrastead";
constexpr char kFrameClass[] = "UmbrasteadMainFrame";
constexpr int kPaneId = 0xE900;
constexpr UINT kAlertPhaseQuery = WM_APP + 1;
constexpr UINT kTrayId = 129;
constexpr WORD kAppExit = 57665;

// The tree control of another process: handles travel in messages as they
// are; item texts are read through a buffer in the client's memory.
class CRemoteTree {
public:
    ~CRemoteTree() {
        if (m_remote) ::VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
    }
    bool Attach(HWND tree) {
        m_tree = tree;
        DWORD pid = 0;
        ::GetWindowThreadProcessId(tree, &pid);
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!m_process) return false;
        m_remote = static_cast<char*>(::VirtualAllocEx(m_process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
        return m_remote != nullptr;
    }
    HTREEITEM Next(HTREEITEM item, UINT code) const {
        return reinterpret_cast<HTREEITEM>(
            ::SendMessageA(m_tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    }
    HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
    HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
    std::vector<HTREEITEM> Children(HTREEITEM parent) const {
        std::vector<HTREEITEM> kids;
        for (HTREEITEM k = Next(parent, TVGN_CHILD); k; k = Next(k, TVGN_NEXT)) kids.push_back(k);
        return kids;
    }
    std::string Text(HTREEITEM item) const {
        TVITEMA it{};
        it.mask = TVIF_TEXT;
        it.hItem = item;
        it.pszText = m_remote + 512;
        it.cchTextMax = 512;
        SIZE_T n = 0;
        if (!::WriteProcessMemory(m_process, m_remote, &it, sizeof it, &n)) return "<unwritable>";
        if (!::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(m_remote))) return "<no item>";
        char text[513] = "";
        ::ReadProcessMemory(m_process, m_remote + 512, text, 512, &n);
        return text;
    }
    std::vector<std::string> ChildTexts(HTREEITEM parent) const {
        std::vector<std::string> texts;
        for (HTREEITEM k : Children(parent)) texts.push_back(Text(k));
        return texts;
    }
    HTREEITEM Child(HTREEITEM parent, const std::string& text) const {
        for (HTREEITEM k : Children(parent))
            if (lstrcmpiA(Text(k).c_str(), text.c_str()) == 0) return k;
        return nullptr;
    }
    UINT State(HTREEITEM item) const {
        return UINT(::SendMessageA(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_BOLD | TVIS_CUT));
    }
    bool Select(HTREEITEM item) const {
        return ::SendMessageA(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
    }

private:
    HWND m_tree = nullptr;
    HANDLE m_process = nullptr;
    char* m_remote = nullptr;
};

std::string WindowText(HWND hwnd) {
    char text[256] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// Saves the virtual desktop as a BMP in the screenshot folder, if there is one.
void Screenshot(const std::string& name, DWORD settleMs = 700) {
    const char* folder = std::getenv("UB_SCREENSHOT_DIR");
    if (!folder || !*folder) return;
    ::Sleep(settleMs);  // let the windows paint
    HDC screen = ::GetDC(nullptr);
    int cx = ::GetDeviceCaps(screen, HORZRES), cy = ::GetDeviceCaps(screen, VERTRES);
    HDC mem = ::CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, cx, cy, screen, 0, 0, SRCCOPY);
    ::GdiFlush();
    DWORD stride = DWORD((cx * 3 + 3) & ~3), size = stride * DWORD(cy);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    std::string path = std::string(folder) + "\\" + name + ".bmp";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&fh, sizeof fh, 1, f);
        std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
        std::fwrite(bits, 1, size, f);
        std::fclose(f);
    }
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
}

struct BoxSearch {
    DWORD pid;
    int id;
    const char* text;
    HWND found;
};

BOOL CALLBACK MatchClientBox(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<BoxSearch*>(lp);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    char cls[16] = "";
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (owner != s->pid || lstrcmpA(cls, "#32770") != 0 || !::IsWindowVisible(hwnd)) return TRUE;
    HWND item = ::GetDlgItem(hwnd, s->id);
    if (!item || (s->text && WindowText(item).find(s->text) == std::string::npos)) return TRUE;
    s->found = hwnd;
    return FALSE;
}

// A visible dialog box of the client process holding this control id (a
// message box's text is id 0xFFFF), optionally with this text, or null.
HWND FindClientBox(DWORD pid, int controlId, const char* textPart = nullptr) {
    BoxSearch s{pid, controlId, textPart, nullptr};
    ::EnumWindows(MatchClientBox, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool TrayIconExists(HWND frame) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = frame;
    data.uID = kTrayId;
    return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// A click in the middle of a picture button, where it is opaque (its
// corners may be transparent, which a BM_CLICK at 0,0 would hit).
void Click(HWND button) {
    RECT r{};
    ::GetClientRect(button, &r);
    LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    ::SendMessageA(button, WM_MOUSEMOVE, 0, at);
    ::SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(button, WM_LBUTTONUP, 0, at);
}

DWORD ServiceState() { return wine::QueryServiceByName(kService).state; }

void WriteSettings(int autoMin) {
    CWin32SettingsRegistry registry;
    if (registry.Open() != 0) return;
    registry.SetDword("AutoMin", autoMin);
    registry.SetDword("TitleSkip", 0);
    registry.SetDword("CliSpeed", 2);  // 400 ms
    registry.SetDword("SvrSpeed", 2);
    registry.Close();
}

class ClientRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_fixtures = std::make_unique<wine::CFixtureSet>();
        ::testing::AssertionResult started = s_fixtures->Start({"fixture_rpm.exe", "fixture_clean.exe"});
        if (!started) s_setupError = started.message();
        ::testing::AssertionResult removed = wine::RemoveService(kService);
        if (!removed) s_setupError += removed.message();
        wine::CapturedRun run;
        if (!wine::RunCaptured("Sc.exe", std::string("create ") + kService + " binPath= \"" + BinFolder() + "UBsvr.exe\"",
                               &run) ||
            run.exitCode != 0)
            s_setupError += "cannot register the service: " + run.output + run.errors;
        WriteSettings(0);
    }
    static void TearDownTestSuite() {
        StopClient(s_client);
        wine::RemoveService(kService);
        s_fixtures.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_setupError.empty()) << s_setupError; }

    struct Client {
        PROCESS_INFORMATION pi{};
        HWND frame = nullptr;
    };

    // Starts bin\UBclient.exe from its own folder.
    static bool Launch(Client& c) {
        std::string line = "\"" + BinFolder() + "UBclient.exe\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        return ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(), &si,
                                &c.pi) != FALSE;
    }
    // Launches the client and waits for its main frame.
    static bool StartClient(Client& c) {
        if (!Launch(c)) return false;
        ::WaitForInputIdle(c.pi.hProcess, 10000);
        return PollUntil([&] {
            HWND frame = nullptr;
            while ((frame = ::FindWindowExA(nullptr, frame, kFrameClass, nullptr))) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(frame, &pid);
                if (pid == c.pi.dwProcessId) {
                    c.frame = frame;
                    return true;
                }
            }
            return false;
        });
    }
    static void StopClient(Client& c) {
        if (c.pi.hProcess) {
            if (::WaitForSingleObject(c.pi.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(c.pi.hProcess, 1);
                ::WaitForSingleObject(c.pi.hProcess, 10000);
            }
            ::CloseHandle(c.pi.hProcess);
            ::CloseHandle(c.pi.hThread);
        }
        c = Client{};
    }
    static bool Running(const Client& c) { return c.pi.hProcess && ::WaitForSingleObject(c.pi.hProcess, 0) == WAIT_TIMEOUT; }

    static HWND Pane(int offset) { return ::GetDlgItem(::GetDlgItem(s_client.frame, kPaneId), kPaneId + offset); }
    static HWND Tree() { return Pane(0); }
    static HWND PageFrame() { return Pane(1); }
    // The header bar: the page frame's child dialog with the back button.
    static HWND Header() {
        for (HWND c = ::GetWindow(PageFrame(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            if (::GetDlgItem(c, 2010)) return c;
        return nullptr;
    }
    // The visible page and the bitmap name of its lowest-numbered picture.
    static std::string VisiblePage() {
        HWND header = Header();
        for (HWND c = ::GetWindow(PageFrame(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            if (c == header || !::IsWindowVisible(c)) continue;
            int best = 0x7FFFFFFF;
            std::string text;
            for (HWND k = ::GetWindow(c, GW_CHILD); k; k = ::GetWindow(k, GW_HWNDNEXT)) {
                int id = ::GetDlgCtrlID(k);
                if (id >= 2000 && id < best && !WindowText(k).empty()) {
                    best = id;
                    text = WindowText(k);
                }
            }
            return text;
        }
        return "";
    }
    // "N" normal, "S" selected, "-" hidden for the five tabs.
    static std::string Tabs() {
        HWND header = Header();
        std::string s;
        for (int k = 0; k < 5; ++k) {
            bool normal = ::IsWindowVisible(::GetDlgItem(header, 2000 + k));
            bool selected = ::IsWindowVisible(::GetDlgItem(header, 2005 + k));
            s += selected ? 'S' : (normal ? 'N' : '-');
        }
        return s;
    }
    static bool AnswerExit(const Client& c, int answer) {
        HWND box = nullptr;
        if (!PollUntil([&] { return (box = FindClientBox(c.pi.dwProcessId, 0xFFFF, "won't protect")) != nullptr; }))
            return false;
        ::PostMessageA(box, WM_COMMAND, answer, 0);
        return true;
    }

    static Client s_client;
    static CRemoteTree s_tree;
    static std::unique_ptr<wine::CFixtureSet> s_fixtures;
    static std::string s_setupError;
};

ClientRun::Client ClientRun::s_client;
CRemoteTree ClientRun::s_tree;
std::unique_ptr<wine::CFixtureSet> ClientRun::s_fixtures;
std::string ClientRun::s_setupError;

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
    ASSERT_TRUE(PollUntil([&] { return (search = FindClientBox(s_client.pi.dwProcessId, 2222)) != nullptr; }, 10000));
    Click(::GetDlgItem(search, 2222));
    EXPECT_TRUE(PollUntil([] { return FindClientBox(s_client.pi.dwProcessId, 2222) == nullptr; }, 10000));
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
    ::SendInput(3, click, sizeof(INPUT));
    ASSERT_TRUE(PollUntil([&] { return focus() == first; }, 10000)) << "focus " << focus();

    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    ::SendMessageA(first, EM_SETSEL, 0, -1);
    keys({{VK_CONTROL, true}, {'C', true}, {'C', false}, {VK_CONTROL, false}});
    std::string copied;
    EXPECT_TRUE(PollUntil([&] {
        if (!::OpenClipboard(nullptr)) return false;
        if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
            if (const char* text = static_cast<const char*>(::GlobalLock(data))) {
                copied = text;
                ::GlobalUnlock(data);
            }
        }
        ::CloseClipboard();
        return copied == kText;
    }, 10000)) << "clipboard: " << copied;

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

// Inside a virtual desktop the program's status and output do not reach the
// caller: they go to the files the runner names.
int main(int argc, char** argv) {
    if (const char* log = std::getenv("UB_LOG_FILE")) {
        std::freopen(log, "w", stdout);
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    ::testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    if (const char* file = std::getenv("UB_EXIT_FILE")) {
        if (FILE* f = std::fopen(file, "w")) {
            std::fprintf(f, "%d\n", status);
            std::fclose(f);
        }
    }
    return status;
}
