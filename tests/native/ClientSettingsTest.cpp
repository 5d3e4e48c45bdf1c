#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "client/shell/ClientSettings.h"

namespace ub {
namespace {

class FakeRegistry : public ISettingsRegistry {
public:
    long openError = 0;
    long closeError = 0;
    bool open = false;
    std::map<std::string, int32_t> values;
    std::vector<std::string> writes;

    long Open() override {
        open = openError == 0;
        return openError;
    }
    bool QueryDword(const char* name, int32_t* value) override {
        EXPECT_TRUE(open);
        auto it = values.find(name);
        if (it == values.end()) return false;
        *value = it->second;
        return true;
    }
    void SetDword(const char* name, int32_t value) override {
        EXPECT_TRUE(open);
        values[name] = value;
        writes.push_back(name);
    }
    long Close() override {
        open = false;
        return closeError;
    }
};

const char* const kNames[] = {"TitleSkip", "WarnSkip", "WarnItemSkip", "AuthSkip", "AuthItemSkip", "QuarSkip",
                              "AllProcSkip", "ModSkip", "ProcSkip", "StandSkip", "SvrSpeed", "CliSpeed",
                              "WarnSet", "TreeSort", "AutoMin", "AutoDel"};

TEST(ClientSettings, DefaultsAndFirstSaveWritesAllSixteenInOrder) {
    FakeRegistry reg;  // no key yet: every value missing
    CClientSettings s;
    s.Load(reg);
    for (size_t i = 0; i < CClientSettings::kFieldCount; ++i) {
        EXPECT_STREQ(CClientSettings::FieldName(i), kNames[i]);
        int32_t expected = (std::string(kNames[i]) == "SvrSpeed" || std::string(kNames[i]) == "CliSpeed") ? 1 : 0;
        EXPECT_EQ(s.Field(i), expected) << kNames[i];
    }
    EXPECT_EQ(s.Save(reg), 0);
    EXPECT_EQ(reg.writes, std::vector<std::string>(std::begin(kNames), std::end(kNames)));
    EXPECT_EQ(reg.values["SvrSpeed"], 1);
    EXPECT_FALSE(reg.open);
}

TEST(ClientSettings, StoredValuesLoadAsTheyAreAndMissingOnesKeepDefaults) {
    FakeRegistry reg;
    reg.values = {{"CliSpeed", 7}, {"ModSkip", 3}, {"TreeSort", 2}, {"AutoMin", 1}, {"WarnSkip", -5}};
    CClientSettings s;
    s.Load(reg);
    EXPECT_EQ(s.CliSpeed, 7);  // out of range values are not corrected here
    EXPECT_EQ(s.ModSkip, 3);
    EXPECT_EQ(s.TreeSort, 2);
    EXPECT_EQ(s.AutoMin, 1);
    EXPECT_EQ(s.WarnSkip, -5);
    EXPECT_EQ(s.SvrSpeed, 1);  // missing: default kept, and written again by the next save
    EXPECT_EQ(s.Save(reg), 0);
    EXPECT_EQ(reg.values.at("SvrSpeed"), 1);
    EXPECT_EQ(reg.values.at("CliSpeed"), 7);
}

TEST(ClientSettings, KeyFailures) {
    struct Case {
        const char* what;
        long openError;
        long closeError;
        long saveResult;
        size_t writes;
    } cases[] = {
        {"key cannot be opened", 5, 0, 5, 0},
        {"closing fails", 0, 6, 6, 16},
    };
    for (const Case& c : cases) {
        FakeRegistry reg;
        reg.values = {{"CliSpeed", 2}};
        reg.openError = c.openError;
        reg.closeError = c.closeError;
        CClientSettings s;
        s.Load(reg);
        EXPECT_EQ(s.CliSpeed, c.openError ? 1 : 2) << c.what;
        s.TreeSort = 1;
        EXPECT_EQ(s.Save(reg), c.saveResult) << c.what;
        EXPECT_EQ(reg.writes.size(), c.writes) << c.what;
    }
}

}  // namespace
}  // namespace ub
