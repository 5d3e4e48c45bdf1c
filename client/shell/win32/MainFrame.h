// The client's top-level window: a splitter with the navigation tree on the
// left and the page frame on the right, the tray icon with its alert, the
// menu commands, hiding on the close box and the ways to quit.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "client/controls/win32/Window.h"
#include "client/monitor/TreeController.h"
#include "client/pages/OverviewLook.h"
#include "client/shell/ClientSettings.h"
#include "client/shell/TrayAlert.h"
#include "client/shell/win32/PageFrame.h"
#include "client/shell/win32/TreeView.h"

namespace ub {

constexpr UINT WM_TRAYNOTIFY = WM_USER;  // 0x400
// Diagnostic query: answers the tray alert's blink phase (0 idle, 1 or 2).
constexpr UINT WM_UB_ALERT_PHASE = WM_APP + 1;
constexpr UINT kTrayIconId = 129;
constexpr int kFirstPaneId = 0xE900;
constexpr char kMainFrameClass[] = "UmbrasteadMainFrame";

// One row, two columns: the tree, a draggable bar, the page frame. The
// right column keeps at least 500 pixels while the window is wide enough.
class CSplitter : public win::CWindow {
public:
    static constexpr char kClassName[] = "UbSplitter";
    static constexpr int kBarWidth = 6;
    static constexpr int kRightMinimum = 500;

    HWND CreatePane(HWND parent);
    void SetPanes(HWND left, HWND right) {
        m_left = left;
        m_right = right;
    }
    void Layout();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    HWND m_left = nullptr, m_right = nullptr;
    int m_leftWidth = 180;
    bool m_dragging = false;
};

class CMainFrame : public win::CWindow, public IClientFrame, private ITrayHost {
public:
    explicit CMainFrame(CClientSettings& settings);
    ~CMainFrame() override;

    // Creates the frame with its panes and tray icon; false when a part fails.
    bool CreateFrame();
    void InitialUpdate() { m_treeView->InitialUpdate(); }
    HACCEL Accelerators() const { return m_accelerators; }
    // The message loop's look at a message before it is dispatched: F6 and
    // Shift+F6 move between the panes from anywhere; the page on show then
    // handles its own keys (Tab, editing keys, Enter and Escape), the frame's
    // accelerators take the rest. True when the message was handled.
    bool PreTranslateMessage(MSG* msg);

    // The alert and the refresh's news for the page on show.
    void StartAlert() override { m_alert.StartAlert(); }
    void StopAlert() override { m_alert.StopAlert(); }
    void TablesChanged(int kind) override { m_pages->TablesChanged(kind); }
    void CloseWaitDialog() override { m_treeView->CloseWaitDialog(); }

    int BlinkPhase() const { return m_alert.Phase(); }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool OnCreate();
    bool OnCommand(int id);
    void OnTrayNotify(UINT id, UINT mouse);
    void OpenMain();
    void ExitWithConfirmation();
    void QuitSteps();
    void OpenHelp();
    void OpenOnline();

    void StartBlinkTimer() override { ::SetTimer(m_hWnd, kBlinkTimer, kBlinkPeriodMs, nullptr); }
    void StopBlinkTimer() override { ::KillTimer(m_hWnd, kBlinkTimer); }
    void ModifyTrayIcon(int icon, const char* tip) override;

    CClientSettings& m_settings;
    COverviewPlacer m_overviewPlacer;  // shared by the overview pages
    CSplitter m_splitter;
    std::unique_ptr<CCwFrame> m_pages;
    std::unique_ptr<CCwTreeView> m_treeView;
    CTrayAlert m_alert{*this};
    NOTIFYICONDATAA m_tray{};
    HACCEL m_accelerators = nullptr;
    HMENU m_menu = nullptr;
};

}  // namespace ub
