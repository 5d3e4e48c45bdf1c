#include <gtest/gtest.h>

#include "service/ScanTables.h"
#include "tests/support/FakeProcessSource.h"
#include "tests/support/PeBuilder.h"
#include "tools/ubscan/ProcessScan.h"

namespace ub {
namespace {

using test::FakeModule;
using test::FakeProcess;
using test::FakeProcessSource;
using test::PeBuilder;

std::vector<uint8_t> CleanImage() { return PeBuilder(true).Import("ntdll.dll", {"NtClose"}).BuildImage(); }
std::vector<uint8_t> RpmImage() {
    return PeBuilder(true).Import("kernel32.dll", {"ReadProcessMemory"}).BuildImage();
}

FakeModule Module(uint64_t base, const std::string& path, std::vector<uint8_t> image = CleanImage()) {
    FakeModule m;
    m.base = base;
    m.path = path;
    m.baseName = path.substr(path.rfind('\\') + 1);
    m.image = std::move(image);
    return m;
}

FakeProcess Process(uint32_t pid, std::vector<FakeModule> modules, uint64_t creation = 1000) {
    FakeProcess p;
    p.pid = pid;
    p.modules = std::move(modules);
    p.times.creation = creation;
    p.times.kernel = 7;
    p.times.user = 9;
    return p;
}

// Publication as the channel does it: everything becomes reported, ended
// processes leave the table.
void Publish(CScanTables& t) {
    for (auto& m : t.Modules()) m->status = ST_REPORTED;
    auto& procs = t.Processes();
    for (size_t i = 0; i < procs.size();) {
        uint8_t s = procs[i]->status;
        if (s == ST_FINISHED || s == ST_NEW_FINISHED) {
            procs.erase(procs.begin() + long(i));
        } else {
            procs[i]->status = ST_REPORTED;
            ++i;
        }
    }
}

bool Round(FakeProcessSource& src, CScanTables& t, int designated, bool first) {
    return RunScanRound(src, t, designated, first);
}

const ProcessRecord* ByPid(const CScanTables& t, uint32_t pid) {
    int pos = t.FindProcess(pid);
    return pos < 0 ? nullptr : t.Processes()[size_t(pos)].get();
}

TEST(ScanTables, FirstRoundRecordsEverythingAndSharesModules) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x140000000, "C:\\app\\a.exe", RpmImage()),
                          Module(0x7FF800000000, "C:\\Windows\\System32\\ntdll.dll")}));
    src.Start(Process(12, {Module(0x400000, "C:\\app\\b.exe"),
                           Module(0x7FF800000000, "c:\\WINDOWS\\system32\\NTDLL.DLL"),
                           Module(0x10000000, "C:\\app\\x.dll")}));
    CScanTables t(src);
    ASSERT_TRUE(Round(src, t, kRescanAll, true));

    ASSERT_EQ(t.Processes().size(), 2u);
    ASSERT_EQ(t.Modules().size(), 4u);  // ntdll once, whatever its letter case
    for (auto& m : t.Modules()) EXPECT_EQ(m->status, ST_NEW);
    EXPECT_EQ(src.reads[0x7FF800000000], 1);  // shared module inspected once

    const ProcessRecord* a = ByPid(t, 8);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->status, ST_REPORTED);
    EXPECT_EQ(a->moduleCount, 2u);
    EXPECT_STREQ(t.Modules()[a->moduleIndex[0]]->fullPath, "C:\\app\\a.exe");
    EXPECT_STREQ(t.Modules()[a->moduleIndex[0]]->baseName, "a.exe");
    EXPECT_EQ(t.Modules()[a->moduleIndex[0]]->flags, MF_READ_PROCESS_MEMORY);
    EXPECT_EQ(t.Modules()[a->moduleIndex[1]]->flags, 0u);
    EXPECT_EQ(a->moduleBase[0], 0x40000000u);  // low 32 bits of 0x140000000
    EXPECT_EQ(a->moduleSize[0], uint32_t(RpmImage().size()));
    EXPECT_EQ(ToU64(a->creationTime), 1000u);
    EXPECT_EQ(ToU64(a->exitTime), 0u);
    EXPECT_EQ(ToU64(a->kernelTime), 7u);
    EXPECT_NE(a->processHandle, 0u);

    const ProcessRecord* b = ByPid(t, 12);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->moduleIndex[1], a->moduleIndex[1]);
    EXPECT_EQ(t.FindModuleByPath("C:\\WINDOWS\\SYSTEM32\\ntdll.dll"), int(a->moduleIndex[1]));
    EXPECT_EQ(t.FindModuleByPath("C:\\nowhere.dll"), -1);
}

TEST(ScanTables, NewAndEndedProcesses) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x1000, "C:\\a.exe")}));
    src.Start(Process(12, {Module(0x2000, "C:\\b.exe")}));
    CScanTables t(src);
    Round(src, t, kRescanAll, true);
    Publish(t);

    src.Start(Process(20, {Module(0x3000, "C:\\c.exe")}, 5000));
    src.End(12, 777);
    Round(src, t, kRescanNone, false);

    const ProcessRecord* c = ByPid(t, 20);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->status, ST_NEW);
    EXPECT_EQ(t.Modules()[c->moduleIndex[0]]->status, ST_NEW);
    EXPECT_EQ(ByPid(t, 12), nullptr);  // ended records are passed over
    const ProcessRecord& ended = *t.Processes()[1];
    EXPECT_EQ(ended.processId, 12u);
    EXPECT_EQ(ended.status, ST_FINISHED);
    EXPECT_EQ(ToU64(ended.exitTime), 777u);
    EXPECT_EQ(ToU64(ended.creationTime), 1000u);
    EXPECT_EQ(src.closes, 1);

    // Ends again before publication: stays as it is, closed only once.
    src.End(20, 888);
    Round(src, t, kRescanNone, false);
    EXPECT_EQ(t.Processes()[2]->status, ST_NEW_FINISHED);
    EXPECT_EQ(t.Processes()[1]->status, ST_FINISHED);
    EXPECT_EQ(src.closes, 2);

    Publish(t);
    ASSERT_EQ(t.Processes().size(), 1u);
    EXPECT_EQ(t.Processes()[0]->processId, 8u);
}

TEST(ScanTables, ReusedProcessIdGetsItsOwnRecord) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x1000, "C:\\old.exe")}));
    CScanTables t(src);
    Round(src, t, kRescanAll, true);
    Publish(t);
    uint32_t oldHandle = t.Processes()[0]->processHandle;

    // The old process ends and its ID is taken by another before the next
    // round: the ID is still listed, but the old handle is signalled.
    src.End(8, 555);
    src.Start(Process(8, {Module(0x1000, "C:\\new.exe"), Module(0x5000, "C:\\x.dll")}));
    Round(src, t, kRescanNone, false);

    ASSERT_EQ(t.Processes().size(), 2u);
    EXPECT_EQ(t.Processes()[0]->status, ST_FINISHED);
    EXPECT_EQ(ToU64(t.Processes()[0]->exitTime), 555u);
    const ProcessRecord* fresh = ByPid(t, 8);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->status, ST_NEW);
    EXPECT_NE(fresh->processHandle, oldHandle);
    EXPECT_STREQ(t.Modules()[fresh->moduleIndex[0]]->fullPath, "C:\\new.exe");
    EXPECT_EQ(fresh->moduleCount, 2u);
}

TEST(ScanTables, SkipRuleAndDesignatedRescans) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x1000, "C:\\a.exe"), Module(0x2000, "C:\\s.dll")}));
    FakeProcess& b = src.Start(Process(12, {Module(0x3000, "C:\\b.exe"), Module(0x2000, "C:\\s.dll")}));
    CScanTables t(src);
    Round(src, t, kRescanAll, true);
    Publish(t);
    int readsBefore = src.reads[0x2000];

    struct Case {
        const char* what;
        int designated;
        uint32_t pid;
        int expected;
    } cases[] = {
        {"no rescan", kRescanNone, 8, 0},
        {"other process designated", 1, 8, 0},
        {"this process designated", 0, 8, 1},
        {"every process", kRescanAll, 12, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(t.ScanProcess(c.pid, c.designated, false), c.expected) << c.what;
    }
    // The designated rescan re-inspected the shared module once; the later
    // rescan found it already updated and left it alone.
    EXPECT_EQ(src.reads[0x2000], readsBefore + 1);
    EXPECT_EQ(ByPid(t, 8)->status, ST_UPDATED);
    EXPECT_EQ(t.Modules()[size_t(t.FindModuleByPath("C:\\s.dll"))]->status, ST_UPDATED);
    Publish(t);

    // One more DLL changes the module number: rescanned without designation.
    b.modules.push_back(Module(0x9000, "C:\\late.dll", RpmImage()));
    EXPECT_EQ(t.ScanProcess(12, kRescanNone, false), 1);
    const ProcessRecord* rec = ByPid(t, 12);
    EXPECT_EQ(rec->moduleCount, 3u);
    const ModuleRecord& late = *t.Modules()[rec->moduleIndex[2]];
    EXPECT_EQ(late.status, ST_NEW);
    EXPECT_EQ(late.flags, MF_READ_PROCESS_MEMORY);
}

TEST(ScanTables, NewModuleIsNotInspectedTwiceBeforePublication) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x1000, "C:\\a.exe")}));
    CScanTables t(src);
    Round(src, t, kRescanAll, true);
    Round(src, t, kRescanAll, false);
    EXPECT_EQ(src.reads[0x1000], 1);
    EXPECT_EQ(t.Modules()[0]->status, ST_NEW);
    EXPECT_EQ(t.Processes()[0]->status, ST_UPDATED);  // the process itself was rescanned
}

TEST(ScanTables, ModuleLimitPerProcess) {
    FakeProcessSource src;
    std::vector<FakeModule> mods;
    for (int i = 0; i < 600; ++i)
        mods.push_back(Module(0x10000 + uint64_t(i) * 0x10000, "C:\\m" + std::to_string(i) + ".dll",
                              {}));
    src.Start(Process(8, mods));
    CScanTables t(src);
    Round(src, t, kRescanAll, true);
    EXPECT_EQ(t.Processes()[0]->moduleCount, 512u);
    EXPECT_EQ(t.Modules().size(), 512u);
    EXPECT_EQ(t.Modules()[0]->flags, MF_NO_IMAGE_SIZE);  // empty image: size 0
}

TEST(ScanTables, FailuresAbandonOrDropAsTheyShould) {
    struct Case {
        const char* what;
        void (*setup)(FakeProcess&);
        int result;
        uint32_t moduleCount;
        int closes;
    } cases[] = {
        {"open fails", [](FakeProcess& p) { p.openFails = true; }, 0, 0, 0},
        {"module enumeration fails", [](FakeProcess& p) { p.enumFails = true; }, 0, 0, 1},
        {"no modules", [](FakeProcess& p) { p.modules.clear(); }, 0, 0, 1},
        {"main name unreadable", [](FakeProcess& p) { p.modules[0].nameFails = true; }, 0, 0, 1},
        {"further name unreadable", [](FakeProcess& p) { p.modules[1].nameFails = true; }, 1, 2, 0},
        {"module information fails", [](FakeProcess& p) { p.modules[2].infoFails = true; }, 1, 3, 0},
    };
    for (const Case& c : cases) {
        FakeProcessSource src;
        FakeProcess p = Process(8, {Module(0x1000, "C:\\a.exe"), Module(0x2000, "C:\\b.dll"),
                                    Module(0x3000, "C:\\c.dll", RpmImage())});
        c.setup(p);
        src.Start(p);
        CScanTables t(src);
        EXPECT_EQ(t.ScanProcess(8, kRescanAll, true), c.result) << c.what;
        EXPECT_EQ(src.closes, c.closes) << c.what;
        if (c.result == 0) {
            EXPECT_TRUE(t.Processes().empty()) << c.what;
            continue;
        }
        const ProcessRecord& rec = *t.Processes()[0];
        EXPECT_EQ(rec.moduleCount, c.moduleCount) << c.what;
        if (std::string(c.what) == "module information fails") {
            EXPECT_EQ(rec.moduleBase[2], 0u);
            EXPECT_EQ(rec.moduleSize[2], 0u);
            EXPECT_EQ(t.Modules()[rec.moduleIndex[2]]->flags, MF_NO_IMAGE_SIZE);
        }
    }
}

TEST(ScanTables, EnumerationFailureEndsTheRoundAndReleaseEmpties) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x1000, "C:\\a.exe")}));
    CScanTables t(src);
    src.enumFails = true;
    EXPECT_FALSE(Round(src, t, kRescanAll, true));
    src.enumFails = false;
    EXPECT_TRUE(Round(src, t, kRescanAll, true));
    t.ReleaseTables();
    EXPECT_TRUE(t.Processes().empty());
    EXPECT_TRUE(t.Modules().empty());
    EXPECT_EQ(t.FindModuleByPath("C:\\a.exe"), -1);
    EXPECT_EQ(src.closes, 0);  // running processes' handles are not closed one by one
}

TEST(ProcessScan, PrintsProcessesWithModuleFlagsAndLevels) {
    FakeProcessSource src;
    src.Start(Process(8, {Module(0x1000, "C:\\a.exe", RpmImage()), Module(0x2000, "C:\\n.dll")}));
    CScanTables t(src);
    Round(src, t, kRescanAll, true);
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    PrintTables(out, t, [](uint32_t f) { return f ? "X" : "----"; });
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text += char(c);
    std::fclose(out);
    EXPECT_EQ(text, "PID 8\tC:\\a.exe\n\t0x00000800\tX\tC:\\a.exe\n\t0x00000000\t----\tC:\\n.dll\n");
}

}  // namespace
}  // namespace ub
