// UBclient: the tray client. Checks the system, loads the settings, builds
// the main frame, registers with the service and runs the message loop.
#include <windows.h>
#include <commctrl.h>

#include "client/shell/ClientSettings.h"
#include "client/shell/win32/MainFrame.h"
#include "client/shell/win32/ShellPlatform.h"
#include "client/shell/win32/Win32SettingsRegistry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // NT family, version 5 or later.
    const OSVERSIONINFOA* version = ub::OsVersion();
    if (!version || version->dwPlatformId != VER_PLATFORM_WIN32_NT || version->dwMajorVersion < 5) return 0;

    static ub::CClientSettings settings;
    {
        ub::CWin32SettingsRegistry registry;
        settings.Load(registry);
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    ub::CMainFrame frame(settings);
    if (!frame.CreateFrame()) return 0;
    frame.InitialUpdate();
    ::ShowWindow(frame, settings.AutoMin ? SW_HIDE : SW_SHOW);
    ::UpdateWindow(frame);

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (frame.PreTranslateMessage(&msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
