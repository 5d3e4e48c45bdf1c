// The page groups of the page frame, the page each group opens on, and the
// header bar's tabs and logos as they follow the current group. Portable:
// the frame applies the resulting looks to its controls.
#pragma once

#include <array>
#include <cstdint>

#include "client/shell/ClientSettings.h"

namespace ub {

constexpr int kPageGroupCount = 14;
constexpr int kMaxGroupPages = 4;
constexpr int kHeaderTabs = 5;  // Overview, List, Detail, More, Setting
constexpr int kSettingTab = 4;
constexpr int kStandardGroup = 11;

struct PageGroupInfo {
    int templates[kMaxGroupPages];  // dialog templates of the pages; 0 ends the list
    int skipField;                  // index of the skip flag in CClientSettings, -1 for none
};

// The group of a page index 0 to 13.
const PageGroupInfo& PageGroup(int index);
int PageCount(const PageGroupInfo& group);

// The page a group opens on: page k when the skip flag k is smaller than
// the number of pages, otherwise the overview page 0.
int FirstPage(int skipFlag, int pageCount);
int FirstPage(int groupIndex, const CClientSettings& settings);

// Which header controls are visible.
struct HeaderLook {
    std::array<bool, kHeaderTabs> normal{};    // tabs 2000 to 2004
    std::array<bool, kHeaderTabs> selected{};  // tabs 2005 to 2009
    int logo = -1;                             // the one visible logo (page index), -1 for none
};

// After a group became current: n pages, page p current, page index g.
void UpdateHeader(HeaderLook& look, int pageCount, int currentPage, int groupIndex);
// Tab k selected: every selected tab back to normal, tab k shown selected.
void SelectTab(HeaderLook& look, int tab);
// The page a click on tab k switches to: the Setting tab is page 1.
inline int PageOfTab(int tab) { return tab == kSettingTab ? 1 : tab; }

}  // namespace ub
