// The overview pages' looks and clicks over their skip flags, the shared
// placement of the ten overview pages, the system information text, and
// the configuration page's boxes over the settings.
#include <gtest/gtest.h>

#include <climits>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "client/config/ConfigLook.h"
#include "client/pages/OverviewLook.h"

namespace ub {
namespace {

using Ids = std::set<int>;

Ids ShownOverview(const COverviewLook& look) {
    Ids ids;
    for (int id = kOverviewTitle; id <= kOverviewLastId; ++id)
        if (look.Shown(id)) ids.insert(id);
    return ids;
}

// The controls of choices a page lacks are not in its template: as made.
Ids Absent(int choices) {
    Ids ids;
    for (int k = choices + 1; k <= 3; ++k) ids.insert({ChoiceBox(k), ChoiceTicked(k), ChoiceCaption(k)});
    return ids;
}

Ids With(Ids a, const Ids& b) {
    a.insert(b.begin(), b.end());
    return a;
}

TEST(OverviewLook, ProcessGroupClicks) {
    int32_t modSkip = 0;
    COverviewLook look(3, modSkip);
    EXPECT_FALSE(look.Initial());
    EXPECT_EQ(ShownOverview(look), (Ids{2020, 2021, 2029}));

    struct Step {
        const char* click;
        int32_t stored;
        Ids shown;
    } steps[] = {
        // Ticking the skip box ticks "ToList", shows "ToDetail" and "ToMore" unticked.
        {"skip", 1, {2020, 2025, 2029, 2026, 2030, 2023, 2031, 2024, 2032}},
        {"choice 2", 2, {2020, 2025, 2029, 2022, 2030, 2027, 2031, 2024, 2032}},
        {"choice 3", 3, {2020, 2025, 2029, 2022, 2030, 2023, 2031, 2028, 2032}},
        {"skip", 0, {2020, 2021, 2029}},  // unticking hides all three choices
        {"choice 2", 0, {2020, 2021, 2029}},  // no choice while skipping is off
        {"skip", 1, {2020, 2025, 2029, 2026, 2030, 2023, 2031, 2024, 2032}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.click);
        bool save = std::string(s.click) == "skip" ? look.ToggleSkip() : look.Choose(s.click[7] - '0');
        EXPECT_EQ(save, modSkip != 0 || std::string(s.click) == "skip");
        EXPECT_EQ(modSkip, s.stored);
        EXPECT_EQ(ShownOverview(look), s.shown);
    }
}

TEST(OverviewLook, InitialLookOfEachStoredValue) {
    struct Case {
        int choices;
        int32_t stored;
        bool saves;
        Ids shown;
    } cases[] = {
        {2, 0, false, {2020, 2021, 2029}},
        {2, 1, true, {2020, 2025, 2029, 2026, 2030, 2023, 2031}},  // root: "Warning list" after start-up
        {2, 2, true, {2020, 2025, 2029, 2022, 2030, 2027, 2031}},
        {1, 1, true, {2020, 2025, 2029, 2026, 2030}},
        // Values that name none of the page's choices: shown as not
        // skipping, the group opening on its overview as it does.
        {2, 3, false, {2020, 2021, 2029}},
        {1, 2, false, {2020, 2021, 2029}},
        {3, 4, false, {2020, 2021, 2029}},
        {1, 7, false, {2020, 2021, 2029}},
        {2, -1, false, {2020, 2021, 2029}},
        {3, INT32_MIN, false, {2020, 2021, 2029}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.choices << " choices, stored " << c.stored);
        int32_t skip = c.stored;
        COverviewLook look(c.choices, skip);
        EXPECT_EQ(look.Initial(), c.saves);
        EXPECT_EQ(skip, c.stored) << "the stored value stays until the user changes it";
        EXPECT_EQ(ShownOverview(look), With(c.shown, Absent(c.choices)));
    }
    // From such a value the skip box turns skipping on with choice 1.
    int32_t skip = 5;
    COverviewLook look(2, skip);
    look.Initial();
    EXPECT_TRUE(look.ToggleSkip());
    EXPECT_EQ(skip, 1);
}

TEST(OverviewLook, SharedPlacementAcrossTheTenPagesInFrameOrder) {
    // The controls of each template, in id order; frame order of the pages.
    const Ids one{2020, 2021, 2022, 2025, 2026, 2029, 2030};
    const Ids two = With(one, {2023, 2027, 2031});
    const Ids three = With(two, {2024, 2028, 2032});
    const std::vector<std::pair<int, Ids>> pages = {{125, two}, {117, one}, {126, two}, {115, one}, {128, two},
                                                    {113, one}, {103, two}, {107, three}, {110, two}, {119, one}};
    COverviewPlacer placer;
    std::map<std::pair<int, int>, LayoutRect> placed;
    for (const auto& [templateId, ids] : pages)
        for (int id : ids) {
            const LayoutRect* r = placer.Next();
            ASSERT_NE(r, nullptr) << templateId << " " << id;
            placed[{templateId, id}] = *r;
        }
    EXPECT_EQ(placer.Position(), kOverviewRectCount);
    EXPECT_EQ(placer.Next(), nullptr);
    const struct {
        int templateId, id;
        LayoutRect rect;
    } spots[] = {
        {125, 2020, {32, 27, 379, 120}}, {125, 2031, {86, 212, 127, 21}}, {117, 2020, {32, 27, 387, 65}},
        {117, 2030, {87, 141, 100, 25}}, {113, 2021, {45, 165, 16, 16}},  {107, 2024, {65, 173, 16, 16}},
        {107, 2028, {62, 171, 23, 17}},  {107, 2032, {86, 168, 104, 25}}, {119, 2030, {87, 138, 100, 25}},
    };
    for (const auto& s : spots) {
        const LayoutRect& got = placed[std::make_pair(s.templateId, s.id)];
        EXPECT_TRUE(got == s.rect) << s.templateId << " " << s.id << ": " << got.x << "," << got.y;
    }
}

TEST(OverviewLook, SkipFlagOfEachTemplate) {
    CClientSettings s;
    const std::pair<int, int32_t*> cases[] = {
        {125, &s.TitleSkip}, {117, &s.WarnSkip},    {126, &s.WarnItemSkip}, {115, &s.AuthSkip},
        {128, &s.AuthItemSkip}, {113, &s.QuarSkip}, {103, &s.AllProcSkip},  {107, &s.ModSkip},
        {110, &s.ProcSkip},  {119, &s.StandSkip},   {104, nullptr},         {120, nullptr},
    };
    for (auto [templateId, flag] : cases) EXPECT_EQ(OverviewSkipFlag(templateId, s), flag) << templateId;
}

TEST(SystemInfo, OperatingSystemText) {
    const struct {
        uint32_t major, minor;
        const char* pack;
        const char* text;
    } cases[] = {
        {5, 0, "Service Pack 4", "Microsoft Windows 2000 Service Pack 4"},
        {5, 1, "Service Pack 2", "Microsoft Windows XP Service Pack 2"},
        {5, 2, "", "Microsoft Windows Server 2003 "},
        {5, 3, "Service Pack 1", "Microsoft Win32sService Pack 1"},
        {4, 0, "Service Pack 6", "Microsoft Windows NT Service Pack 6"},
        {3, 51, "", "Microsoft Windows NT "},
        {6, 0, "Service Pack 1", "Microsoft Win32sService Pack 1"},
        {10, 0, "", "Microsoft Win32s"},
    };
    for (const auto& c : cases) EXPECT_EQ(OsVersionText(c.major, c.minor, c.pack), c.text) << c.major << "." << c.minor;
}

Ids ShownConfig(const CConfigLook& look) {
    Ids ids;
    for (int id = kConfigFirstId; id <= kConfigLastId; ++id)
        if (look.Shown(id)) ids.insert(id);
    return ids;
}

// Titles and captions of the visible options, which never change.
const Ids kLabels{2100, 2101, 2102, 2103, 2110, 2111, 2112, 2113, 2130, 2137, 2138, 2139, 2142};

TEST(ConfigLook, VisibleBoxesForTheStoredSettings) {
    struct Case {
        int32_t svr, cli, sort, autoMin;
        Ids boxes;
    } cases[] = {
        {2, 1, 0, 0, {2104, 2105, 2109, 2114, 2118, 2116, 2134, 2132, 2133, 2140}},
        {0, 2, 1, 1, {2107, 2105, 2106, 2114, 2115, 2119, 2131, 2135, 2133, 2141}},
        // Out of range: no box of that option ticked, the others as stored.
        {7, 1, 0, 2, {2104, 2105, 2106, 2114, 2118, 2116, 2134, 2132, 2133, 2140}},
        {-1, 3, 2, 0, {2104, 2105, 2106, 2114, 2115, 2116, 2131, 2132, 2136, 2140}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.svr << " " << c.cli << " " << c.sort << " " << c.autoMin);
        CClientSettings s;
        s.SvrSpeed = c.svr, s.CliSpeed = c.cli, s.TreeSort = c.sort, s.AutoMin = c.autoMin;
        s.WarnSet = 1, s.AutoDel = 1;
        CConfigLook look(s);
        EXPECT_EQ(look.Initial(), 3);
        EXPECT_EQ(ShownConfig(look), With(kLabels, c.boxes));
        EXPECT_EQ(s.SvrSpeed, c.svr);
    }
}

TEST(ConfigLook, ClicksChangeOneOptionAndKeepTheHiddenOnes) {
    CClientSettings s;
    s.SvrSpeed = 2, s.CliSpeed = 0, s.TreeSort = 0, s.AutoMin = 0, s.WarnSet = 1, s.AutoDel = 1;
    CConfigLook look(s);
    look.Initial();
    struct Step {
        int id;
        ConfigEffect effect;
        Ids boxes;
    } steps[] = {
        {2104, ConfigEffect::ServiceSpeed, {2107, 2105, 2106, 2117, 2115, 2116, 2134, 2132, 2133, 2140}},  // "Slow"
        {2116, ConfigEffect::Save, {2107, 2105, 2106, 2114, 2115, 2119, 2134, 2132, 2133, 2140}},          // CliSpeed "Fast"
        {2132, ConfigEffect::TreeOrder, {2107, 2105, 2106, 2114, 2115, 2119, 2131, 2135, 2133, 2140}},     // "ByPid"
        {2140, ConfigEffect::Save, {2107, 2105, 2106, 2114, 2115, 2119, 2131, 2135, 2133, 2141}},          // AutoMin on
        {2141, ConfigEffect::Save, {2107, 2105, 2106, 2114, 2115, 2119, 2131, 2135, 2133, 2140}},          // and off
        {2107, ConfigEffect::None, {2107, 2105, 2106, 2114, 2115, 2119, 2131, 2135, 2133, 2140}},          // a ticked radio box
        {2101, ConfigEffect::None, {2107, 2105, 2106, 2114, 2115, 2119, 2131, 2135, 2133, 2140}},          // a caption
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.id);
        EXPECT_EQ(look.Click(st.id), st.effect);
        EXPECT_EQ(ShownConfig(look), With(kLabels, st.boxes));
    }
    EXPECT_EQ(s.SvrSpeed, 0);
    EXPECT_EQ(s.CliSpeed, 2);
    EXPECT_EQ(s.TreeSort, 1);
    EXPECT_EQ(s.AutoMin, 0);
    EXPECT_EQ(s.WarnSet, 1);
    EXPECT_EQ(s.AutoDel, 1);

    // A choice from an out-of-range value leaves exactly one box ticked.
    s.CliSpeed = 9;
    CConfigLook fresh(s);
    fresh.Initial();
    EXPECT_EQ(fresh.Click(2115), ConfigEffect::Save);
    EXPECT_TRUE(fresh.Shown(2118));
    EXPECT_FALSE(fresh.Shown(2117) || fresh.Shown(2119) || fresh.Shown(2115));
    EXPECT_EQ(s.CliSpeed, 1);
}

}  // namespace
}  // namespace ub
