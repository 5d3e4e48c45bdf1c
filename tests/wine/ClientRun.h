// The client run for real beside the real service, inside a virtual
// desktop with a notification area: the shared fixture of the client's
// test programs (the service registered, two fixture programs running, the
// client's archive and quarantine cleared) and the helpers that read the
// client's windows, boxes, files and screenshots from outside.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "client/quarantine/Archive.h"
#include "client/shell/win32/Win32SettingsRegistry.h"
#include "common/TextFold.h"
#include "common/win32/Win32Channel.h"
#include "tests/wine/FixtureProcess.h"
#include "tests/wine/RemoteControls.h"
#include "tests/wine/ServiceHarness.h"

namespace ub {
namespace clienttest {

using wine::BinFolder;
using wine::EqualsNoCase;
using wine::CRemoteList;
using wine::CRemoteTree;
using wine::PollUntil;
using wine::Rows;

constexpr char kService[] = "Umbrastead";
constexpr char kFrameClass[] = "UmbrasteadMainFrame";
constexpr int kPaneId = 0xE900;
constexpr UINT kAlertPhaseQuery = WM_APP + 1;
constexpr UINT kTrayId = 129;
constexpr WORD kAppExit = 57665;
constexpr int kListTab = 2001;
constexpr int kListId = 1002;
constexpr int kRecover = 2081;
constexpr int kClean = 2082;
constexpr int kCleanHistory = 2084;
constexpr int kAuthit = 2085;
constexpr int kQuarit = 2086;


struct Column {
    const char* heading;
    int width;
};

// Headings, widths and left alignment of every column, in order.
inline void ExpectColumns(const CRemoteList& list, std::initializer_list<Column> columns) {
    EXPECT_EQ(list.ColumnCount(), int(columns.size()));
    int k = 0;
    for (const Column& c : columns) {
        int format = -1;
        EXPECT_EQ(list.Heading(k, &format), c.heading) << "column " << k;
        EXPECT_EQ(format & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << c.heading;
        EXPECT_EQ(list.Width(k), c.width) << c.heading;
        ++k;
    }
}

// True when no two neighbouring rows are out of order in a column, ASCII
// letter case ignored.
inline bool OrderedBy(const Rows& rows, int column, bool descending) {
    for (size_t r = 1; r < rows.size(); ++r) {
        int order = CompareIgnoreCase(rows[r - 1][column].c_str(), rows[r][column].c_str());
        if (descending ? order < 0 : order > 0) return false;
    }
    return true;
}

// The level a module with these flags is listed with.
inline std::string LevelText(uint32_t flags) {
    if (flags < 0x100) return "Low";
    if (flags < 0x100000) return "Mid";
    if (flags < 0x10000000) return "High";
    return "Pending";
}

inline uint64_t Now() {
    FILETIME t;
    ::GetSystemTimeAsFileTime(&t);
    return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// A UTC time as the pages show it: local time with a strftime pattern.
inline std::string TimeText(uint64_t utc, const char* pattern) {
    FILETIME ft{DWORD(utc), DWORD(utc >> 32)}, local;
    SYSTEMTIME st;
    if (!::FileTimeToLocalFileTime(&ft, &local) || !::FileTimeToSystemTime(&local, &st)) return "<bad time>";
    std::tm tm{};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    tm.tm_sec = st.wSecond;
    tm.tm_wday = st.wDayOfWeek;
    char text[64] = "";
    std::strftime(text, sizeof text, pattern, &tm);
    return text;
}

// As the list pages' dates: "%X, %B %d".
inline std::string DateText(FileTime utc) { return TimeText(ToU64(utc), "%X, %B %d"); }

inline bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The whole file; empty when it cannot be read.
inline std::string FileBytes(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

// Deletes the files of a folder and then the folder.
inline void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileA((folder + found.cFileName).c_str());
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(folder.c_str());
}

inline std::string ArchivePath() { return BinFolder() + "UBqa.dat"; }
inline std::string QuarantineFolder() { return BinFolder() + "Quarantine\\"; }
inline std::string RpmPath() { return BinFolder() + "fixture_rpm.exe"; }

// The client's archive file as it is on disk now.
struct ArchiveFile {
    ArchiveLoad load = ArchiveLoad::Empty;
    AuthenticList authentic;
    QuarantineList quarantine;

    const AuthenticEntry* Trusted(const std::string& path) const {
        for (const auto& e : authentic)
            if (EqualsNoCase(e->path, path)) return e.get();
        return nullptr;
    }
    const QuarantineEntry* Quarantined(const std::string& path) const {
        for (const auto& e : quarantine)
            if (EqualsNoCase(e->originalPath, path)) return e.get();
        return nullptr;
    }
};

inline ArchiveFile ReadArchive() {
    ArchiveFile archive;
    std::string bytes = FileBytes(ArchivePath());
    archive.load = DecodeArchive(std::vector<uint8_t>(bytes.begin(), bytes.end()), &archive.authentic,
                                 &archive.quarantine);
    return archive;
}

// fixture_dll_host.exe with a DLL loaded until Free() has it freed.
class CDllHost {
public:
    ~CDllHost() {
        if (m_release) ::CloseHandle(m_release);
        if (m_freed) ::CloseHandle(m_freed);
    }
    ::testing::AssertionResult Load(const std::string& dll) {
        static int counter = 0;
        std::string base = "ub_dll_host_" + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(counter++);
        m_release = ::CreateEventA(nullptr, TRUE, FALSE, (base + "_release").c_str());
        m_freed = ::CreateEventA(nullptr, TRUE, FALSE, (base + "_freed").c_str());
        if (!m_release || !m_freed) return ::testing::AssertionFailure() << "CreateEvent failed: " << ::GetLastError();
        return m_process.Start("fixture_dll_host.exe", "\"" + dll + "\" " + base + "_release " + base + "_freed");
    }
    ::testing::AssertionResult Free() {
        ::SetEvent(m_release);
        HANDLE waits[2] = {m_freed, m_process.Handle()};
        DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, wine::kWaitLimitMs);
        if (r == WAIT_OBJECT_0) return ::testing::AssertionSuccess();
        DWORD code = 0;
        ::GetExitCodeProcess(m_process.Handle(), &code);
        return ::testing::AssertionFailure() << "the DLL was not freed (wait " << r << ", exit code " << code << ")";
    }

private:
    HANDLE m_release = nullptr;
    HANDLE m_freed = nullptr;
    wine::CFixtureProcess m_process;
};

inline std::string WindowText(HWND hwnd) {
    char text[256] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// Saves the virtual desktop as a BMP in the screenshot folder, if there is one.
inline void Screenshot(const std::string& name, DWORD settleMs = 700) {
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

inline BOOL CALLBACK MatchClientBox(HWND hwnd, LPARAM lp) {
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
inline HWND FindClientBox(DWORD pid, int controlId, const char* textPart = nullptr) {
    BoxSearch s{pid, controlId, textPart, nullptr};
    ::EnumWindows(MatchClientBox, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

inline bool TrayIconExists(HWND frame) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = frame;
    data.uID = kTrayId;
    return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// The middle of a button, in its client coordinates.
inline LPARAM MiddleOf(HWND button) {
    RECT r{};
    ::GetClientRect(button, &r);
    return MAKELPARAM(r.right / 2, r.bottom / 2);
}

// A click in the middle of a picture button, where it is opaque (its
// corners may be transparent, which a BM_CLICK at 0,0 would hit).
inline void Click(HWND button) {
    LPARAM at = MiddleOf(button);
    ::SendMessageA(button, WM_MOUSEMOVE, 0, at);
    ::SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(button, WM_LBUTTONUP, 0, at);
}

inline DWORD ServiceState() { return wine::QueryServiceByName(kService).state; }

inline void WriteSettings(int autoMin) {
    CWin32SettingsRegistry registry;
    if (registry.Open() != 0) return;
    registry.SetDword("AutoMin", autoMin);
    registry.SetDword("TitleSkip", 0);
    registry.SetDword("CliSpeed", 2);  // 400 ms
    registry.SetDword("SvrSpeed", 2);
    registry.Close();
}

// A client process and its main frame.
struct Client {
    PROCESS_INFORMATION pi{};
    HWND frame = nullptr;
};

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
        // No trust or quarantine left from an earlier run; the DLL copies
        // that get quarantined live in a folder of their own.
        RemoveClientFiles();
        char temp[MAX_PATH] = "";
        ::GetTempPathA(sizeof temp, temp);
        s_dllFolder = std::string(temp) + "ub_client_test_" + std::to_string(::GetCurrentProcessId()) + "\\";
        if (!::CreateDirectoryA(s_dllFolder.c_str(), nullptr)) s_setupError += "cannot create " + s_dllFolder;
    }
    static void TearDownTestSuite() {
        StopClient(s_client);
        wine::RemoveService(kService);
        s_fixtures.reset();
        RemoveClientFiles();
        if (!s_dllFolder.empty()) RemoveFolder(s_dllFolder);
    }
    static void RemoveClientFiles() {
        ::DeleteFileA(ArchivePath().c_str());
        RemoveFolder(QuarantineFolder());
    }
    void SetUp() override { ASSERT_TRUE(s_setupError.empty()) << s_setupError; }

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
    static LRESULT AlertPhase() { return ::SendMessageA(s_client.frame, kAlertPhaseQuery, 0, 0); }
    static HTREEITEM ViewNode(const char* name) { return s_tree.Child(s_tree.Child(s_tree.Root(), "View"), name); }
    // The visible page holding this control, or null.
    static HWND VisiblePageWith(int control) {
        HWND header = Header();
        for (HWND c = ::GetWindow(PageFrame(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            if (c != header && ::IsWindowVisible(c) && ::GetDlgItem(c, control)) return c;
        return nullptr;
    }
    // Selects the node afresh, shows its List sheet and returns that page.
    static HWND ShowListPage(HTREEITEM node, int control) {
        s_tree.Select(s_tree.Root());
        s_tree.Select(node);
        Click(::GetDlgItem(Header(), kListTab));
        return VisiblePageWith(control);
    }
    // Click() without waiting for the handler, which may ask something.
    static void ClickAsync(HWND button) {
        LPARAM at = MiddleOf(button);
        ::SendNotifyMessageA(button, WM_MOUSEMOVE, 0, at);
        ::SendNotifyMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendNotifyMessageA(button, WM_LBUTTONUP, 0, at);
    }
    // Returns once the client's thread has handled what was sent to it
    // before. A handler that waits for another program (a box, the tray)
    // handles it while it waits: this is no sign that the handler is done.
    static bool SyncWithClient() {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutA(s_client.frame, WM_NULL, 0, 0, SMTO_NORMAL, wine::kWaitLimitMs, &result) != 0;
    }
    // Any message box of the client, which is answered No or OK and reported.
    static ::testing::AssertionResult NoBox() {
        HWND box = FindClientBox(s_client.pi.dwProcessId, 0xFFFF);
        if (!box) return ::testing::AssertionSuccess();
        std::string text = WindowText(::GetDlgItem(box, 0xFFFF));
        ::PostMessageA(box, WM_COMMAND, ::GetDlgItem(box, IDNO) ? IDNO : IDOK, 0);
        PollUntil([&] { return !::IsWindow(box); });
        return ::testing::AssertionFailure() << "unexpected box: " << text;
    }
    // A click whose handler must end without asking anything; returns when
    // the handler has ended. A box it shows instead is answered and reported.
    static ::testing::AssertionResult ClickQuietly(HWND button) {
        if (!button) return ::testing::AssertionFailure() << "no button";
        LPARAM at = MiddleOf(button);
        ::SendMessageA(button, WM_MOUSEMOVE, 0, at);
        ::SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutA(button, WM_LBUTTONUP, 0, at, SMTO_NORMAL, wine::kWaitLimitMs, &result)) {
            ::testing::AssertionResult box = NoBox();
            return ::testing::AssertionFailure() << "the click's handler did not end. " << box.message();
        }
        return NoBox();
    }
    enum Buttons { kOkBox, kYesNoBox };
    // Waits for the client's message box, checks its caption, text and
    // buttons, answers it and waits until it has gone.
    static ::testing::AssertionResult AnswerBox(const std::string& text, Buttons buttons, int answer) {
        HWND box = nullptr;
        if (!PollUntil([&] { return (box = FindClientBox(s_client.pi.dwProcessId, 0xFFFF)) != nullptr; },
                       wine::kWaitLimitMs))
            return ::testing::AssertionFailure() << "no box \"" << text << "\"";
        auto shown = [box](int id) { return ::IsWindowVisible(::GetDlgItem(box, id)) != FALSE; };
        std::string problems;
        if (WindowText(box) != "Umbrastead") problems += " caption \"" + WindowText(box) + "\";";
        std::string got = WindowText(::GetDlgItem(box, 0xFFFF));
        if (got != text) problems += " text \"" + got + "\";";
        bool yesNo = shown(IDYES) && shown(IDNO) && !shown(IDOK) && !shown(IDCANCEL);
        bool ok = shown(IDOK) && !shown(IDYES) && !shown(IDNO) && !shown(IDCANCEL);
        if (buttons == kYesNoBox ? !yesNo : !ok) problems += " wrong buttons;";
        ::PostMessageA(box, WM_COMMAND, answer, 0);
        if (!PollUntil([&] { return !::IsWindow(box); }, wine::kWaitLimitMs)) problems += " the box stays;";
        if (!problems.empty()) return ::testing::AssertionFailure() << "box \"" << text << "\":" << problems;
        return ::testing::AssertionSuccess();
    }
    static bool AnswerExit(const Client& c, int answer) {
        HWND box = nullptr;
        if (!PollUntil([&] { return (box = FindClientBox(c.pi.dwProcessId, 0xFFFF, "won't protect")) != nullptr; }))
            return false;
        ::PostMessageA(box, WM_COMMAND, answer, 0);
        return true;
    }

    static inline Client s_client;
    static inline CRemoteTree s_tree;
    static inline std::unique_ptr<wine::CFixtureSet> s_fixtures;
    static inline std::string s_setupError;
    static inline std::string s_dllFolder;  // ends with a backslash
    static inline int s_rpmWarningImage = -1;    // fixture_rpm.exe's icon under "Warning list"
};

}  // namespace clienttest
}  // namespace ub
