#include "client/shell/win32/MainFrame.h"

#include <commctrl.h>

#include <cstring>

#include "client/config/win32/ConfigPage.h"
#include "client/pages/win32/FileInfoPage.h"
#include "client/pages/win32/InfoPage.h"
#include "client/pages/win32/OverviewPage.h"
#include "client/pages/win32/ProcInfoPage.h"
#include "client/pages/win32/ProcListPage.h"
#include "client/pages/win32/ProcModPage.h"
#include "client/pages/win32/SysInfoPage.h"
#include "client/pages/win32/WarnListPage.h"
#include "client/quarantine/win32/AuthenticPage.h"
#include "client/quarantine/win32/QuarantinePage.h"
#include "client/res/resource.h"
#include "client/shell/ServiceCommands.h"
#include "client/shell/win32/ShellPlatform.h"
#include "client/shell/win32/Win32SettingsRegistry.h"

namespace ub {
namespace {

constexpr int kMainMenu = 128;
constexpr int kTrayMenu = 129;
constexpr int kAccelerators = 128;
constexpr int kTitleString = 128;
constexpr char kExitQuestion[] = "Umbrastead won't protect your system after exit, are you sure to exit now?";
constexpr char kHelpFile[] = "Umbrastead.chm";
constexpr char kHomePage[] = "https://umbrastead.org/";

HICON LoadTrayIcon(int icon) {
    return static_cast<HICON>(::LoadImageA(win::Instance(), MAKEINTRESOURCEA(icon), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
}

}  // namespace

// ---- splitter ----

HWND CSplitter::CreatePane(HWND parent) {
    RegisterClass(kClassName, 0, nullptr, ::LoadCursor(nullptr, IDC_SIZEWE),
                  reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    return Create(kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, 0, parent,
                  reinterpret_cast<HMENU>(INT_PTR(kFirstPaneId)));
}

void CSplitter::Layout() {
    RECT r = ClientRect();
    int width = r.right, height = r.bottom;
    int left = m_leftWidth;
    if (width - left - kBarWidth < kRightMinimum) left = width - kBarWidth - kRightMinimum;
    if (left < 0) left = 0;
    if (m_left) ::MoveWindow(m_left, 0, 0, left, height, TRUE);
    if (m_right) ::MoveWindow(m_right, left + kBarWidth, 0, width - left - kBarWidth, height, TRUE);
}

LRESULT CSplitter::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_LBUTTONDOWN:
            m_dragging = true;
            ::SetCapture(m_hWnd);
            return 0;
        case WM_MOUSEMOVE:
            if (m_dragging) {
                int x = short(LOWORD(lp));
                m_leftWidth = x < 0 ? 0 : x;
                Layout();
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (m_dragging) {
                m_dragging = false;
                if (msg == WM_LBUTTONUP) ::ReleaseCapture();
            }
            return 0;
        case WM_NOTIFY: {
            // Notifications of the panes go back to their own objects.
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (auto* view = dynamic_cast<CCwTreeView*>(FromHandle(header->hwndFrom)))
                if (view->OnNotify(header)) return 0;
            break;
        }
    }
    return DefaultProc(msg, wp, lp);
}

// ---- main frame ----

CMainFrame::CMainFrame(CClientSettings& settings) : m_settings(settings) {}

CMainFrame::~CMainFrame() {
    if (m_menu) ::DestroyMenu(m_menu);
}

bool CMainFrame::CreateFrame() {
    // Our own class: no class icon, cursor or background brush.
    if (!RegisterClass(kMainFrameClass)) return false;
    m_menu = ::LoadMenuA(win::Instance(), MAKEINTRESOURCEA(kMainMenu));
    m_accelerators = ::LoadAcceleratorsA(win::Instance(), MAKEINTRESOURCEA(kAccelerators));
    char title[64] = "Umbrastead";
    ::LoadStringA(win::Instance(), kTitleString, title, sizeof title);
    HWND hwnd = Create(kMainFrameClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                       800, 560, nullptr, m_menu);
    return hwnd != nullptr;
}

bool CMainFrame::OnCreate() {
    if (!m_splitter.CreatePane(m_hWnd)) return false;
    // The pages, made when the page frame is created (after the tree, whose
    // image list the list pages share).
    m_pages = std::make_unique<CCwFrame>(m_settings, [this](int templateId) -> std::unique_ptr<CSkinPage> {
        CTreeController& controller = m_treeView->Controller();
        switch (templateId) {
            case IDD_WARNING_LIST:
                return std::make_unique<CWarnListPage>(controller, m_treeView->Tables(), m_treeView->Images());
            case IDD_AUTHENTIC_LIST: return std::make_unique<CAuthenticPage>(controller, m_treeView->Images());
            case IDD_QUARANTINE_LIST: return std::make_unique<CQuarantinePage>(controller);
            case IDD_ALL_PROCESSES:
            case IDD_WARNING_ITEM_PROCESSES:
            case IDD_AUTHENTIC_ITEM_PROCESSES:
            case IDD_MODULE_PROCESSES:
                return std::make_unique<CProcListPage>(templateId, controller, m_treeView->Tables(),
                                                       m_treeView->Images());
            case IDD_PROCESS_DETAILS: return std::make_unique<CProcInfoPage>(m_treeView->Tables());
            case IDD_PROCESS_MODULES:
                return std::make_unique<CProcModPage>(controller, m_treeView->Tables(), m_treeView->Images());
            case IDD_MODULE_FILE: return std::make_unique<CModFilePage>(controller);
            case IDD_PROCESS_FILE: return std::make_unique<CProcFilePage>(controller, m_treeView->Tables());
            case IDD_AUTHENTIC_FILE: return std::make_unique<CAuthFilePage>(controller);
            case IDD_WARNING_FILE: return std::make_unique<CWarnFilePage>(controller);
            case IDD_SYSTEM_INFO: return std::make_unique<CSysInfoPage>();
            case IDD_INFORMATION: return std::make_unique<CInfoPage>();
            case IDD_CONFIGURATION:
                return std::make_unique<CConfigPage>(
                    m_settings, [this] { m_treeView->ApplyServiceSpeed(); },
                    [this] { m_treeView->Controller().SortProcesses(); });
        }
        if (OverviewSkipFlag(templateId, m_settings))
            return std::make_unique<COverviewPage>(templateId, m_settings, m_overviewPlacer);
        return std::make_unique<CSkinPage>(templateId);
    });
    m_treeView = std::make_unique<CCwTreeView>(m_settings, *this, *m_pages, m_hWnd);
    HWND tree = m_treeView->CreatePane(m_splitter, kFirstPaneId);
    HWND pages = m_pages->CreatePane(m_splitter, kFirstPaneId + 1);
    if (!tree || !pages) return false;
    m_pages->onBack = [this] { m_treeView->NavigateBack(); };
    m_splitter.SetPanes(tree, pages);

    // The tray icon, short record form.
    m_tray.cbSize = NOTIFYICONDATAA_V1_SIZE;
    m_tray.hWnd = m_hWnd;
    m_tray.uID = kTrayIconId;
    m_tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_tray.uCallbackMessage = WM_TRAYNOTIFY;
    m_tray.hIcon = LoadTrayIcon(kTrayIconNormal);
    std::strncpy(m_tray.szTip, kTrayTipIdle, sizeof m_tray.szTip - 1);
    ::Shell_NotifyIconA(NIM_ADD, &m_tray);
    HICON large = ::LoadIconA(win::Instance(), MAKEINTRESOURCEA(kTrayIconNormal));
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    return true;
}

void CMainFrame::ModifyTrayIcon(int icon, const char* tip) {
    if (m_tray.hIcon) ::DestroyIcon(m_tray.hIcon);
    m_tray.hIcon = LoadTrayIcon(icon);
    std::memset(m_tray.szTip, 0, sizeof m_tray.szTip);
    std::strncpy(m_tray.szTip, tip, sizeof m_tray.szTip - 1);
    ::Shell_NotifyIconA(NIM_MODIFY, &m_tray);
}

void CMainFrame::OnTrayNotify(UINT id, UINT mouse) {
    if (id != kTrayIconId) return;
    if (mouse == WM_LBUTTONDBLCLK) {
        Post(WM_COMMAND, ID_OPEN_MAIN);
    } else if (mouse == WM_RBUTTONUP) {
        POINT at;
        ::GetCursorPos(&at);
        HMENU menu = ::LoadMenuA(win::Instance(), MAKEINTRESOURCEA(kTrayMenu));
        if (!menu) return;
        // Foreground first, or the popup does not close when clicked away.
        ::SetForegroundWindow(m_hWnd);
        ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
        ::DestroyMenu(menu);
    }
}

void CMainFrame::OpenMain() {
    if (!IsVisible() || ::IsIconic(m_hWnd)) Show(SW_SHOWNORMAL);
    ::SetForegroundWindow(m_hWnd);
}

void CMainFrame::ExitWithConfirmation() {
    if (m_treeView->WaitDialogExists()) {
        // Handled again once the wait dialog's modal loop has ended.
        m_treeView->CloseWaitDialog();
        Post(WM_COMMAND, ID_APP_EXIT);
        return;
    }
    if (::MessageBoxA(m_hWnd, kExitQuestion, kAppTitle, MB_YESNO | MB_ICONINFORMATION) != IDYES) return;
    RunServiceCommand(m_treeView->ProgramFolder(), kServiceStop);
    QuitSteps();
}

void CMainFrame::QuitSteps() {
    CWin32SettingsRegistry registry;
    m_settings.Save(registry);
    ::Shell_NotifyIconA(NIM_DELETE, &m_tray);
    m_treeView->CloseClientChannel();
    Destroy();
}

void CMainFrame::OpenHelp() {
    // From the program folder: at logon the current directory is the
    // system folder.
    std::string help = m_treeView->ProgramFolder() + kHelpFile;
    ::ShellExecuteA(m_hWnd, "open", help.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainFrame::OpenOnline() {
    ::ShellExecuteA(m_hWnd, "open", "about:blank", nullptr, nullptr, SW_SHOWNORMAL);
    ::ShellExecuteA(m_hWnd, "open", kHomePage, nullptr, nullptr, SW_SHOWNORMAL);
}

bool CMainFrame::OnCommand(int id) {
    // The active view first.
    if (m_treeView && m_treeView->OnCommand(id)) return true;
    switch (id) {
        case ID_APP_EXIT: ExitWithConfirmation(); return true;
        case ID_QUIT_QUIET: QuitSteps(); return true;
        case ID_OPEN_MAIN: OpenMain(); return true;
        case ID_HELP_TOPICS: OpenHelp(); return true;
        case ID_HELP_ONLINE: OpenOnline(); return true;
        case ID_NEXT_PANE:
        case ID_PREV_PANE: {
            // Two panes: either key moves the focus to the other one.
            HWND tree = m_treeView->Handle();
            HWND focus = ::GetFocus();
            bool inTree = focus == tree;
            ::SetFocus(inTree ? static_cast<HWND>(*m_pages) : tree);
            return true;
        }
    }
    return false;
}

bool CMainFrame::PreTranslateMessage(MSG* msg) {
    if (!m_hWnd) return false;
    const bool key = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    // IsDialogMessage swallows what it is given: the pane keys go first.
    if (key && msg->wParam == VK_F6) return ::TranslateAcceleratorA(m_hWnd, m_accelerators, msg) != 0;
    HWND page = m_pages ? m_pages->VisiblePage() : nullptr;
    if (page && ::IsWindowVisible(page) && ::IsDialogMessageA(page, msg)) return true;
    return ::TranslateAcceleratorA(m_hWnd, m_accelerators, msg) != 0;
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE: return OnCreate() ? 0 : -1;
        case WM_SIZE: {
            RECT r = ClientRect();
            ::MoveWindow(m_splitter, 0, 0, r.right, r.bottom, TRUE);
            return 0;
        }
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = POINT{600, 400};
            return 0;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wp))) return 0;
            break;
        case WM_TIMER:
            if (wp == kBlinkTimer) {
                m_alert.OnTick();
                break;  // then the default handling
            }
            break;
        case WM_TRAYNOTIFY:
            OnTrayNotify(UINT(wp), UINT(lp));
            return 0;
        case WM_UB_ALERT_PHASE:
            return m_alert.Phase();
        case WM_CLOSE:
            // The close box only hides the window; the client stays in the tray.
            Show(SW_MINIMIZE);
            Show(SW_HIDE);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return DefaultProc(msg, wp, lp);
}

}  // namespace ub
