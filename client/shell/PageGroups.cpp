#include "client/shell/PageGroups.h"

namespace ub {
namespace {

// Positions of the skip flags in the settings record.
enum SkipField {
    TITLE_SKIP = 0,
    WARN_SKIP = 1,
    WARN_ITEM_SKIP = 2,
    AUTH_SKIP = 3,
    AUTH_ITEM_SKIP = 4,
    QUAR_SKIP = 5,
    ALL_PROC_SKIP = 6,
    MOD_SKIP = 7,
    PROC_SKIP = 8,
    STAND_SKIP = 9,
};

const PageGroupInfo kGroups[kPageGroupCount] = {
    {{125}, -1},  // the root's overview is always shown first
    {{121}, -1},
    {{117, 118}, WARN_SKIP},
    {{126, 127, 132}, WARN_ITEM_SKIP},
    {{115, 116}, AUTH_SKIP},
    {{128, 129, 131}, AUTH_ITEM_SKIP},
    {{113, 114}, QUAR_SKIP},
    {{103, 104, 105}, ALL_PROC_SKIP},
    {{107, 108, 109, 130}, MOD_SKIP},  // a process: ModSkip, despite its name
    {{110, 111, 112}, PROC_SKIP},      // a module of a process: ProcSkip
    {{123}, -1},
    {{119, 120}, STAND_SKIP},
    {{124}, -1},
    {{122}, -1},
};

}  // namespace

const PageGroupInfo& PageGroup(int index) { return kGroups[index]; }

int PageCount(const PageGroupInfo& group) {
    int n = 0;
    while (n < kMaxGroupPages && group.templates[n]) ++n;
    return n;
}

int FirstPage(int skipFlag, int pageCount) { return skipFlag > 0 && skipFlag < pageCount ? skipFlag : 0; }

int FirstPage(int groupIndex, const CClientSettings& settings) {
    const PageGroupInfo& g = PageGroup(groupIndex);
    return g.skipField < 0 ? 0 : FirstPage(settings.Field(size_t(g.skipField)), PageCount(g));
}

void SelectTab(HeaderLook& look, int tab) {
    for (int k = 0; k < kHeaderTabs; ++k) {
        if (look.selected[size_t(k)]) {
            look.selected[size_t(k)] = false;
            look.normal[size_t(k)] = true;
        }
    }
    if (tab < 0 || tab >= kHeaderTabs) return;
    look.normal[size_t(tab)] = false;
    look.selected[size_t(tab)] = true;
}

void UpdateHeader(HeaderLook& look, int pageCount, int currentPage, int groupIndex) {
    look.logo = groupIndex;
    for (int k = 0; k < kHeaderTabs; ++k) {
        look.normal[size_t(k)] = k < pageCount;
        look.selected[size_t(k)] = false;
    }
    int p = currentPage;
    if (groupIndex == kStandardGroup) {
        // The configuration sheet is reached through the Setting tab, which
        // takes the List tab's place.
        look.normal[1] = false;
        look.normal[kSettingTab] = true;
        if (p == 1) p = kSettingTab;
    }
    SelectTab(look, p);
}

}  // namespace ub
