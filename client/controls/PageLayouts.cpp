#include "client/controls/PageLayouts.h"

namespace ub {
namespace {

// Header bar 101: tabs 2000 to 2004, selected tabs 2005 to 2009, back 2010.
const LayoutRect kHeaderRects[] = {
    {68, 18, 82, 30},  // Overview
    {170, 18, 44, 30},  // List
    {240, 18, 64, 30},  // Detail
    {323, 18, 50, 30},  // More
    {170, 18, 61, 28},  // Setting
    {68, 15, 84, 46},  // Overview, selected
    {170, 15, 46, 46},  // List, selected
    {240, 15, 66, 46},  // Detail, selected
    {323, 15, 52, 46},  // More, selected
    {170, 15, 63, 47},  // Setting, selected
    {23, 8, 21, 21},  // back
};

// The overview pages' shared list (template: control).
const LayoutRect kOverviewRects[] = {
    {32, 27, 379, 120},  // 125: 2020
    {45, 167, 16, 16},  // 125: 2021
    {66, 191, 16, 16},  // 125: 2022
    {65, 216, 16, 16},  // 125: 2023
    {42, 167, 23, 17},  // 125: 2025
    {63, 191, 23, 17},  // 125: 2026
    {62, 215, 23, 17},  // 125: 2027
    {66, 164, 221, 23},  // 125: 2029
    {87, 188, 157, 20},  // 125: 2030
    {86, 212, 127, 21},  // 125: 2031
    {32, 27, 387, 65},  // 117: 2020
    {45, 120, 16, 16},  // 117: 2021
    {66, 144, 16, 16},  // 117: 2022
    {42, 120, 23, 17},  // 117: 2025
    {63, 144, 23, 17},  // 117: 2026
    {66, 117, 221, 23},  // 117: 2029
    {87, 141, 100, 25},  // 117: 2030
    {32, 27, 352, 82},  // 126: 2020
    {45, 135, 16, 16},  // 126: 2021
    {66, 159, 16, 16},  // 126: 2022
    {65, 185, 16, 16},  // 126: 2023
    {42, 135, 23, 17},  // 126: 2025
    {63, 159, 23, 17},  // 126: 2026
    {62, 183, 23, 17},  // 126: 2027
    {66, 132, 221, 23},  // 126: 2029
    {87, 156, 100, 25},  // 126: 2030
    {86, 180, 107, 25},  // 126: 2031
    {32, 27, 414, 82},  // 115: 2020
    {45, 134, 16, 16},  // 115: 2021
    {66, 158, 16, 16},  // 115: 2022
    {42, 134, 23, 17},  // 115: 2025
    {63, 158, 23, 17},  // 115: 2026
    {66, 131, 221, 23},  // 115: 2029
    {87, 155, 100, 25},  // 115: 2030
    {32, 27, 352, 82},  // 128: 2020
    {45, 135, 16, 16},  // 128: 2021
    {66, 159, 16, 16},  // 128: 2022
    {65, 185, 16, 16},  // 128: 2023
    {42, 135, 23, 17},  // 128: 2025
    {63, 159, 23, 17},  // 128: 2026
    {62, 183, 23, 17},  // 128: 2027
    {66, 132, 221, 23},  // 128: 2029
    {87, 156, 100, 25},  // 128: 2030
    {86, 180, 107, 25},  // 128: 2031
    {32, 27, 365, 109},  // 113: 2020
    {45, 165, 16, 16},  // 113: 2021
    {66, 189, 16, 16},  // 113: 2022
    {42, 165, 23, 17},  // 113: 2025
    {63, 189, 23, 17},  // 113: 2026
    {66, 162, 221, 23},  // 113: 2029
    {87, 186, 100, 25},  // 113: 2030
    {32, 27, 377, 64},  // 103: 2020
    {45, 120, 16, 16},  // 103: 2021
    {66, 144, 16, 16},  // 103: 2022
    {65, 170, 16, 16},  // 103: 2023
    {42, 120, 23, 17},  // 103: 2025
    {63, 144, 23, 17},  // 103: 2026
    {62, 168, 23, 17},  // 103: 2027
    {66, 117, 221, 23},  // 103: 2029
    {87, 141, 100, 25},  // 103: 2030
    {86, 165, 107, 25},  // 103: 2031
    {32, 27, 362, 41},  // 107: 2020
    {45, 99, 16, 16},  // 107: 2021
    {66, 123, 16, 16},  // 107: 2022
    {65, 149, 16, 16},  // 107: 2023
    {65, 173, 16, 16},  // 107: 2024
    {42, 99, 23, 17},  // 107: 2025
    {63, 123, 23, 17},  // 107: 2026
    {62, 147, 23, 17},  // 107: 2027
    {62, 171, 23, 17},  // 107: 2028
    {66, 96, 221, 23},  // 107: 2029
    {87, 120, 100, 25},  // 107: 2030
    {86, 144, 107, 25},  // 107: 2031
    {86, 168, 104, 25},  // 107: 2032
    {32, 27, 352, 82},  // 110: 2020
    {45, 135, 16, 16},  // 110: 2021
    {66, 159, 16, 16},  // 110: 2022
    {65, 185, 16, 16},  // 110: 2023
    {42, 135, 23, 17},  // 110: 2025
    {63, 159, 23, 17},  // 110: 2026
    {62, 183, 23, 17},  // 110: 2027
    {66, 132, 221, 23},  // 110: 2029
    {87, 156, 100, 25},  // 110: 2030
    {86, 180, 107, 25},  // 110: 2031
    {32, 27, 355, 61},  // 119: 2020
    {45, 117, 16, 16},  // 119: 2021
    {66, 141, 16, 16},  // 119: 2022
    {42, 117, 23, 17},  // 119: 2025
    {63, 141, 23, 17},  // 119: 2026
    {66, 114, 221, 23},  // 119: 2029
    {87, 138, 100, 25},  // 119: 2030
};

// System information 105: captions 2090 to 2093, then edits 1050 to 1053.
const LayoutRect kSystemInfoRects[] = {
    {36, 30, 120, 25},  // 2090
    {27, 75, 127, 24},  // 2091
    {17, 120, 139, 24},  // 2092
    {30, 165, 122, 23},  // 2093
    {159, 35, 299, 23},  // 1050
    {159, 80, 299, 23},  // 1051
    {159, 125, 299, 23},  // 1052
    {159, 170, 299, 23},  // 1053
};

// Process details 109: captions 2060 to 2068, then edits 1030 to 1038.
const LayoutRect kProcessDetailsRects[] = {
    {27, 30, 81, 23},  // 2060
    {15, 60, 95, 21},  // 2061
    {27, 90, 81, 22},  // 2062
    {312, 60, 59, 23},  // 2063
    {252, 90, 116, 22},  // 2064
    {23, 120, 85, 23},  // 2065
    {30, 150, 76, 21},  // 2066
    {276, 120, 90, 22},  // 2067
    {288, 150, 79, 20},  // 2068
    {111, 65, 150, 18},  // 1030
    {378, 66, 150, 18},  // 1031
    {111, 125, 150, 18},  // 1032
    {111, 156, 150, 18},  // 1033
    {378, 125, 150, 18},  // 1034
    {378, 95, 150, 18},  // 1035
    {378, 155, 150, 18},  // 1036
    {111, 95, 90, 18},  // 1037
    {111, 36, 414, 18},  // 1038
};

// File details 112, 130, 131, 132: captions 2040 to 2051 and "MoreInfo"
// 2052, then edits 1010 to 1021.
const LayoutRect kFileDetailsRects[] = {
    {107, 30, 48, 20},  // 2040
    {75, 90, 77, 26},  // 2041
    {38, 60, 108, 24},  // 2042
    {293, 60, 100, 23},  // 2043
    {285, 90, 103, 26},  // 2044
    {12, 180, 141, 26},  // 2045
    {266, 120, 120, 24},  // 2046
    {56, 120, 97, 25},  // 2047
    {276, 150, 108, 23},  // 2048
    {30, 150, 119, 24},  // 2049
    {270, 180, 115, 23},  // 2050
    {35, 210, 117, 25},  // 2051
    {408, 255, 55, 23},  // 2052
    {158, 33, 414, 18},  // 1010
    {158, 96, 90, 18},  // 1011
    {392, 66, 180, 18},  // 1012
    {392, 96, 180, 18},  // 1013
    {158, 186, 90, 18},  // 1014
    {392, 126, 180, 18},  // 1015
    {158, 126, 90, 18},  // 1016
    {392, 156, 180, 18},  // 1017
    {158, 156, 90, 18},  // 1018
    {392, 186, 180, 18},  // 1019
    {158, 216, 414, 18},  // 1020
    {158, 66, 90, 18},  // 1021
};

// Configuration 120: 2100 to 2142.
const LayoutRect kConfigRects[] = {
    {105, 30, 157, 22},  // 2100 SvrSpeed
    {161, 60, 42, 21},  // 2101 Slow
    {251, 60, 57, 21},  // 2102 Mid
    {345, 60, 41, 21},  // 2103 Fast
    {137, 62, 16, 16},  // 2104 Checkn
    {227, 62, 16, 16},  // 2105 Checkn
    {321, 62, 16, 16},  // 2106 Checkn
    {134, 62, 23, 17},  // 2107 checky
    {224, 62, 23, 17},  // 2108 checky
    {318, 62, 23, 17},  // 2109 checky
    {105, 105, 153, 21},  // 2110 CliSpeed
    {162, 135, 42, 21},  // 2111 Slow
    {252, 135, 57, 21},  // 2112 Mid
    {345, 135, 41, 21},  // 2113 Fast
    {138, 137, 16, 16},  // 2114 Checkn
    {228, 137, 16, 16},  // 2115 Checkn
    {321, 137, 16, 16},  // 2116 Checkn
    {135, 137, 23, 17},  // 2117 checky
    {225, 137, 23, 17},  // 2118 checky
    {318, 137, 23, 17},  // 2119 checky
    {105, 300, 155, 23},  // 2120 WarnSet
    {164, 330, 43, 21},  // 2121 WarnLow
    {252, 330, 58, 21},  // 2122 WarnMid
    {138, 333, 16, 16},  // 2123 Checkn
    {227, 332, 16, 16},  // 2124 Checkn
    {135, 333, 23, 17},  // 2125 checky
    {224, 332, 23, 17},  // 2126 checky
    {234, 300, 196, 21},  // 2127 AutoDel
    {210, 300, 16, 16},  // 2128 Checkn
    {207, 300, 23, 17},  // 2129 checky
    {105, 180, 144, 21},  // 2130 TreeSort
    {138, 210, 16, 16},  // 2131 Checkn
    {246, 210, 16, 16},  // 2132 Checkn
    {339, 210, 16, 16},  // 2133 Checkn
    {135, 210, 23, 17},  // 2134 checky
    {243, 210, 23, 17},  // 2135 checky
    {336, 210, 23, 17},  // 2136 checky
    {162, 210, 72, 22},  // 2137 ByName
    {270, 210, 60, 23},  // 2138 ByPid
    {363, 210, 101, 24},  // 2139 ByBtime
    {138, 255, 16, 16},  // 2140 Checkn
    {135, 255, 23, 17},  // 2141 checky
    {162, 254, 327, 23},  // 2142 AutoMin
};

// One rectangle pages: the list caption 2089 of the list pages, the title
// 2020 of the plain pages, the text of the "About" page.
const LayoutRect kListCaptionRect[] = {{15, 8, 53, 21}};
const LayoutRect kPlainTitleRect[] = {{32, 27, 219, 26}};
const LayoutRect kAboutRect[] = {{60, 15, 315, 121}};

// Search dialog 134: "SrchInfo" 2220, "SrchOK" 2221, "Cancel" 2222.
const LayoutRect kSearchRects[] = {
    {15, 15, 344, 46},
    {225, 113, 42, 21},
    {291, 111, 54, 23},
};

// Wait dialog 135: "WaitInfo" 2230 at 18,18 and "Cancel" 2231 at 284,63;
// the sizes are those of the two pictures.
const LayoutRect kWaitRects[] = {
    {18, 18, 340, 30},
    {284, 63, 54, 23},
};

const int kSystemInfoEdits[] = {1050, 1051, 1052, 1053};
const int kProcessDetailsEdits[] = {1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038};
const int kFileDetailsEdits[] = {1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021};

// Controls of the overview templates: title, skip box, jump choices 1 to 3
// (empty box, ticked box, caption) as far as the group has them.
const int kOverviewOneChoice[] = {2020, 2021, 2022, 2025, 2026, 2029, 2030};
const int kOverviewTwoChoices[] = {2020, 2021, 2022, 2023, 2025, 2026, 2027, 2029, 2030, 2031};
const int kOverviewThreeChoices[] = {2020, 2021, 2022, 2023, 2024, 2025, 2026, 2027, 2028, 2029, 2030, 2031, 2032};

const ControlPlacement kProcessDetailsFixed[] = {{2080, {408, 195, 53, 21}}};  // "Kill"
const ControlPlacement kProcessFileFixed[] = {{2080, {279, 255, 57, 27}}};     // "Kill"
const ControlPlacement kAuthenticFileFixed[] = {{2082, {273, 255, 57, 27}}};   // "Clean"
const ControlPlacement kWarningFileFixed[] = {
    {2085, {92, 255, 57, 27}},   // "Authit"
    {2086, {264, 255, 57, 27}},  // "Quarit"
};
const ControlPlacement kInformationFixed[] = {
    {2087, {315, 75, 53, 24}},  // "Help"
    {2088, {230, 72, 53, 24}},  // "Online"
};
const ControlPlacement kSearchFixed[] = {{1063, {45, 75, 300, 23}}};  // search text

template <typename T, int N>
constexpr int Count(const T (&)[N]) {
    return N;
}

constexpr PageLayout Closed(int templateId, int firstId, int lastId, const LayoutRect* rects, int rectCount) {
    return {templateId, IdRange::Closed, firstId, lastId, rects, rectCount, nullptr, 0, nullptr, 0, nullptr, 0};
}

template <int R, int E>
constexpr PageLayout WithEdits(int templateId, int firstId, int lastId, const LayoutRect (&rects)[R],
                               const int (&edits)[E]) {
    return {templateId, IdRange::Closed, firstId, lastId, rects, R, nullptr, 0, edits, E, nullptr, 0};
}

template <int F>
constexpr PageLayout WithFixed(PageLayout layout, const ControlPlacement (&fixed)[F]) {
    layout.fixed = fixed;
    layout.fixedCount = F;
    return layout;
}

// Overview page whose rectangles start at position `start` of the shared list.
template <int P>
constexpr PageLayout Overview(int templateId, int start, const int (&present)[P]) {
    return {templateId, IdRange::Sparse, 2020, 2032, kOverviewRects + start, P, present, P, nullptr, 0, nullptr, 0};
}

const PageLayout kLayouts[] = {
    Closed(101, 2000, 2010, kHeaderRects, Count(kHeaderRects)),
    // Overview pages, in the order of the shared list.
    Overview(125, 0, kOverviewTwoChoices),
    Overview(117, 10, kOverviewOneChoice),
    Overview(126, 17, kOverviewTwoChoices),
    Overview(115, 27, kOverviewOneChoice),
    Overview(128, 34, kOverviewTwoChoices),
    Overview(113, 44, kOverviewOneChoice),
    Overview(103, 51, kOverviewTwoChoices),
    Overview(107, 61, kOverviewThreeChoices),
    Overview(110, 74, kOverviewTwoChoices),
    Overview(119, 84, kOverviewOneChoice),
    // List pages: the caption above the list.
    Closed(104, 2089, 2089, kListCaptionRect, 1),
    Closed(108, 2089, 2089, kListCaptionRect, 1),
    Closed(111, 2089, 2089, kListCaptionRect, 1),
    Closed(114, 2089, 2089, kListCaptionRect, 1),
    Closed(116, 2089, 2089, kListCaptionRect, 1),
    Closed(118, 2089, 2089, kListCaptionRect, 1),
    Closed(127, 2089, 2089, kListCaptionRect, 1),
    Closed(129, 2089, 2089, kListCaptionRect, 1),
    WithEdits(105, 2090, 2093, kSystemInfoRects, kSystemInfoEdits),
    WithFixed(WithEdits(109, 2060, 2068, kProcessDetailsRects, kProcessDetailsEdits), kProcessDetailsFixed),
    WithEdits(112, 2040, 2052, kFileDetailsRects, kFileDetailsEdits),
    WithFixed(WithEdits(130, 2040, 2052, kFileDetailsRects, kFileDetailsEdits), kProcessFileFixed),
    WithFixed(WithEdits(131, 2040, 2052, kFileDetailsRects, kFileDetailsEdits), kAuthenticFileFixed),
    WithFixed(WithEdits(132, 2040, 2052, kFileDetailsRects, kFileDetailsEdits), kWarningFileFixed),
    Closed(120, 2100, 2142, kConfigRects, Count(kConfigRects)),
    // Plain pages.
    Closed(121, 2020, 2020, kPlainTitleRect, 1),
    Closed(123, 2020, 2020, kPlainTitleRect, 1),
    WithFixed(Closed(124, 2020, 2020, kPlainTitleRect, 1), kInformationFixed),
    Closed(122, 2190, 2190, kAboutRect, 1),
    WithFixed(Closed(134, 2220, 2222, kSearchRects, Count(kSearchRects)), kSearchFixed),
    Closed(135, 2230, 2231, kWaitRects, Count(kWaitRects)),
};

static_assert(Count(kOverviewRects) == kOverviewRectCount, "shared overview list");

}  // namespace

const PageLayout* FindPageLayout(int templateId) {
    for (const PageLayout& layout : kLayouts)
        if (layout.templateId == templateId) return &layout;
    return nullptr;
}

const LayoutRect* OverviewRects() { return kOverviewRects; }

}  // namespace ub
