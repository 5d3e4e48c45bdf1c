// The left pane: the navigation tree. It owns the client's model (the
// tables, the tree controller with its lists, the monitor), the channel,
// the start-up wait dialog and the program folder; it runs the refresh
// timers and handles the navigation commands and the file search before
// the frame does.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "client/controls/win32/SkinPage.h"
#include "client/controls/win32/Window.h"
#include "client/monitor/ClientMonitor.h"
#include "client/monitor/TreeController.h"
#include "client/monitor/win32/ClientChannel.h"
#include "client/monitor/win32/Win32Classification.h"
#include "client/quarantine/win32/Win32QuarantineFiles.h"
#include "client/shell/win32/ShellPlatform.h"
#include "client/shell/win32/Win32Tree.h"

namespace ub {

class CCwFrame;

constexpr int kWaitTemplate = 135;
// Posted to the tree when a list operation is over: a selection that
// changed meanwhile is shown now.
constexpr UINT WM_UB_SHOW_SELECTION = WM_APP + 2;

// "Connecting to server, please waiting..." until the first snapshot.
class CWaitDialog : public CSkinBox {
public:
    CWaitDialog();
    bool Exists() const { return m_hWnd != nullptr; }

protected:
    void Layout() override;
    void OnOK() override { EndDialog(IDOK); }
};

class CCwTreeView : public win::CWindow, private ITimerHost {
public:
    CCwTreeView(CClientSettings& settings, IClientFrame& frame, CCwFrame& pages, HWND mainFrame);
    ~CCwTreeView() override;

    HWND CreatePane(HWND parent, int id);
    // After the frame exists: autostart, registration, service start, timer 1.
    void InitialUpdate();
    // Menu commands routed through the frame; true when handled.
    bool OnCommand(int id);
    // Selection changes of the tree, reflected by the pane's parent.
    bool OnNotify(NMHDR* header);
    void NavigateBack();

    // The quit steps' part: frees the tables and closes the channel.
    void CloseClientChannel() { m_channel.CloseClientChannel(&m_tables); }
    void CloseWaitDialog();
    bool WaitDialogExists() const { return m_wait.Exists(); }

    // Writes the settings' server speed into the channel's header, once
    // the channel is open.
    void ApplyServiceSpeed();
    CTreeController& Controller() { return *m_controller; }
    CClientTables& Tables() { return m_tables; }
    CWin32Tree& Tree() { return m_tree; }
    HIMAGELIST Images() const { return m_images; }
    const std::string& ProgramFolder() const { return m_programFolder; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void StartTimer(unsigned id, uint32_t periodMs) override { ::SetTimer(m_hWnd, id, periodMs, nullptr); }
    void StopTimer(unsigned id) override { ::KillTimer(m_hWnd, id); }
    void BuildImageList();
    void HandleSelection(TreeItem item);
    void SelectNode(TreeItem node, bool expand);

    CClientSettings& m_settings;
    IClientFrame& m_frame;
    CCwFrame& m_pages;
    HWND m_mainFrame;
    CWaitDialog m_wait;
    HIMAGELIST m_images = nullptr;
    std::string m_programPath, m_programFolder;

    CWin32Tree m_tree;
    CClientTables m_tables;
    CWin32VersionInfo m_versions;
    CWin32FileAttributes m_attributes;
    CWin32SystemIcons m_icons;
    CWin32QuarantineFiles m_files;
    std::unique_ptr<CWin32ArchiveFile> m_archive;
    CWin32Prompt m_prompt;
    std::unique_ptr<CTreeController> m_controller;
    std::unique_ptr<CClientMonitor> m_monitor;
    CClientChannel m_channel;

    // Selection changes while a refresh rebuilds the tree, or while a list
    // operation deletes the selected node, are handled once it is over:
    // until then deleted items may carry freed records, and the pages of
    // the new selection would show lists that are still changing.
    bool m_refreshing = false;
    void ShowChangedSelection();
    TreeItem m_shownItem = kNoItem;
};

}  // namespace ub
