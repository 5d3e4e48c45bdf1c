// `ubscan --processes` run as a child process while the fixture programs
// run: its listing, parsed line by line.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/SharedFormat.h"
#include "tests/wine/FixtureProcess.h"
#include "tests/wine/FixtureTable.h"

namespace ub {
namespace {

using wine::BinFolder;
using wine::CFixtureSet;
using wine::EqualsNoCase;

struct ListedModule {
    uint32_t flags;
    std::string level;
    std::string path;
};

struct ListedProcess {
    std::string mainPath;
    std::vector<ListedModule> modules;
};

// "PID <id>\t<main path>" opens a process; "\t0x<8 hex digits>\t<level>\t<path>"
// is one of its modules.
::testing::AssertionResult ParseListing(const std::string& text,
                                        std::map<uint32_t, ListedProcess>* processes) {
    std::istringstream in(text);
    std::string line;
    ListedProcess* current = nullptr;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();  // text-mode output
        auto bad = [&](const char* why) {
            return ::testing::AssertionFailure() << "line " << number << ": " << why << ": \""
                                                 << line << "\"";
        };
        if (line.compare(0, 4, "PID ") == 0) {
            size_t tab = line.find('\t');
            if (tab == std::string::npos || tab == 4) return bad("no ID and tab");
            char* end = nullptr;
            unsigned long pid = std::strtoul(line.c_str() + 4, &end, 10);
            if (end != line.c_str() + tab) return bad("ID is not decimal");
            auto inserted = processes->emplace(uint32_t(pid), ListedProcess{line.substr(tab + 1), {}});
            if (!inserted.second) return bad("process listed twice");
            current = &inserted.first->second;
            continue;
        }
        if (!current) return bad("module line before any process");
        if (line.size() < 12 || line.compare(0, 3, "\t0x") != 0 || line[11] != '\t')
            return bad("not a module line");
        for (size_t i = 3; i < 11; ++i) {
            const char ch = line[i];
            if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F')))
                return bad("flags are not 8 upper-case hex digits");
        }
        const unsigned long flags = std::strtoul(line.substr(3, 8).c_str(), nullptr, 16);
        const size_t levelEnd = line.find('\t', 12);
        if (levelEnd == std::string::npos) return bad("no path column");
        const std::string level = line.substr(12, levelEnd - 12);
        if (level != "----" && level != "Low" && level != "Mid" && level != "High" &&
            level != "Pending")
            return bad("unknown level");
        if ((flags == 0) != (level == "----")) return bad("level column does not fit the flags");
        current->modules.push_back({uint32_t(flags), level, line.substr(levelEnd + 1)});
    }
    return ::testing::AssertionSuccess();
}

TEST(UbscanProcesses, ListsEveryFixtureWithItsFlagsAndLevel) {
    CFixtureSet fixtures;
    ASSERT_TRUE(fixtures.Start(wine::kFixturePrograms));

    wine::CapturedRun run;
    ASSERT_TRUE(wine::RunCaptured("ubscan.exe", "--processes", &run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.errors, "");
    std::map<uint32_t, ListedProcess> listed;
    ASSERT_TRUE(ParseListing(run.output, &listed));

    struct Case {
        std::string exe;
        std::string module;
        uint32_t pid;
        uint32_t flags;
        std::string level;
    };
    std::vector<Case> cases;
    for (const wine::FixtureExpectation& e : wine::kFixtureExpectations)
        cases.push_back({e.exe, e.module, fixtures[e.exe].Pid(), e.flags, e.level});
    // ubscan lists itself; it imports ReadProcessMemory.
    cases.push_back({"ubscan.exe", "ubscan.exe", run.pid, MF_READ_PROCESS_MEMORY, "Mid"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.exe + ": " + c.module);
        auto it = listed.find(c.pid);
        ASSERT_NE(it, listed.end()) << "PID " << c.pid << " not listed";
        const ListedProcess& p = it->second;
        EXPECT_TRUE(EqualsNoCase(p.mainPath, BinFolder() + c.exe)) << p.mainPath;
        ASSERT_FALSE(p.modules.empty());
        EXPECT_EQ(p.modules[0].path, p.mainPath) << "main module first";

        int matches = 0;
        for (const ListedModule& m : p.modules) {
            if (!EqualsNoCase(m.path, BinFolder() + c.module)) continue;
            ++matches;
            EXPECT_EQ(m.flags, c.flags) << std::hex << m.flags;
            EXPECT_EQ(m.level, c.level);
        }
        EXPECT_EQ(matches, 1);
    }
    EXPECT_NE(listed.find(GetCurrentProcessId()), listed.end()) << "the test itself is not listed";
}

TEST(UbscanProcesses, RejectsFurtherArguments) {
    wine::CapturedRun run;
    ASSERT_TRUE(wine::RunCaptured("ubscan.exe", "--processes extra", &run));
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.output, "");
    EXPECT_NE(run.errors.find("usage"), std::string::npos) << run.errors;
}

}  // namespace
}  // namespace ub
