#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <vector>

#include "client/controls/PageLayouts.h"
#include "client/res/resource.h"

namespace ub {

static std::ostream& operator<<(std::ostream& os, const LayoutRect& r) {
    return os << r.x << "," << r.y << "," << r.width << "," << r.height;
}

namespace {

// Every template that has a layout, and a few that have none.
TEST(PageLayouts, Lookup) {
    const int withLayout[] = {
        IDD_HEADER_BAR, 103, 104, 105, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118,
        119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132, IDD_SEARCH, IDD_WAIT,
    };
    for (int id : withLayout) {
        const PageLayout* layout = FindPageLayout(id);
        ASSERT_NE(layout, nullptr) << id;
        EXPECT_EQ(layout->templateId, id);
    }
    for (int id : {0, 102, 106, 133, 136})
        EXPECT_EQ(FindPageLayout(id), nullptr) << id;
}

// Rectangles picked from the tables, by position in the page's list.
TEST(PageLayouts, Rectangles) {
    struct Case {
        int templateId, index;
        LayoutRect rect;
    } cases[] = {
        {101, 0, {68, 18, 82, 30}},      // Overview tab
        {101, 4, {170, 18, 61, 28}},     // Setting tab, where List sits
        {101, 9, {170, 15, 63, 47}},     // Setting, selected
        {101, 10, {23, 8, 21, 21}},      // back button
        {125, 0, {32, 27, 379, 120}},    // "Welcome"
        {125, 9, {86, 212, 127, 21}},    // "ToPNode"
        {117, 6, {87, 141, 100, 25}},    // "ToList"
        {107, 4, {65, 173, 16, 16}},     // third jump choice, empty box
        {107, 12, {86, 168, 104, 25}},   // "ToMore"
        {119, 0, {32, 27, 355, 61}},     // "StandWel"
        {105, 2, {17, 120, 139, 24}},    // "WinDir"
        {105, 7, {159, 170, 299, 23}},   // 1053
        {109, 0, {27, 30, 81, 23}},      // "FullN"
        {109, 9, {111, 65, 150, 18}},    // 1030
        {109, 17, {111, 36, 414, 18}},   // 1038
        {112, 12, {408, 255, 55, 23}},   // "MoreInfo"
        {132, 13, {158, 33, 414, 18}},   // 1010
        {130, 24, {158, 66, 90, 18}},    // 1021
        {120, 0, {105, 30, 157, 22}},    // "SvrSpeed"
        {120, 29, {207, 300, 23, 17}},   // 2129
        {120, 39, {363, 210, 101, 24}},  // "ByBtime"
        {120, 42, {162, 254, 327, 23}},  // "AutoMin"
        {104, 0, {15, 8, 53, 21}},       // list caption
        {121, 0, {32, 27, 219, 26}},     // "ViewWel"
        {122, 0, {60, 15, 315, 121}},    // "AboutText"
        {134, 0, {15, 15, 344, 46}},     // "SrchInfo"
        {134, 2, {291, 111, 54, 23}},    // "Cancel"
        {135, 1, {284, 63, 54, 23}},     // "Cancel"
    };
    for (const Case& c : cases) {
        const PageLayout* layout = FindPageLayout(c.templateId);
        ASSERT_NE(layout, nullptr);
        ASSERT_LT(c.index, layout->rectCount) << c.templateId;
        EXPECT_EQ(layout->rects[c.index], c.rect) << c.templateId << " #" << c.index;
    }
}

// A closed range has one rectangle per identifier, then one per edit field.
TEST(PageLayouts, ClosedRangesCoverEveryIdentifier) {
    for (int id = 100; id <= 140; ++id) {
        const PageLayout* layout = FindPageLayout(id);
        if (!layout || layout->range != IdRange::Closed) continue;
        EXPECT_EQ(layout->PictureRectCount(), layout->lastId - layout->firstId + 1) << id;
        EXPECT_EQ(layout->presentIds, nullptr) << id;
        for (int k = 1; k < layout->editCount; ++k)
            EXPECT_LT(layout->editIds[k - 1], layout->editIds[k]) << id;
    }
    struct Case {
        int templateId, first, last, edits;
    } cases[] = {
        {IDD_HEADER_BAR, IDC_TAB_OVERVIEW, IDC_BACK, 0},
        {IDD_CONFIGURATION, IDC_SVR_SPEED_TITLE, IDC_AUTO_MIN, 0},
        {IDD_PROCESS_DETAILS, IDC_CAP_FULL_NAME, IDC_CAP_USER_TIME, 9},
        {IDD_MODULE_FILE, IDC_CAP_PATH, IDC_MORE_INFO, 12},
        {IDD_SYSTEM_INFO, IDC_CAP_PC_NAME, IDC_CAP_SYSTEM_DIR, 4},
        {IDD_SEARCH, IDC_SEARCH_INFO, IDC_SEARCH_CANCEL, 0},
        {IDD_WAIT, IDC_WAIT_INFO, IDC_WAIT_CANCEL, 0},
        {IDD_WARNING_LIST, IDC_LIST_CAPTION, IDC_LIST_CAPTION, 0},
    };
    for (const Case& c : cases) {
        const PageLayout* layout = FindPageLayout(c.templateId);
        ASSERT_NE(layout, nullptr);
        EXPECT_EQ(layout->firstId, c.first) << c.templateId;
        EXPECT_EQ(layout->lastId, c.last) << c.templateId;
        EXPECT_EQ(layout->editCount, c.edits) << c.templateId;
    }
    EXPECT_EQ(FindPageLayout(IDD_PROCESS_DETAILS)->editIds[0], IDC_EDIT_IMAGE_NAME);
    EXPECT_EQ(FindPageLayout(IDD_WARNING_FILE)->editIds[11], IDC_EDIT_WARN_LEVEL);
}

// The overview pages read the shared list one after the other, in the order
// in which the frame initialises them, and use it up exactly.
TEST(PageLayouts, OverviewPagesShareOneList) {
    int position = 0;
    for (int id : kOverviewInitOrder) {
        const PageLayout* layout = FindPageLayout(id);
        ASSERT_NE(layout, nullptr) << id;
        EXPECT_EQ(layout->range, IdRange::Sparse) << id;
        EXPECT_EQ(layout->firstId, IDC_TITLE);
        EXPECT_EQ(layout->lastId, IDC_CHOICE3_TEXT);
        EXPECT_EQ(layout->rects, OverviewRects() + position) << id;
        EXPECT_EQ(layout->presentCount, layout->rectCount) << id;
        EXPECT_EQ(layout->presentIds[0], IDC_TITLE) << id;
        for (int k = 1; k < layout->presentCount; ++k)
            EXPECT_LT(layout->presentIds[k - 1], layout->presentIds[k]) << id;
        position += layout->rectCount;
    }
    EXPECT_EQ(position, kOverviewRectCount);

    // Choices by group: the process group has three, "Warning list" one.
    EXPECT_EQ(FindPageLayout(IDD_PROCESS_OVERVIEW)->presentCount, 13);
    EXPECT_EQ(FindPageLayout(IDD_WELCOME)->presentCount, 10);
    EXPECT_EQ(FindPageLayout(IDD_WARNING_OVERVIEW)->presentCount, 7);
}

// A ticked box lies on its empty box: 3 pixels to the left, 7 wider, 1
// taller, on the same row (overview pages: within two pixels).
TEST(PageLayouts, TickedBoxesCoverEmptyBoxes) {
    auto rectOf = [](const PageLayout& layout, int id) -> LayoutRect {
        if (layout.range == IdRange::Closed) return layout.rects[id - layout.firstId];
        for (int k = 0; k < layout.presentCount; ++k)
            if (layout.presentIds[k] == id) return layout.rects[k];
        ADD_FAILURE() << "no control " << id << " in " << layout.templateId;
        return {};
    };
    auto check = [&](const PageLayout& layout, int emptyId, int tickedId, int rowSlack) {
        LayoutRect e = rectOf(layout, emptyId), t = rectOf(layout, tickedId);
        EXPECT_EQ(e.width, 16) << emptyId;
        EXPECT_EQ(e.height, 16) << emptyId;
        EXPECT_EQ(t.x, e.x - 3) << tickedId;
        EXPECT_EQ(t.width, e.width + 7) << tickedId;
        EXPECT_EQ(t.height, e.height + 1) << tickedId;
        EXPECT_LE(std::abs(t.y - e.y), rowSlack) << tickedId;
    };

    const PageLayout& config = *FindPageLayout(IDD_CONFIGURATION);
    const int pairs[][2] = {
        {IDC_SVR_SLOW_BOX, IDC_SVR_SLOW_TICKED},   {IDC_SVR_MID_BOX, IDC_SVR_MID_TICKED},
        {IDC_SVR_FAST_BOX, IDC_SVR_FAST_TICKED},   {IDC_CLI_SLOW_BOX, IDC_CLI_SLOW_TICKED},
        {IDC_CLI_MID_BOX, IDC_CLI_MID_TICKED},     {IDC_CLI_FAST_BOX, IDC_CLI_FAST_TICKED},
        {IDC_WARN_LOW_BOX, IDC_WARN_LOW_TICKED},   {IDC_WARN_MID_BOX, IDC_WARN_MID_TICKED},
        {IDC_AUTO_DEL_BOX, IDC_AUTO_DEL_TICKED},   {IDC_SORT_NAME_BOX, IDC_SORT_NAME_TICKED},
        {IDC_SORT_PID_BOX, IDC_SORT_PID_TICKED},   {IDC_SORT_BTIME_BOX, IDC_SORT_BTIME_TICKED},
        {IDC_AUTO_MIN_BOX, IDC_AUTO_MIN_TICKED},
    };
    for (const auto& p : pairs) check(config, p[0], p[1], 0);

    for (int id : kOverviewInitOrder) {
        const PageLayout& layout = *FindPageLayout(id);
        for (int k = 0; k < layout.presentCount; ++k) {
            int box = layout.presentIds[k];
            if (box >= IDC_SKIP_BOX && box <= IDC_CHOICE3_BOX) check(layout, box, box + 4, 2);
        }
    }
}

TEST(PageLayouts, FixedPlacements) {
    struct Case {
        int templateId;
        std::vector<int> ids;
    } cases[] = {
        {IDD_PROCESS_DETAILS, {IDC_KILL}},
        {IDD_MODULE_FILE, {}},
        {IDD_PROCESS_FILE, {IDC_KILL}},
        {IDD_AUTHENTIC_FILE, {IDC_CLEAN}},
        {IDD_WARNING_FILE, {IDC_AUTHIT, IDC_QUARIT}},
        {IDD_INFORMATION, {IDC_HELP_BUTTON, IDC_ONLINE}},
        {IDD_SEARCH, {IDC_SEARCH_TEXT}},
        {IDD_CONFIGURATION, {}},
    };
    for (const Case& c : cases) {
        const PageLayout& layout = *FindPageLayout(c.templateId);
        ASSERT_EQ(layout.fixedCount, int(c.ids.size())) << c.templateId;
        for (int k = 0; k < layout.fixedCount; ++k)
            EXPECT_EQ(layout.fixed[k].id, c.ids[size_t(k)]) << c.templateId;
    }
    EXPECT_EQ(FindPageLayout(IDD_PROCESS_DETAILS)->fixed[0].rect, (LayoutRect{408, 195, 53, 21}));
    EXPECT_EQ(FindPageLayout(IDD_WARNING_FILE)->fixed[1].rect, (LayoutRect{264, 255, 57, 27}));
    EXPECT_EQ(FindPageLayout(IDD_INFORMATION)->fixed[1].rect, (LayoutRect{230, 72, 53, 24}));
}

TEST(PageLayouts, HeaderLogoFollowsTheWidth) {
    EXPECT_EQ(HeaderLogoRect(600), (LayoutRect{532, 1, 48, 48}));
    EXPECT_EQ(HeaderLogoRect(800), (LayoutRect{732, 1, 48, 48}));
    EXPECT_EQ(kHeaderLogoLast - kHeaderLogoFirst + 1, 14);
    EXPECT_EQ(kHeaderLogoFirst, IDC_LOGO1);
    EXPECT_EQ(kHeaderLogoLast, IDC_LOGO14);
}

}  // namespace
}  // namespace ub
