// The process and module pages' portable side: the process list's texts
// and its update after each merge, the row icon on Windows 2000, the CPU
// times, the module list's rows and order, and what the file details pages
// show of a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/pages/FileDetails.h"
#include "client/pages/ModuleRows.h"
#include "client/pages/ProcessRows.h"
#include "tests/support/ClientFixture.h"

namespace ub {
namespace {

using Texts = std::vector<std::string>;

std::string FakeTime(const FileTime& t) { return "t" + std::to_string(ToU64(t)); }

ModuleRecord* AddModule(CClientTables& tables, const char* path, uint32_t flags = 0) {
    auto m = std::make_unique<ModuleRecord>();
    std::memset(m.get(), 0, sizeof *m);
    std::strncpy(m->fullPath, path, kPathSize - 1);
    const char* slash = std::strrchr(path, '\\');
    std::strncpy(m->baseName, slash ? slash + 1 : path, kNameSize - 1);
    m->flags = flags;
    tables.modules.push_back(std::move(m));
    return tables.modules.back().get();
}

ProcessRecord* AddProcess(CClientTables& tables, uint8_t status, uint32_t pid, std::vector<uint32_t> modules,
                          uint64_t created = 0, uint64_t exited = 0) {
    auto p = std::make_unique<ProcessRecord>();
    std::memset(p.get(), 0, sizeof *p);
    p->status = status;
    p->processId = pid;
    p->creationTime = ToFileTime(created);
    p->exitTime = ToFileTime(exited);
    for (uint32_t m : modules) p->moduleIndex[p->moduleCount++] = m;
    tables.processes.push_back(std::move(p));
    return tables.processes.back().get();
}

// A list control in memory: rows top to bottom, sorted by PID when asked.
class FakeProcessRows : public IProcessRows {
public:
    struct Row {
        Texts texts;
        int image;
        uintptr_t data;
    };
    std::vector<Row> rows;
    int sorts = 0, selected = -1;

    int RowCount() override { return int(rows.size()); }
    uintptr_t RowData(int row) override { return rows[size_t(row)].data; }
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    void DeleteAllRows() override { rows.clear(); }
    void InsertTop(const Texts& texts, int image, uintptr_t data) override {
        rows.insert(rows.begin(), Row{texts, image, data});
    }
    void SetText(int row, int column, const std::string& text) override {
        rows[size_t(row)].texts[size_t(column)] = text;
    }
    void SortRows() override {
        ++sorts;
        std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return reinterpret_cast<const ProcessRecord*>(a.data)->processId <
                   reinterpret_cast<const ProcessRecord*>(b.data)->processId;
        });
    }
    void SelectRow(int row) override { selected = row; }

    std::vector<Texts> Texts_() const {
        std::vector<Texts> t;
        for (const Row& r : rows) t.push_back(r.texts);
        return t;
    }
};

struct ProcessListFixture {
    CClientTables tables;
    FakeProcessRows rows;
    ProcessListState state;
    void Update(int mode, const ModuleRecord* filter = nullptr) {
        UpdateProcessRows(rows, state, mode, filter, tables, [](const ProcessRecord& p) { return int(p.processId); },
                          FakeTime);
    }
};

TEST(ProcessRows, StatusTexts) {
    const std::pair<int, const char*> cases[] = {{0, "----"}, {1, "New"},       {2, "New"},  {3, "----"},
                                                 {4, "----"}, {5, "Finished"},  {6, "----"}, {100, "----"},
                                                 {101, "----"}, {105, "----"}, {255, "----"}};
    for (auto [status, text] : cases) EXPECT_STREQ(ProcessStatusText(uint8_t(status)), text) << status;
}

TEST(ProcessRows, FullRebuildListsEveryRecordAndFinishesEndedOnes) {
    ProcessListFixture f;
    AddModule(f.tables, "C:\\p\\run.exe");
    AddModule(f.tables, "C:\\p\\gone.exe");
    AddModule(f.tables, "C:\\p\\x.dll");
    AddProcess(f.tables, ST_REPORTED, 10, {0, 2}, 111);
    AddProcess(f.tables, ST_FINISHED, 20, {1}, 222, 333);           // ended, reported now
    AddProcess(f.tables, ST_FINISHED_SHOWN, 30, {1}, 444, 555);     // ended earlier
    AddProcess(f.tables, ST_UPDATED + ST_REPORTED, 40, {0, 2, 2});  // rescanned
    AddProcess(f.tables, ST_NEW_FINISHED, 50, {1}, 666, 0);         // ended without an exit time
    f.Update(1);  // the first update after the page was shown rebuilds

    EXPECT_EQ(f.rows.Texts_(), (std::vector<Texts>{
                                   {"run.exe", "----", "10", "C:\\p\\run.exe", "t111", "----", "2"},
                                   {"gone.exe", "Finished", "20", "C:\\p\\gone.exe", "t222", "t333", "1"},
                                   {"gone.exe", "Finished", "30", "C:\\p\\gone.exe", "t444", "t555", "1"},
                                   {"run.exe", "----", "40", "C:\\p\\run.exe", "t0", "----", "3"},
                                   {"gone.exe", "Finished", "50", "C:\\p\\gone.exe", "t666", "----", "1"},
                               }));
    EXPECT_EQ(f.rows.rows[0].image, 10);
    EXPECT_EQ(f.rows.sorts, 1);
    EXPECT_FALSE(f.state.needFull);
}

TEST(ProcessRows, IncrementalUpdateInsertsOnlyNewRecordsAndEndsRows) {
    ProcessListFixture f;
    AddModule(f.tables, "C:\\p\\a.exe");
    ProcessRecord* running = AddProcess(f.tables, ST_NEW_SHOWN, 1, {0}, 5);
    ProcessRecord* ending = AddProcess(f.tables, ST_REPORTED, 2, {0}, 6);
    f.Update(2);
    ASSERT_EQ(f.rows.RowCount(), 2);

    // The next merge: one process ended, one started, one started and
    // ended, one rescanned.
    ending->status = ST_FINISHED;
    ending->exitTime = ToFileTime(77);
    running->status = ST_UPDATED + ST_NEW_SHOWN;
    running->moduleCount = 2;
    AddProcess(f.tables, ST_NEW, 3, {0}, 8);
    AddProcess(f.tables, ST_NEW_FINISHED, 4, {0}, 9, 99);
    AddProcess(f.tables, ST_REPORTED, 5, {0}, 10);  // not new: an incremental update leaves it out
    f.Update(1);
    EXPECT_EQ(f.rows.Texts_(), (std::vector<Texts>{
                                   {"a.exe", "New", "1", "C:\\p\\a.exe", "t5", "----", "1"},  // keeps its old count
                                   {"a.exe", "Finished", "2", "C:\\p\\a.exe", "t6", "t77", "1"},
                                   {"a.exe", "New", "3", "C:\\p\\a.exe", "t8", "----", "1"},
                                   {"a.exe", "Finished", "4", "C:\\p\\a.exe", "t9", "t99", "1"},
                               }));
    EXPECT_EQ(f.rows.sorts, 2);

    // Nothing new, nothing ended: no sort.
    for (auto& p : f.tables.processes) p->status = ST_REPORTED;
    f.Update(1);
    EXPECT_EQ(f.rows.sorts, 2);
    EXPECT_EQ(f.rows.RowCount(), 4);

    // Shown again: the next update, even an incremental one, rebuilds.
    f.state.needFull = true;
    f.Update(1);
    EXPECT_EQ(f.rows.RowCount(), 5);
}

TEST(ProcessRows, FilterModuleListsOnlyTheProcessesThatLoadIt) {
    ProcessListFixture f;
    AddModule(f.tables, "C:\\p\\a.exe");
    ModuleRecord* hook = AddModule(f.tables, "C:\\p\\hook.dll");
    ModuleRecord* unused = AddModule(f.tables, "C:\\p\\unused.dll");
    AddProcess(f.tables, ST_REPORTED, 1, {0});
    AddProcess(f.tables, ST_REPORTED, 2, {0, 1});
    AddProcess(f.tables, ST_FINISHED, 3, {0, 1}, 0, 5);
    AddProcess(f.tables, ST_REPORTED, 4, {0, 99});  // an index outside the table matches nothing
    f.Update(2, hook);
    ASSERT_EQ(f.rows.RowCount(), 2);
    EXPECT_EQ(f.rows.rows[0].texts[2], "2");
    EXPECT_EQ(f.rows.rows[1].texts[1], "Finished");
    f.Update(2, unused);
    EXPECT_EQ(f.rows.RowCount(), 0);
}

TEST(ProcessRows, FilterModuleOfEachTemplate) {
    ModuleRecord module{};
    AuthenticEntry entry, unlinked;
    entry.module = &module;
    const auto m = reinterpret_cast<uintptr_t>(&module);
    const struct {
        int templateId;
        uintptr_t context;
        bool shows;
        const ModuleRecord* filter;
    } cases[] = {
        {104, 0, true, nullptr},  {104, m, true, nullptr},  // every process, whatever the context
        {127, m, true, &module},  {111, m, true, &module},
        {127, 0, false, nullptr}, {111, 0, false, nullptr},  // the module's records were freed
        {129, reinterpret_cast<uintptr_t>(&entry), true, &module},
        {129, reinterpret_cast<uintptr_t>(&unlinked), false, nullptr},
        {129, 0, false, nullptr},
    };
    for (const auto& c : cases) {
        const ModuleRecord* filter = &module;
        EXPECT_EQ(ProcessListFilter(c.templateId, c.context, &filter), c.shows) << c.templateId << " " << c.context;
        EXPECT_EQ(filter, c.filter) << c.templateId;
    }
}

TEST(ProcessRows, PendingReselectSelectsItsRowOnceThenClears) {
    ProcessListFixture f;
    AddModule(f.tables, "C:\\p\\a.exe");
    AddProcess(f.tables, ST_REPORTED, 7, {0});
    ProcessRecord* wanted = AddProcess(f.tables, ST_REPORTED, 3, {0});
    f.state.reselect = reinterpret_cast<uintptr_t>(wanted);
    f.Update(2);
    EXPECT_EQ(f.rows.selected, 0);  // PID 3 sorts first
    EXPECT_EQ(f.state.reselect, 0u);
    f.rows.selected = -1;
    f.state.reselect = 12345;  // no such row
    f.Update(1);
    EXPECT_EQ(f.rows.selected, -1);
    EXPECT_EQ(f.state.reselect, 0u);
}

TEST(ProcessRows, RowImageShiftsPastTheClientIconsOnWindows2000Only) {
    for (bool w2k : {false, true}) {
        test::ClientFixture base;
        TreePlatform platform = base.MakePlatform();
        platform.windows2000 = w2k;
        test::ClientFixture f(&platform);
        CImageIndexes& images = f.controller.Images();
        images.Set(ICON_CLEAN_MODULE, 40);
        images.Set(ICON_NO_PROCESS_ICON, 56);
        AddModule(f.tables, "C:\\p\\a.exe");
        AddModule(f.tables, "C:\\p\\noicon.exe");
        base.icons.without.insert(FoldedKey("C:\\p\\noicon.exe", kPathSize));  // the platform's icons
        ProcessRecord* p = AddProcess(f.tables, ST_REPORTED, 1, {0});
        ProcessRecord* q = AddProcess(f.tables, ST_REPORTED, 2, {1});
        ProcessRecord* none = AddProcess(f.tables, ST_REPORTED, 3, {});

        const std::pair<int, int> cases[] = {{3, 3}, {39, 39}, {40, w2k ? 57 : 40}, {60, w2k ? 77 : 60}};
        for (auto [shell, shown] : cases) {
            base.icons.index = shell;
            EXPECT_EQ(f.controller.ProcessImage(*p), shown) << w2k << " " << shell;
        }
        EXPECT_EQ(f.controller.ProcessImage(*q), 56);
        EXPECT_EQ(f.controller.ProcessImage(*none), 56);
    }
}

TEST(ProcessRows, CpuTimesAreAClockTimeOfWholeSeconds) {
    const uint64_t second = 10000000;
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "00:00:00"},
        {second - 1, "00:00:00"},
        {(3600 + 2 * 60 + 3) * second + 9 * second / 10, "01:02:03"},
        {25 * 3600 * second, "01:00:00"},
        {(23 * 3600 + 59 * 60 + 59) * second, "23:59:59"},
        {~uint64_t(0), "05:36:10"},  // 1,844,674,407,370 s
    };
    for (auto [duration, text] : cases) EXPECT_EQ(CpuTimeText(ToFileTime(duration)), text) << duration;
}

TEST(ProcessRows, FileTypeOfAPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\p\\A.EXE", ".exe"}, {"C:\\p.d\\noext", ""}, {"C:\\p\\x.tar.GZ", ".gz"},
        {"C:/p.q/name", ""},         {"", ""},                  {"C:\\p\\.hidden", ".hidden"},
    };
    for (auto [path, type] : cases) EXPECT_EQ(FileTypeOf(path), type) << path;
}

TEST(ProcessRows, KillTexts) {
    EXPECT_EQ(KillResultText(true, "a b.exe"), "Killed Process a b.exe.");
    EXPECT_EQ(KillResultText(false, "x.exe"), "The Process x.exe can't be killed, it has exited or access is denied.");
}

TEST(ModuleRows, RowsInLoadOrderWithRangesLevelIconsAndPositions) {
    test::ClientFixture f;
    AddModule(f.tables, "C:\\p\\a.exe");
    AddModule(f.tables, "C:\\p\\auth.dll", MF_AUTHENTIC | 0x800);
    AddModule(f.tables, "C:\\p\\quar.dll", MF_QUARANTINED | 0x800);
    AddModule(f.tables, "C:\\p\\hook.dll", 0x400000);
    AddModule(f.tables, "C:\\Windows\\system32\\ntdll.dll", 0x800);  // trusted path
    ProcessRecord* p = AddProcess(f.tables, ST_REPORTED, 1, {0, 1, 2, 3, 4, 77});
    const uint32_t bases[] = {0x400000, 0x10000000, 0xFFFF0000, 0x7FF00000, 0x80000000, 0};
    const uint32_t sizes[] = {0x1000, 0x2345, 0x10000, 1, 0x20000, 0};
    for (int i = 0; i < 6; ++i) p->moduleBase[i] = bases[i], p->moduleSize[i] = sizes[i];

    std::vector<ListRow> rows = ProcessModuleRows(f.controller, *p, f.tables);
    ASSERT_EQ(rows.size(), 5u);  // index 77 names no module
    const Texts expected[] = {
        {"a.exe", "0x00400000 - 0x00400FFF", "C:\\p\\a.exe", "0x00000000"},
        {"auth.dll", "0x10000000 - 0x10002344", "C:\\p\\auth.dll", "0x20000800"},
        {"quar.dll", "0xFFFF0000 - 0xFFFFFFFF", "C:\\p\\quar.dll", "0x40000800"},
        {"hook.dll", "0x7FF00000 - 0x7FF00000", "C:\\p\\hook.dll", "0x00400000"},
        {"ntdll.dll", "0x80000000 - 0x8001FFFF", "C:\\Windows\\system32\\ntdll.dll", "0x00000800"},
    };
    const int icons[] = {ICON_CLEAN_MODULE, ICON_AUTHENTIC, ICON_LEVEL_PENDING, ICON_LEVEL_HIGH, ICON_CLEAN_MODULE};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].texts, expected[i]) << i;
        EXPECT_EQ(rows[i].icon, icons[i]) << i;
        EXPECT_EQ(rows[i].data, i);
    }
}

TEST(ModuleRows, ComparisonOverEveryKey) {
    CClientTables tables;
    AddModule(tables, "C:\\B\\zed.dll", 0x80000000);
    AddModule(tables, "C:\\a\\Alpha.dll", 0x7FFFFFFF);
    ProcessRecord* p = AddProcess(tables, ST_REPORTED, 1, {0, 1, 9});
    p->moduleBase[0] = 0x80000000;  // above 0x7FFFFFFF when unsigned
    p->moduleBase[1] = 0x7FFFFFFF;
    // a = position 0 (zed), b = position 1 (Alpha).
    const std::pair<int, int> cases[] = {{0, 1},  {1, -1}, {2, 1},  {3, -1}, {4, 1},
                                         {5, -1}, {6, 1},  {7, -1}, {8, 0},  {-1, 0}};
    for (auto [key, sign] : cases) {
        int r = CompareProcessModules(*p, tables, 0, 1, key);
        EXPECT_EQ((r > 0) - (r < 0), sign) << key;
        int back = CompareProcessModules(*p, tables, 1, 0, key);
        EXPECT_EQ((back > 0) - (back < 0), -sign) << key;
    }
    EXPECT_EQ(CompareProcessModules(*p, tables, 0, 2, 0), 0);  // a position without a module
    EXPECT_EQ(CompareProcessModules(*p, tables, 0, 600, 0), 0);
}

TEST(FileDetails, LevelTexts) {
    const struct {
        uint32_t flags;
        bool trusted;
        const char* text;
    } cases[] = {
        {0x20000400, false, "Authed"}, {0x60000800, false, "Authed"}, {0x40000800, false, "Quar"},
        {0x10000000, false, "Pending"}, {0x800, true, "----"},       {0, false, "----"},
        {0xFF, false, "Low"},          {0x400, false, "Mid"},         {0x400000, false, "High"},
        {0x40000800, true, "Quar"},
    };
    for (const auto& c : cases) EXPECT_EQ(FileLevelText(c.flags, c.trusted), c.text) << std::hex << c.flags;
}

TEST(FileDetails, SizeIsTheLowHalfAsASignedNumber) {
    EXPECT_EQ(FileSizeText(0), "0");
    EXPECT_EQ(FileSizeText(123456), "123456");
    EXPECT_EQ(FileSizeText(0x80000000u), "-2147483648");  // 2 GiB
    EXPECT_EQ(FileSizeText(0xFFFFFFFFu), "-1");
}

TEST(FileDetails, SearchAddressTakesTheNameUnchanged) {
    EXPECT_EQ(SearchAddress("my hook & co.dll"), "https://www.google.com/search?hl=zh-CN&q=my hook & co.dll&lr=");
    EXPECT_EQ(SearchAddress("%s.dll"), "https://www.google.com/search?hl=zh-CN&q=%s.dll&lr=");
}

class FakeFiles : public IFileFacts {
public:
    std::map<std::string, uint32_t> sizes;
    bool Read(const char* path, uint32_t* size, FileTime* created, FileTime* written) override {
        auto it = sizes.find(path);
        if (it == sizes.end()) return false;
        *size = it->second;
        *created = ToFileTime(11);
        *written = ToFileTime(22);
        return true;
    }
};

// A version resource with its strings under one translation key.
class StringTable : public IVersionInfo {
public:
    bool present = true, translation = true;
    std::map<std::string, std::string> strings;  // full sub-block -> value
    std::vector<std::string> queried;
    bool Load(const char*) override { return present; }
    bool Translation(uint16_t* language, uint16_t* codePage) override {
        *language = 0x0409;
        *codePage = 0x04B0;
        return translation;
    }
    bool QueryString(const std::string& subBlock, std::string* value) override {
        queried.push_back(subBlock);
        auto it = strings.find(subBlock);
        if (it == strings.end()) return false;
        *value = it->second;
        return true;
    }
};

TEST(FileDetails, FieldsOfAFileAndItsVersionStrings) {
    CClientTables tables;
    ModuleRecord* m = AddModule(tables, "C:\\p\\hook.dll", 0x400000);
    FakeFiles files;
    files.sizes["C:\\p\\hook.dll"] = 4096;
    StringTable versions;
    const std::string key = "\\StringFileInfo\\040904b0\\";
    for (const char* name : kVersionStringNames) versions.strings[key + name] = std::string("v-") + name;
    versions.strings.erase(key + "LegalCopyright");

    FileDetails d;
    EXPECT_EQ(ReadFileDetails(m, false, files, versions, FakeTime, &d), 1);
    EXPECT_EQ(d.path, "C:\\p\\hook.dll");
    EXPECT_EQ(d.size, "4096");
    EXPECT_EQ(d.level, "High");
    EXPECT_EQ(d.created, "t11");
    EXPECT_EQ(d.modified, "t22");
    const std::array<std::string, kVersionStringCount> strings = {
        "v-OriginalFileName", "v-FileDescription", "v-FileVersion", "v-ProductName",
        "v-ProductVersion",   "v-CompanyName",     ""};
    EXPECT_EQ(d.version, strings);
    ASSERT_EQ(versions.queried.size(), kVersionStringCount);
    for (size_t i = 0; i < kVersionStringCount; ++i) EXPECT_EQ(versions.queried[i], key + kVersionStringNames[i]);

    // No translation, or no resource: empty strings, 0.
    versions.translation = false;
    EXPECT_EQ(ReadFileDetails(m, false, files, versions, FakeTime, &d), 0);
    EXPECT_EQ(d.version, (std::array<std::string, kVersionStringCount>{}));
    EXPECT_EQ(d.size, "4096");
    versions.present = false;
    EXPECT_EQ(ReadFileDetails(m, false, files, versions, FakeTime, &d), 0);
}

TEST(FileDetails, DeletedFileKeepsPathAndLevelOnlyAndNoModuleEmptiesAll) {
    CClientTables tables;
    ModuleRecord* m = AddModule(tables, "C:\\p\\gone.dll", 0x800);
    FakeFiles files;
    StringTable versions;
    versions.present = false;
    FileDetails d;
    EXPECT_EQ(ReadFileDetails(m, false, files, versions, FakeTime, &d), 0);
    EXPECT_EQ(d.path, "C:\\p\\gone.dll");
    EXPECT_EQ(d.level, "Mid");
    EXPECT_EQ(d.size + d.created + d.modified, "");

    d.path = "stale";
    EXPECT_EQ(ReadFileDetails(nullptr, false, files, versions, FakeTime, &d), 0);
    EXPECT_EQ(d.path + d.size + d.level + d.created + d.modified, "");
}

}  // namespace
}  // namespace ub
