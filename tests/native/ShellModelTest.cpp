#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "client/controls/ListSort.h"
#include "client/shell/PageGroups.h"
#include "client/shell/ServiceCommands.h"
#include "client/shell/TrayAlert.h"
#include "common/Paths.h"

namespace ub {
namespace {

// "N" normal, "S" selected, "-" hidden, for tabs 0 to 4.
std::string Tabs(const HeaderLook& look) {
    std::string s;
    for (int k = 0; k < kHeaderTabs; ++k)
        s += look.selected[size_t(k)] ? 'S' : (look.normal[size_t(k)] ? 'N' : '-');
    return s;
}

TEST(PageGroups, HeaderFollowsTheGroup) {
    struct Case {
        int group, page;
        const char* tabs;
    } cases[] = {
        {0, 0, "S----"},   // one page: only Overview, selected
        {2, 1, "NS---"},   // two pages, List current
        {7, 2, "NNS--"},   // three pages
        {8, 3, "NNNS-"},   // four pages, More current
        {8, 0, "SNNN-"},
        {11, 0, "S---N"},  // "Standard": Setting in place of List
        {11, 1, "N---S"},
    };
    for (const Case& c : cases) {
        HeaderLook look;
        look.selected[3] = true;  // left over from the previous group
        UpdateHeader(look, PageCount(PageGroup(c.group)), c.page, c.group);
        EXPECT_EQ(Tabs(look), c.tabs) << "group " << c.group << " page " << c.page;
        EXPECT_EQ(look.logo, c.group);
    }

    // Tab clicks move the selected look; the Setting tab is page 1.
    HeaderLook look;
    UpdateHeader(look, 3, 0, 7);
    SelectTab(look, 2);
    EXPECT_EQ(Tabs(look), "NNS--");
    EXPECT_EQ(PageOfTab(kSettingTab), 1);
    EXPECT_EQ(PageOfTab(2), 2);
}

TEST(PageGroups, FirstPageBySkipFlag) {
    struct Case {
        int group;
        int32_t CClientSettings::*flag;
        int value, first;
    } cases[] = {
        {8, &CClientSettings::ModSkip, 3, 3},   // a process opens its More sheet
        {8, &CClientSettings::ProcSkip, 3, 0},  // ...by ModSkip, not ProcSkip
        {9, &CClientSettings::ProcSkip, 2, 2},  // a module of a process: Detail
        {2, &CClientSettings::WarnSkip, 3, 0},  // two pages only: overview
        {2, &CClientSettings::WarnSkip, 1, 1},
        {2, &CClientSettings::WarnSkip, -1, 0},
        {7, &CClientSettings::AllProcSkip, 2, 2},
        {11, &CClientSettings::StandSkip, 1, 1},
        {0, &CClientSettings::TitleSkip, 1, 0},  // the root always opens its overview
        {13, &CClientSettings::TitleSkip, 1, 0},
    };
    for (const Case& c : cases) {
        CClientSettings s;
        s.*c.flag = c.value;
        EXPECT_EQ(FirstPage(c.group, s), c.first) << "group " << c.group << " value " << c.value;
    }
    std::vector<int> counts;
    for (int g = 0; g < kPageGroupCount; ++g) counts.push_back(PageCount(PageGroup(g)));
    EXPECT_EQ(counts, (std::vector<int>{1, 1, 2, 3, 2, 3, 2, 3, 4, 3, 1, 2, 1, 1}));
}

class RecordingTray : public ITrayHost {
public:
    std::vector<std::string> calls;
    void StartBlinkTimer() override { calls.push_back("start"); }
    void StopBlinkTimer() override { calls.push_back("stop"); }
    void ModifyTrayIcon(int icon, const char* tip) override { calls.push_back(std::to_string(icon) + " " + tip); }
};

TEST(TrayAlert, BlinkPhases) {
    RecordingTray tray;
    CTrayAlert alert(tray);
    alert.StopAlert();  // idle: nothing
    alert.StartAlert();
    alert.StartAlert();  // before the first tick: the timer keeps its count
    EXPECT_EQ(alert.Phase(), 0);
    EXPECT_STREQ(alert.Tip(), "Umbrastead");
    alert.OnTick();
    alert.StartAlert();  // blinking: nothing
    alert.OnTick();
    alert.OnTick();
    EXPECT_EQ(alert.Phase(), 1);
    alert.StopAlert();
    alert.StopAlert();
    const std::string warn = "Please empty warning list to stop warning.";
    EXPECT_EQ(tray.calls, (std::vector<std::string>{"start", "129 " + warn, "130 " + warn, "129 " + warn,
                                                   "129 Umbrastead", "stop"}));
    alert.StartAlert();  // after a stop the timer is set again
    EXPECT_EQ(tray.calls.back(), "start");

    // Emptied before the first tick: the stop finds phase 0; the timer that
    // is set still starts the blinking.
    RecordingTray late;
    CTrayAlert quick(late);
    quick.StartAlert();
    quick.StopAlert();
    quick.OnTick();
    EXPECT_EQ(quick.Phase(), 1);
    EXPECT_EQ(late.calls, (std::vector<std::string>{"start", "129 " + warn}));
}

TEST(ServiceCommands, PathsAreQuoted) {
    EXPECT_EQ(ServiceCommandLine("C:\\Guard\\", kServiceStart), "\"C:\\Guard\\Sc.exe\" start Umbrastead");
    EXPECT_EQ(ServiceCommandLine("C:\\Program Files\\Umbrastead\\", kServiceStop),
              "\"C:\\Program Files\\Umbrastead\\Sc.exe\" stop Umbrastead");
    EXPECT_EQ(AutostartValue("C:\\Program Files\\Umbrastead\\UBclient.exe"),
              "\"C:\\Program Files\\Umbrastead\\UBclient.exe\"");
    EXPECT_EQ(FolderOf("C:\\Guard\\UBclient.exe"), "C:\\Guard\\");
    EXPECT_EQ(FolderOf("UBclient.exe"), "");
}

TEST(ListSort, HeaderClicksFlipTheDirectionAcrossColumns) {
    // "FullName" (column 2) three times, then "ModName" (column 0).
    int key = 0;
    std::vector<int> keys;
    for (int column : {2, 2, 2, 0}) keys.push_back(key = NextSortKey(key, column));
    EXPECT_EQ(keys, (std::vector<int>{5, 4, 5, 0}));
    EXPECT_TRUE(SortDescending(5));
    EXPECT_EQ(SortColumn(5), 2);
}

}  // namespace
}  // namespace ub
