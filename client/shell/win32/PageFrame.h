// The right pane: the header bar with its tabs, back button and logos, and
// the fourteen page groups, one of which shows one page at a time.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "client/controls/win32/SkinPage.h"
#include "client/controls/win32/Window.h"
#include "client/shell/ClientSettings.h"
#include "client/shell/PageGroups.h"

namespace ub {

constexpr int kHeaderTemplate = 101;
constexpr int kHeaderHeight = 50;
constexpr int kFirstTabId = 2000;       // 2000..2004 normal, 2005..2009 selected
constexpr int kBackButtonId = 2010;
constexpr int kFirstLogoId = 2160;      // one per page index

// The header bar: a child dialog whose pictures are the tabs, the back
// button and the logos. Tab clicks and the back button go to the owner.
class CHeaderBar : public CSkinPage {
public:
    CHeaderBar() : CSkinPage(kHeaderTemplate) {}
    std::function<void(int tab)> onTab;
    std::function<void()> onBack;

    void Apply(const HeaderLook& look);
    const HeaderLook& Look() const { return m_look; }

protected:
    void Layout() override;
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    HeaderLook m_look;
};

struct CPageGroup {
    std::vector<std::unique_ptr<CSkinPage>> pages;
    int current = 0;
    uintptr_t parameter = 0;
    CSkinPage* Current() const { return current < int(pages.size()) ? pages[size_t(current)].get() : nullptr; }
};

// Makes the page object of a dialog template.
using PageFactory = std::function<std::unique_ptr<CSkinPage>(int templateId)>;

class CCwFrame : public win::CWindow {
public:
    static constexpr char kClassName[] = "UbPageFrame";

    CCwFrame(const CClientSettings& settings, PageFactory factory)
        : m_settings(settings), m_factory(std::move(factory)) {}

    HWND CreatePane(HWND parent, int id);
    std::function<void()> onBack;

    // Shows a page group with its parameter; 0 for an index beyond 13.
    int ShowPage(int index, uintptr_t parameter);
    // A tab of the header was clicked.
    void OnTab(int tab);
    // After a refresh: the visible page updates.
    void TablesChanged(int mode);
    // After going back: the visible page selects its row again.
    void Reselect(uintptr_t value);

    int CurrentGroup() const { return m_current; }
    // The page on show, or null.
    HWND VisiblePage() const {
        CSkinPage* page = m_groups[size_t(m_current)].Current();
        return page ? page->Handle() : nullptr;
    }
    const CPageGroup& Group(int index) const { return m_groups[size_t(index)]; }
    CHeaderBar& Header() { return m_header; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void BuildGroups();
    void SwitchToPage(int page);
    void Resize(int cx, int cy);

    const CClientSettings& m_settings;
    PageFactory m_factory;
    CHeaderBar m_header;
    std::array<CPageGroup, kPageGroupCount> m_groups;
    int m_current = 0;
};

}  // namespace ub
