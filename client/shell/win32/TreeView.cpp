#include "client/shell/win32/TreeView.h"

#include <commctrl.h>

#include "client/config/win32/SearchDialog.h"
#include "client/res/resource.h"
#include "client/shell/ServiceCommands.h"
#include "client/shell/win32/PageFrame.h"
#include "common/Paths.h"
#include "common/win32/Win32ProgramDirectory.h"

namespace ub {
namespace {

// Icons appended to the image list, in this order.
const int kClientIcons[] = {131, 132, 133, 134, 146, 147, 135, 136, 137, 138, 139, 140, 141, 142, 143, 145, 148};

}  // namespace

// ---- wait dialog ----

void CWaitDialog::Layout() {
    // 380 by 100 pixels of client area, so that the button at (284, 63)
    // shows whole under any caption height.
    RECT r{0, 0, 380, 100};
    ::AdjustWindowRectEx(&r, DWORD(::GetWindowLongA(m_hWnd, GWL_STYLE)), FALSE,
                         DWORD(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CSkinPage::Layout();
}

CWaitDialog::CWaitDialog() : CSkinBox(kWaitTemplate, IDC_WAIT_CANCEL) {}

// ---- tree view ----

CCwTreeView::CCwTreeView(CClientSettings& settings, IClientFrame& frame, CCwFrame& pages, HWND mainFrame)
    : m_settings(settings), m_frame(frame), m_pages(pages), m_mainFrame(mainFrame), m_prompt(mainFrame) {
    m_programPath = ProgramPath();
    m_programFolder = FolderOf(m_programPath);
    m_archive = std::make_unique<CWin32ArchiveFile>(m_programFolder + "UBqa.dat");
    TreePlatform platform;
    platform.versionInfo = &m_versions;
    platform.attributes = &m_attributes;
    platform.systemIcons = &m_icons;
    platform.files = &m_files;
    platform.archive = m_archive.get();
    platform.folders = ReadTrustedFolders();
    platform.wideToAnsi = Win32WideToAnsi;
    if (const OSVERSIONINFOA* version = OsVersion())
        platform.windows2000 = version->dwMajorVersion == 5 && version->dwMinorVersion == 0;
    m_controller = std::make_unique<CTreeController>(m_tree, m_tables, m_settings, m_frame, m_prompt, platform);
    m_monitor = std::make_unique<CClientMonitor>(*m_controller, m_tables, m_settings, m_frame,
                                                 static_cast<ITimerHost&>(*this));
    m_controller->onIdle = [this] {
        if (m_hWnd) ::PostMessageA(m_hWnd, WM_UB_SHOW_SELECTION, 0, 0);
    };
}

CCwTreeView::~CCwTreeView() { m_channel.CloseClientChannel(&m_tables); }

HWND CCwTreeView::CreatePane(HWND parent, int id) {
    HWND tree = ::CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                                      TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS | TVS_TRACKSELECT | TVS_INFOTIP,
                                  0, 0, 180, 80, parent, reinterpret_cast<HMENU>(INT_PTR(id)), win::Instance(),
                                  nullptr);
    if (!tree || !Subclass(tree)) return nullptr;
    m_tree.Attach(tree);
    BuildImageList();
    m_controller->InsertFixedNodes();
    return tree;
}

void CCwTreeView::BuildImageList() {
    HIMAGELIST list = SystemSmallImageList();
    if (!list) {
        list = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 32, 32);
    }
    for (int icon : kClientIcons) {
        HICON h = static_cast<HICON>(
            ::LoadImageA(win::Instance(), MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        int index = h ? ::ImageList_AddIcon(list, h) : -1;
        if (h) ::DestroyIcon(h);
        if (index >= 0) m_controller->Images().Set(icon, index);
    }
    TreeView_SetImageList(m_hWnd, list, TVSIL_NORMAL);
    m_images = list;
}

void CCwTreeView::InitialUpdate() {
    WriteAutostart(m_programPath);
    if (!m_channel.AcquireClientInstance()) {
        ::PostMessageA(m_mainFrame, WM_COMMAND, ID_QUIT_QUIET, 0);
        return;
    }
    m_monitor->Attach(&m_channel.Block(), &m_channel.Lock());
    m_tree.SelectItem(m_controller->Nodes().root);
    ::PostMessageA(m_hWnd, WM_COMMAND, ID_SHOW_WAIT, 0);
    RunServiceCommand(m_programFolder, kServiceStart);
    m_monitor->Start();
}

void CCwTreeView::ApplyServiceSpeed() {
    if (m_channel.IsOpen()) SetServiceSpeed(m_channel.Block(), 0, uint32_t(m_settings.SvrSpeed + 1));
}

void CCwTreeView::CloseWaitDialog() {
    if (m_wait.Exists()) ::PostMessageA(m_wait, WM_COMMAND, IDOK, 0);
}

void CCwTreeView::SelectNode(TreeItem node, bool expand) {
    m_tree.SelectItem(node);
    m_tree.EnsureVisible(node);
    if (expand) m_tree.Expand(node);
}

bool CCwTreeView::OnCommand(int id) {
    const FixedNodes& n = m_controller->Nodes();
    switch (id) {
        case ID_FILE_CONFIGURE: SelectNode(n.standard, false); return true;
        case ID_VIEW_WARNING_LIST: SelectNode(n.warningList, true); return true;
        case ID_VIEW_AUTHENTIC_LIST: SelectNode(n.authentic, true); return true;
        case ID_VIEW_QUARANTINE_LIST: SelectNode(n.quarantine, false); return true;
        case ID_VIEW_PROCESSES: SelectNode(n.processes, true); return true;
        case ID_APP_ABOUT: SelectNode(n.about, false); return true;
        case ID_VIEW_SEARCH: {
            // Nothing of the dialog outlives it.
            CSearchDialog search(*m_controller, n.processes);
            search.DoModal(m_mainFrame);
            return true;
        }
        case ID_SHOW_WAIT:
            if (::IsWindowVisible(m_hWnd)) m_wait.DoModal(m_mainFrame);
            return true;
    }
    return false;
}

void CCwTreeView::HandleSelection(TreeItem item) {
    m_shownItem = item;
    if (item == kNoItem) return;
    PageTarget target = m_controller->PageOf(item);
    m_pages.ShowPage(target.page, target.parameter);
    m_controller->OnSelectionChanged(item);
}

bool CCwTreeView::OnNotify(NMHDR* header) {
    if (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW) {
        auto* tv = reinterpret_cast<NMTREEVIEWA*>(header);
        if (!m_refreshing && !m_controller->Busy()) HandleSelection(CWin32Tree::Handle(tv->itemNew.hItem));
        return true;
    }
    return false;
}

void CCwTreeView::ShowChangedSelection() {
    TreeItem selected = m_tree.SelectedItem();
    if (selected != m_shownItem) HandleSelection(selected);
}

void CCwTreeView::NavigateBack() {
    m_controller->History().NavigateBack(m_tree, [this](uintptr_t value) { m_pages.Reselect(value); });
}

LRESULT CCwTreeView::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER: {
            // A tick inside a message box of a refresh is skipped by the
            // monitor; the outer refresh still runs and handles the
            // selection when it is over.
            const bool outer = !m_refreshing;
            m_refreshing = true;
            bool mine = m_monitor->OnRefreshTimer(unsigned(wp));
            m_refreshing = !outer;
            if (!mine) break;
            if (!outer) return 0;
            // A selection the refresh changed (its item was deleted) is shown
            // now, with the rebuilt records.
            ShowChangedSelection();
            return 0;
        }
        case WM_UB_SHOW_SELECTION:
            if (!m_refreshing && !m_controller->Busy()) ShowChangedSelection();
            return 0;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wp))) return 0;
            break;
    }
    return DefaultProc(msg, wp, lp);
}

}  // namespace ub
