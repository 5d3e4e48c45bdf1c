#include "client/shell/win32/PageFrame.h"

#include "client/monitor/TreeController.h"

namespace ub {
namespace {

struct TabRect {
    int id, x, y, cx, cy;
};

// Tabs in both looks and the back button, in pixels.
const TabRect kHeaderRects[] = {
    {2000, 68, 18, 82, 30},  {2001, 170, 18, 44, 30}, {2002, 240, 18, 64, 30}, {2003, 323, 18, 50, 30},
    {2004, 170, 18, 61, 28}, {2005, 68, 15, 84, 46},  {2006, 170, 15, 46, 46}, {2007, 240, 15, 66, 46},
    {2008, 323, 15, 52, 46}, {2009, 170, 15, 63, 47}, {2010, 23, 8, 21, 21},
};

void ShowItem(HWND dialog, int id, bool show) { ::ShowWindow(::GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE); }

}  // namespace

// ---- header bar ----

void CHeaderBar::Layout() {
    for (const TabRect& r : kHeaderRects) {
        if (!Skin(r.id)) break;  // later pictures stay unskinned
        Place(r.id, r.x, r.y, r.cx, r.cy);
    }
    for (int i = 0; i < kPageGroupCount; ++i)
        if (!Skin(kFirstLogoId + i)) break;
}

void CHeaderBar::Apply(const HeaderLook& look) {
    m_look = look;
    for (int k = 0; k < kHeaderTabs; ++k) {
        ShowItem(m_hWnd, kFirstTabId + k, look.normal[size_t(k)]);
        ShowItem(m_hWnd, kFirstTabId + kHeaderTabs + k, look.selected[size_t(k)]);
    }
    for (int i = 0; i < kPageGroupCount; ++i) ShowItem(m_hWnd, kFirstLogoId + i, i == look.logo);
}

bool CHeaderBar::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) return false;
    if (id >= kFirstTabId && id < kFirstTabId + kHeaderTabs) {
        if (onTab) onTab(id - kFirstTabId);
        return true;
    }
    if (id == kBackButtonId) {
        if (onBack) onBack();
        return true;
    }
    return false;
}

INT_PTR CHeaderBar::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: {
            int cx = LOWORD(lp);
            for (int i = 0; i < kPageGroupCount; ++i)
                ::SetWindowPos(Item(kFirstLogoId + i), nullptr, cx - 68, 1, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
            return TRUE;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(m_hWnd, &ps);
            RECT r = ClientRect();
            // A line along the bottom edge, between the tabs and the logo.
            HPEN pen = ::CreatePen(PS_SOLID, 1, RGB(160, 160, 160));
            HGDIOBJ old = ::SelectObject(dc, pen);
            ::MoveToEx(dc, 20, r.bottom - 1, nullptr);
            ::LineTo(dc, r.right - 68, r.bottom - 1);
            ::SelectObject(dc, old);
            ::DeleteObject(pen);
            ::EndPaint(m_hWnd, &ps);
            return TRUE;
        }
    }
    return CSkinPage::DialogProc(msg, wp, lp);
}

// ---- page frame ----

HWND CCwFrame::CreatePane(HWND parent, int id) {
    RegisterClass(kClassName, CS_HREDRAW | CS_VREDRAW, nullptr, ::LoadCursor(nullptr, IDC_ARROW),
                  static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    return Create(kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 500, 80, parent,
                  reinterpret_cast<HMENU>(INT_PTR(id)));
}

void CCwFrame::BuildGroups() {
    for (int g = 0; g < kPageGroupCount; ++g) {
        const PageGroupInfo& info = PageGroup(g);
        CPageGroup& group = m_groups[size_t(g)];
        for (int t : info.templates) {
            if (!t) break;
            std::unique_ptr<CSkinPage> page = m_factory(t);
            if (!page || !page->CreateModeless(m_hWnd)) break;  // a missing page ends the group
            ::ShowWindow(*page, SW_HIDE);
            group.pages.push_back(std::move(page));
        }
        group.current = FirstPage(g, m_settings);
        if (group.current >= int(group.pages.size())) group.current = 0;
    }
    m_current = 0;
    if (CSkinPage* first = m_groups[0].Current()) ::ShowWindow(*first, SW_SHOW);
}

int CCwFrame::ShowPage(int index, uintptr_t parameter) {
    if (index < 0 || index >= kPageGroupCount) return 0;
    if (CSkinPage* old = m_groups[size_t(m_current)].Current()) ::ShowWindow(*old, SW_HIDE);
    m_current = index;
    CPageGroup& group = m_groups[size_t(index)];
    HeaderLook look = m_header.Look();
    UpdateHeader(look, int(group.pages.size()), group.current, index);
    m_header.Apply(look);
    CSkinPage* page = group.Current();
    if (!page) return 0;
    ::ShowWindow(*page, SW_SHOW);
    group.parameter = parameter;
    return page->ShowContext(parameter);
}

void CCwFrame::SwitchToPage(int page) {
    CPageGroup& group = m_groups[size_t(m_current)];
    if (page >= int(group.pages.size()) || !group.pages[size_t(page)]) return;
    if (CSkinPage* old = group.Current()) ::ShowWindow(*old, SW_HIDE);
    group.current = page;
    ::ShowWindow(*group.pages[size_t(page)], SW_SHOW);
    group.pages[size_t(page)]->ShowContext(group.parameter);
}

void CCwFrame::OnTab(int tab) {
    HeaderLook look = m_header.Look();
    SelectTab(look, tab);
    m_header.Apply(look);
    SwitchToPage(PageOfTab(tab));
}

void CCwFrame::TablesChanged(int mode) {
    if (mode == 2) {
        // The groups of the tree's dynamic nodes carry a record or an entry
        // as their parameter; after a snapshot those are freed. The node's
        // new item brings the new one when it is selected.
        for (int g : {PAGE_WARNING_ITEM, PAGE_AUTHENTIC_ITEM, PAGE_PROCESS, PAGE_MODULE})
            m_groups[size_t(g)].parameter = 0;
        for (CPageGroup& g : m_groups)
            for (auto& page : g.pages) page->ForgetRecords();
    }
    const CPageGroup& group = m_groups[size_t(m_current)];
    if (CSkinPage* page = group.Current()) page->OnTablesChanged(mode, group.parameter);
}

void CCwFrame::Reselect(uintptr_t value) {
    if (CSkinPage* page = m_groups[size_t(m_current)].Current()) page->Reselect(value);
}

void CCwFrame::Resize(int cx, int cy) {
    if (m_header.Handle()) ::MoveWindow(m_header, 0, 0, cx, kHeaderHeight, TRUE);
    for (CPageGroup& group : m_groups)
        for (auto& page : group.pages) ::MoveWindow(*page, 0, kHeaderHeight, cx, cy - kHeaderHeight, TRUE);
}

LRESULT CCwFrame::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            m_header.onTab = [this](int tab) { OnTab(tab); };
            m_header.onBack = [this] {
                if (onBack) onBack();
            };
            if (!m_header.CreateModeless(m_hWnd)) return -1;
            ::ShowWindow(m_header, SW_SHOW);
            BuildGroups();
            {
                // The header starts with the root group's look.
                HeaderLook look;
                UpdateHeader(look, int(m_groups[0].pages.size()), m_groups[0].current, 0);
                m_header.Apply(look);
            }
            return 0;
        case WM_SIZE:
            Resize(LOWORD(lp), HIWORD(lp));
            return 0;
    }
    return DefaultProc(msg, wp, lp);
}

}  // namespace ub
