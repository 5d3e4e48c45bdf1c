// How long the client's process list page and module list page take to
// fill at capacity, on the real list control. Run under Wine (with a
// display) or on Windows:
//
//   bench_pages.exe [REPETITIONS]
//
// The fixture is 1024 processes with 8 to 512 modules each over a table of
// 8102 modules. The all-processes page (template 104) is measured for a full
// rebuild, an incremental update with 10 new and 10 ended processes, and a
// re-sort by each column as a header click does; the module page (template
// 108) for the list of a process with 512 modules. The parts of a rebuild
// (shell icon lookups, column texts, the bare list inserts) are timed on
// their own, and the page's update is run again through an instrumented
// copy of its list operations on the same control, once holding the list's
// handle and once looking it up by id before each operation as the page
// does. Every figure is milliseconds, min / median / max, with the rows the
// list control holds afterwards. The module files of the listed process
// are made as empty files in the temp folder and removed at the end.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "client/controls/win32/ListView.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"
#include "client/monitor/win32/Win32Classification.h"
#include "client/pages/ModuleRows.h"
#include "client/pages/ProcessRows.h"
#include "client/pages/win32/ProcListPage.h"
#include "client/pages/win32/ProcModPage.h"
#include "client/pages/win32/Win32TimeText.h"
#include "client/res/resource.h"
#include "client/shell/ClientSettings.h"
#include "client/shell/win32/ShellPlatform.h"
#include "tests/support/MemoryTree.h"

namespace {

using namespace ub;

constexpr size_t kProcesses = kMaxProcessSlots;  // 1024
constexpr size_t kModules = kMaxModuleSlots;     // 8102
constexpr size_t kDlls = kModules - kProcesses;  // the modules after the main images
constexpr int kChanged = 10;                     // new and ended processes of the delta
constexpr int kModuleListId = 1002;

// The client's icons appended to the system image list, as the tree does.
const int kClientIcons[] = {131, 132, 133, 134, 146, 147, 135, 136, 137, 138, 139, 140, 141, 142, 143, 145, 148};

class NullFrame : public IClientFrame {
public:
    void StartAlert() override {}
    void StopAlert() override {}
    void TablesChanged(int) override {}
    void CloseWaitDialog() override {}
};

// No box may block an unattended run: texts go to stderr, questions are No.
class StderrPrompt : public IPrompt {
public:
    void Message(const std::string& text) override { std::fprintf(stderr, "message: %s\n", text.c_str()); }
    bool AskYesNo(const std::string& text) override {
        std::fprintf(stderr, "question: %s\n", text.c_str());
        return false;
    }
    void FileError(const std::string& text) override { std::fprintf(stderr, "file error: %s\n", text.c_str()); }
};

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return double(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER c;
    ::QueryPerformanceCounter(&c);
    return double(c.QuadPart) / perMs;
}

// Runs the messages already queued (paints, sizes), outside any timing.
void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

struct Figures {
    std::vector<double> ms;
    std::set<int> rows;
};

void Print(const char* what, Figures f) {
    std::sort(f.ms.begin(), f.ms.end());
    std::string rows;
    for (int r : f.rows) rows += (rows.empty() ? "" : ",") + std::to_string(r);
    const size_t n = f.ms.size();
    const double median = n % 2 ? f.ms[n / 2] : (f.ms[n / 2 - 1] + f.ms[n / 2]) / 2;
    std::printf("%-52s %9.2f %9.2f %9.2f   rows %s\n", what, f.ms.front(), median, f.ms.back(), rows.c_str());
    std::fflush(stdout);
}

void PrintHeader(const char* title) {
    std::printf("\n%s\n%-52s %9s %9s %9s\n", title, "ms", "min", "median", "max");
}

// Sets the text fields of a module record from its path.
void SetPath(ModuleRecord& m, const std::string& path) {
    std::snprintf(m.fullPath, sizeof m.fullPath, "%s", path.c_str());
    std::snprintf(m.baseName, sizeof m.baseName, "%s", path.substr(path.find_last_of('\\') + 1).c_str());
}

FileTime Now100ns() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    return FileTime{ft.dwLowDateTime, ft.dwHighDateTime};
}

constexpr uint64_t kSecond = 10000000;  // FILETIME units

// The folder the fixture's paths lie in: ub_bench_pages in the temp folder.
std::string FixtureRoot() {
    char temp[MAX_PATH] = "";
    DWORD n = ::GetTempPathA(sizeof temp, temp);
    std::string root = n > 0 && n < sizeof temp ? std::string(temp, n) : std::string("C:\\");
    if (root.back() != '\\') root += '\\';
    return root + "ub_bench_pages\\";
}

// The fixture: main images at positions 0 to 1023 (`.exe`), libraries after
// them (`.dll`), every path distinct; about one library in eleven carries a
// finding so that the module list shows several level icons.
void FillModules(CClientTables& tables, const std::string& root) {
    char path[128];
    for (size_t i = 0; i < kModules; ++i) {
        auto m = std::make_unique<ModuleRecord>();
        std::memset(m.get(), 0, sizeof *m);
        if (i < kProcesses) {
            std::snprintf(path, sizeof path, "dir%02u\\proc%04u.exe", unsigned(i % 32), unsigned(i));
        } else {
            size_t j = i - kProcesses;
            std::snprintf(path, sizeof path, "dir%02u\\mod%05u.dll", unsigned(j % 97), unsigned(j));
            if (j % 11 == 0) m->flags = MF_READ_PROCESS_MEMORY;
            if (j % 23 == 0) m->flags = MF_WRITE_PROCESS_MEMORY | MF_SET_WINDOWS_HOOK_EX;
            if (j % 37 == 0) m->flags = MF_CALL_MSG_FILTER;
        }
        SetPath(*m, root + path);
        tables.modules.push_back(std::move(m));
    }
}

// Process `i` runs main image `image` with 8 to 512 modules (512 for
// process 0, the one the module page shows); distinct libraries within a
// process (the step 17 is prime to the library count).
std::unique_ptr<ProcessRecord> MakeProcess(size_t i, size_t image, FileTime start) {
    auto p = std::make_unique<ProcessRecord>();
    std::memset(p.get(), 0, sizeof *p);
    p->processHandle = uint32_t(0x100 + 4 * i);
    p->processId = uint32_t(1000 + 4 * i);
    p->moduleCount = i == 0 ? kMaxModulesPerProcess : uint32_t(8 + (i * 37) % 505);
    p->moduleIndex[0] = uint32_t(image);
    for (uint32_t k = 1; k < p->moduleCount; ++k) p->moduleIndex[k] = uint32_t(kProcesses + (i * 131 + k * 17) % kDlls);
    for (uint32_t k = 0; k < p->moduleCount; ++k) {
        p->moduleBase[k] = 0x10000000u + k * 0x20000u;
        p->moduleSize[k] = 0x18000u + (k % 7) * 0x1000u;
    }
    p->creationTime = start;
    p->kernelTime = ToFileTime((i % 90) * kSecond);
    p->userTime = ToFileTime((i % 60) * kSecond);
    return p;
}

void FillProcesses(CClientTables& tables) {
    const uint64_t now = ToU64(Now100ns());
    for (size_t i = 0; i < kProcesses; ++i) {
        auto p = MakeProcess(i, i, ToFileTime(now - (kProcesses - i) * 10 * kSecond));
        if (i % 100 == 50) {
            // A few ended processes, already shown as such.
            p->exitTime = ToFileTime(ToU64(p->creationTime) + 300 * kSecond);
            p->status = ST_FINISHED_SHOWN;
        }
        tables.processes.push_back(std::move(p));
    }
}

// Empty files for the modules of one process: a module whose file cannot be
// read counts as trusted, so only these rows get their level icons (and the
// attribute reads of the rows succeed, as on a real system).
std::vector<std::string> MakeFiles(const ProcessRecord& p, const CClientTables& tables) {
    std::vector<std::string> made;
    for (uint32_t k = 0; k < p.moduleCount; ++k) {
        std::string path = tables.modules[p.moduleIndex[k]]->fullPath;
        for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
            ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
        HANDLE h =
            ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        ::CloseHandle(h);
        made.push_back(path);
    }
    return made;
}

// Removes the files and every folder under the root that is left empty.
void RemoveFiles(const std::vector<std::string>& files, const std::string& root) {
    std::set<std::string> folders;
    for (const std::string& f : files) {
        ::DeleteFileA(f.c_str());
        folders.insert(f.substr(0, f.find_last_of('\\')));
    }
    for (const std::string& d : folders) ::RemoveDirectoryA(d.c_str());
    ::RemoveDirectoryA(root.substr(0, root.size() - 1).c_str());
}

// The list control behind the rows interface with the time and the calls of
// each operation: the same messages the page sends, run by the same update.
class TimedRows : public IProcessRows {
public:
    struct Op {
        const char* name;
        int calls = 0;
        double ms = 0;
    };
    Op rowCount{"RowCount"}, rowData{"RowData (LVM_GETITEM)"}, deleteRow{"DeleteRow"}, deleteAll{"DeleteAllRows"},
        insertTop{"InsertTop (insert + 6 texts + state)"}, setText{"SetText"}, sortRows{"SortRows (LVM_SORTITEMS)"},
        selectRow{"SelectRow"}, image{"row image (shell icon lookup)"}, texts{"time texts (ListTimeText)"};

    TimedRows(HWND list, const CClientTables& tables, int key)
        : m_list(list), m_parent(::GetParent(list)), m_id(::GetDlgCtrlID(list)), m_tables(tables), m_key(key) {}
    // Each operation looks the list up by its id first, as the page does.
    bool lookUpList = false;
    std::vector<Op*> Ops() {
        return {&deleteAll, &image, &texts, &insertTop, &rowCount, &rowData, &setText, &sortRows, &deleteRow,
                &selectRow};
    }
    void Reset() {
        for (Op* op : Ops()) op->calls = 0, op->ms = 0;
    }

    int RowCount() override {
        Timer t(rowCount);
        return View().GetItemCount();
    }
    uintptr_t RowData(int row) override {
        Timer t(rowData);
        return View().GetItemParam(row);
    }
    void DeleteRow(int row) override {
        Timer t(deleteRow);
        ::SendMessageA(View().Handle(), LVM_DELETEITEM, WPARAM(row), 0);
    }
    void DeleteAllRows() override {
        Timer t(deleteAll);
        View().DeleteAllItems();
    }
    void InsertTop(const std::vector<std::string>& t, int img, uintptr_t data) override {
        Timer timer(insertTop);
        win::CListView view = View();
        int row = view.InsertItem(0, t.empty() ? "" : t[0].c_str(), img, data);
        if (row < 0) return;
        for (size_t sub = 1; sub < t.size(); ++sub) view.SetSubItem(row, int(sub), t[sub].c_str());
        view.SetItemState(row, 0, LVIS_SELECTED | LVIS_FOCUSED);
    }
    void SetText(int row, int column, const std::string& text) override {
        Timer t(setText);
        View().SetSubItem(row, column, text.c_str());
    }
    void SortRows() override {
        Timer t(sortRows);
        View().SortItems(Compare, reinterpret_cast<LPARAM>(this));
    }
    void SelectRow(int row) override {
        Timer t(selectRow);
        View().FocusRow(row);
    }

    struct Timer {
        explicit Timer(Op& op) : m_op(op), m_t0(NowMs()) {}
        ~Timer() {
            ++m_op.calls;
            m_op.ms += NowMs() - m_t0;
        }
        Op& m_op;
        double m_t0;
    };

private:
    win::CListView View() const { return lookUpList ? win::CListView(::GetDlgItem(m_parent, m_id)) : m_view; }
    static int CALLBACK Compare(LPARAM a, LPARAM b, LPARAM self) {
        auto* rows = reinterpret_cast<const TimedRows*>(self);
        return CompareProcesses(*reinterpret_cast<const ProcessRecord*>(a), *reinterpret_cast<const ProcessRecord*>(b),
                                rows->m_key, rows->m_tables);
    }

    HWND m_list;
    HWND m_parent;
    int m_id;
    win::CListView m_view{m_list};
    const CClientTables& m_tables;
    int m_key;
    friend void RunTimedUpdate(TimedRows&, ProcessListState&, int, CTreeController&, const CClientTables&);
};

// One update through the instrumented rows, the image and text helpers timed too.
void RunTimedUpdate(TimedRows& rows, ProcessListState& state, int mode, CTreeController& controller,
                    const CClientTables& tables) {
    auto image = [&](const ProcessRecord& p) {
        TimedRows::Timer t(rows.image);
        return controller.ProcessImage(p);
    };
    auto listTime = [&](const FileTime& utc) {
        TimedRows::Timer t(rows.texts);
        return ListTimeText(utc);
    };
    ::SendMessageA(rows.m_list, WM_SETREDRAW, FALSE, 0);
    UpdateProcessRows(rows, state, mode, nullptr, tables, image, listTime);
    ::SendMessageA(rows.m_list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(rows.m_list, nullptr, TRUE);
}

void PrintOps(TimedRows& rows, int reps) {
    for (TimedRows::Op* op : rows.Ops()) {
        if (!op->calls) continue;
        std::printf("  %-42s %8d calls %10.2f ms  (%.2f us a call)\n", op->name, op->calls / reps, op->ms / reps,
                    1000.0 * op->ms / op->calls);
    }
}

// Running processes that the delta ends: 10 spread over the table.
std::vector<size_t> EndedByDelta() {
    std::vector<size_t> ended;
    for (int k = 0; k < kChanged; ++k) ended.push_back(size_t(3 + k * 101));
    return ended;
}

// Back to the 1024 records of the snapshot; the list must be empty first,
// its rows point at the records dropped here.
void ResetProcesses(CClientTables& tables) {
    tables.processes.resize(kProcesses);
    for (size_t i : EndedByDelta()) {
        tables.processes[i]->status = ST_REPORTED;
        tables.processes[i]->exitTime = FileTime{0, 0};
    }
}

// A delta: 10 new processes (more instances of existing programs) and 10
// ended ones.
void ApplyDelta(CClientTables& tables) {
    const FileTime now = Now100ns();
    for (int k = 0; k < kChanged; ++k) {
        size_t i = kProcesses + size_t(k);
        auto p = MakeProcess(i, size_t(k) * 97 % kProcesses, now);
        p->status = ST_NEW;
        tables.processes.push_back(std::move(p));
    }
    for (size_t i : EndedByDelta()) {
        tables.processes[i]->status = ST_FINISHED;
        tables.processes[i]->exitTime = now;
    }
}

std::string CellText(HWND list, int row, int column) {
    char text[1100] = "";
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ::SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int RowsWithText(HWND list, int column, const char* text) {
    int n = 0;
    for (int r = 0, count = win::CListView(list).GetItemCount(); r < count; ++r)
        if (CellText(list, r, column) == text) ++n;
    return n;
}

// True when every pair of neighbouring rows is in order for the key.
bool ProcessRowsSorted(HWND list, int key, const CClientTables& tables) {
    win::CListView view(list);
    for (int r = 1, n = view.GetItemCount(); r < n; ++r) {
        const auto* a = reinterpret_cast<const ProcessRecord*>(view.GetItemParam(r - 1));
        const auto* b = reinterpret_cast<const ProcessRecord*>(view.GetItemParam(r));
        if (CompareProcesses(*a, *b, key, tables) > 0) return false;
    }
    return true;
}

// A header click as the list control reports it to its parent.
void ClickColumn(HWND page, HWND list, int listId, int column) {
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = list;
    nm.hdr.idFrom = UINT_PTR(listId);
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iItem = -1;
    nm.iSubItem = column;
    ::SendMessageA(page, WM_NOTIFY, WPARAM(listId), reinterpret_cast<LPARAM>(&nm));
}

template <class Step>
double Time(Step step) {
    double t0 = NowMs();
    step();
    return NowMs() - t0;
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 10;

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);

    WNDCLASSA wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "UbBenchPagesParent";
    ::RegisterClassA(&wc);
    RECT frame{0, 0, 800, 500};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND parent =
        ::CreateWindowExA(0, wc.lpszClassName, "bench_pages", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (!parent) {
        std::fprintf(stderr, "bench_pages: no window (is there a display?)\n");
        return 1;
    }
    ::ShowWindow(parent, SW_SHOW);
    ::UpdateWindow(parent);

    const std::string root = FixtureRoot();
    CClientTables tables;
    FillModules(tables, root);
    FillProcesses(tables);
    const std::vector<std::string> files = MakeFiles(*tables.processes[0], tables);

    test::CMemoryTree tree;
    CClientSettings settings;
    NullFrame clientFrame;
    StderrPrompt prompt;
    CWin32SystemIcons systemIcons;
    CWin32FileAttributes attributes;
    TreePlatform platform;
    platform.attributes = &attributes;
    platform.systemIcons = &systemIcons;
    platform.folders = ReadTrustedFolders();
    if (const OSVERSIONINFOA* version = OsVersion())
        platform.windows2000 = version->dwMajorVersion == 5 && version->dwMinorVersion == 0;
    CTreeController controller(tree, tables, settings, clientFrame, prompt, platform);

    // The tree's image list: the system's small icons, the client's after them.
    HIMAGELIST images = SystemSmallImageList();
    if (!images) images = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 32, 32);
    for (int icon : kClientIcons) {
        HICON h = static_cast<HICON>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        int index = h ? ::ImageList_AddIcon(images, h) : -1;
        if (h) ::DestroyIcon(h);
        if (index >= 0) controller.Images().Set(icon, index);
    }
    controller.InsertFixedNodes();

    size_t moduleRefs = 0;
    for (const auto& p : tables.processes) moduleRefs += p->moduleCount;
    std::printf(
        "bench_pages: %d repetitions; %zu processes, %zu modules, %zu module references; system image list %s "
        "(%d images); %zu module files made under %s\n",
        reps, tables.processes.size(), tables.modules.size(), moduleRefs, SystemSmallImageList() ? "yes" : "no",
        ::ImageList_GetImageCount(images), files.size(), root.c_str());

    // ---- all-processes page ----
    CProcListPage procPage(IDD_ALL_PROCESSES, controller, tables, images);
    if (!procPage.CreateModeless(parent) || !procPage.List()) {
        std::fprintf(stderr, "bench_pages: the process list page was not created\n");
        return 1;
    }
    ::MoveWindow(procPage, 0, 0, 800, 500, TRUE);
    ::ShowWindow(procPage, SW_SHOW);
    Pump();
    HWND procList = procPage.List();
    win::CListView procView(procList);

    PrintHeader("All-processes page (template 104), 1024 processes");
    {
        Figures fill, paint;
        for (int r = 0; r < reps; ++r) {
            fill.ms.push_back(Time([&] {
                procPage.ShowContext(0);
                procPage.OnTablesChanged(2, 0);
            }));
            fill.rows.insert(procView.GetItemCount());
            paint.ms.push_back(Time([&] { ::UpdateWindow(procList); }));
            paint.rows.insert(procView.GetItemCount());
            Pump();
        }
        Print("full rebuild: ShowContext(0) + OnTablesChanged(2)", fill);
        Print("  first paint after it (UpdateWindow)", paint);
        std::printf("  sorted by key %d: %s; \"Finished\" rows: %d\n", procPage.SortKey(),
                    ProcessRowsSorted(procList, procPage.SortKey(), tables) ? "yes" : "NO",
                    RowsWithText(procList, kStatusColumn, "Finished"));
    }

    {
        Figures delta;
        int finished = 0, fresh = 0;
        for (int r = 0; r < reps; ++r) {
            procPage.ShowContext(0);
            ResetProcesses(tables);
            procPage.OnTablesChanged(2, 0);
            Pump();
            ApplyDelta(tables);
            delta.ms.push_back(Time([&] { procPage.OnTablesChanged(1, 0); }));
            delta.rows.insert(procView.GetItemCount());
            Pump();
        }
        finished = RowsWithText(procList, kStatusColumn, "Finished");
        fresh = RowsWithText(procList, kStatusColumn, "New");
        Print("incremental: OnTablesChanged(1), 10 new + 10 ended", delta);
        std::printf("  sorted by key %d: %s; \"Finished\" rows: %d, \"New\" rows: %d\n", procPage.SortKey(),
                    ProcessRowsSorted(procList, procPage.SortKey(), tables) ? "yes" : "NO", finished, fresh);
        procPage.ShowContext(0);
        ResetProcesses(tables);
        procPage.OnTablesChanged(2, 0);
        Pump();
    }

    {
        bool allSorted = true;
        for (int column = 0; column < 6; ++column) {
            Figures sort;
            for (int r = 0; r < reps; ++r) {
                sort.ms.push_back(Time([&] { ClickColumn(procPage, procList, kProcessListId, column); }));
                sort.rows.insert(procView.GetItemCount());
                allSorted = allSorted && ProcessRowsSorted(procList, procPage.SortKey(), tables);
                Pump();
            }
            std::string what = "column click re-sort: \"" + std::string(kProcListColumns[column].heading) + "\"";
            Print(what.c_str(), sort);
        }
        std::printf("  every re-sort left the rows in order: %s\n", allSorted ? "yes" : "NO");
    }

    // The parts of a full rebuild, each on its own.
    PrintHeader("Parts of the full rebuild, 1024 processes");
    {
        Figures icons, texts, inserts, sort;
        std::set<int> distinctIcons;
        std::vector<std::vector<std::string>> rowTexts;
        std::vector<int> rowImages;
        for (int r = 0; r < reps; ++r) {
            rowImages.clear();
            icons.ms.push_back(Time([&] {
                for (const auto& p : tables.processes) rowImages.push_back(controller.ProcessImage(*p));
            }));
            distinctIcons.insert(rowImages.begin(), rowImages.end());
            icons.rows.insert(int(rowImages.size()));

            rowTexts.clear();
            texts.ms.push_back(Time([&] {
                for (const auto& p : tables.processes) rowTexts.push_back(ProcessRowTexts(*p, tables, ListTimeText));
            }));
            texts.rows.insert(int(rowTexts.size()));

            // The page's inserts (at the top, six sub-items, state cleared)
            // with drawing off, as the update does.
            procPage.ShowContext(0);
            Pump();
            inserts.ms.push_back(Time([&] {
                ::SendMessageA(procList, WM_SETREDRAW, FALSE, 0);
                for (size_t i = 0; i < rowTexts.size(); ++i) {
                    int row = procView.InsertItem(0, rowTexts[i][0].c_str(), rowImages[i],
                                                  reinterpret_cast<uintptr_t>(tables.processes[i].get()));
                    for (size_t sub = 1; sub < rowTexts[i].size(); ++sub)
                        procView.SetSubItem(row, int(sub), rowTexts[i][sub].c_str());
                    procView.SetItemState(row, 0, LVIS_SELECTED | LVIS_FOCUSED);
                }
                ::SendMessageA(procList, WM_SETREDRAW, TRUE, 0);
            }));
            inserts.rows.insert(procView.GetItemCount());
            ::InvalidateRect(procList, nullptr, TRUE);
            Pump();
        }
        Print("shell icon lookups: ProcessImage x 1024", icons);
        std::printf("  distinct images: %zu\n", distinctIcons.size());
        Print("column texts: ProcessRowTexts x 1024", texts);
        Print("bare list inserts, 7 columns, drawing off", inserts);
        procPage.ShowContext(0);
        Pump();

        Figures del;
        for (int r = 0; r < reps; ++r) {
            procPage.OnTablesChanged(2, 0);
            Pump();
            del.ms.push_back(Time([&] { procView.DeleteAllItems(); }));
            del.rows.insert(procView.GetItemCount());
            Pump();
        }
        Print("DeleteAllItems of 1024 rows", del);
    }

    // The same update run through an instrumented copy of the page's list
    // operations on the same list control: where the time of each goes.
    {
        TimedRows rows(procList, tables, procPage.SortKey());
        ProcessListState state;
        double total = 0;
        for (int r = 0; r < reps; ++r) {
            procView.DeleteAllItems();
            Pump();
            state.needFull = true;
            total += Time([&] { RunTimedUpdate(rows, state, 2, controller, tables); });
            Pump();
        }
        std::printf("\nFull rebuild by list operation (means of %d runs; %.2f ms a run in all, rows %d)\n", reps,
                    total / reps, procView.GetItemCount());
        PrintOps(rows, reps);

        rows.Reset();
        total = 0;
        for (int r = 0; r < reps; ++r) {
            procView.DeleteAllItems();
            ResetProcesses(tables);
            state.needFull = true;
            RunTimedUpdate(rows, state, 2, controller, tables);
            Pump();
            rows.Reset();
            ApplyDelta(tables);
            total += Time([&] { RunTimedUpdate(rows, state, 1, controller, tables); });
            Pump();
        }
        // Only the last run's counts are left: scale them as one run.
        std::printf(
            "\nIncremental update by list operation (calls and times of the last run; %.2f ms a run on average, "
            "rows %d)\n",
            total / reps, procView.GetItemCount());
        PrintOps(rows, 1);

        // The same two updates with the list looked up by id before every
        // operation, as the page's ListView() does.
        rows.lookUpList = true;
        Figures fullLookup, deltaLookup;
        for (int r = 0; r < reps; ++r) {
            procView.DeleteAllItems();
            ResetProcesses(tables);
            Pump();
            state.needFull = true;
            fullLookup.ms.push_back(Time([&] { RunTimedUpdate(rows, state, 2, controller, tables); }));
            fullLookup.rows.insert(procView.GetItemCount());
            Pump();
            ApplyDelta(tables);
            deltaLookup.ms.push_back(Time([&] { RunTimedUpdate(rows, state, 1, controller, tables); }));
            deltaLookup.rows.insert(procView.GetItemCount());
            Pump();
        }
        rows.lookUpList = false;
        std::printf("\n%-52s %9s %9s %9s\n", "The same, the list looked up by id per operation", "min", "median",
                    "max");
        Print("full rebuild", fullLookup);
        Print("incremental, 10 new + 10 ended", deltaLookup);
        Figures lookups;
        for (int r = 0; r < reps; ++r) {
            HWND found = nullptr;
            lookups.ms.push_back(Time([&] {
                for (int i = 0; i < 1000; ++i) found = ::GetDlgItem(procPage, kProcessListId);
            }));
            lookups.rows.insert(found == procList ? procView.GetItemCount() : -1);
        }
        Print("GetDlgItem(page, list id) x 1000", lookups);
        procView.DeleteAllItems();
        ResetProcesses(tables);
        Pump();
    }
    ::ShowWindow(procPage, SW_HIDE);

    // ---- module list of a process ----
    CProcModPage modPage(controller, tables, images);
    if (!modPage.CreateModeless(parent) || !::GetDlgItem(modPage, kModuleListId)) {
        std::fprintf(stderr, "bench_pages: the module page was not created\n");
        return 1;
    }
    ::MoveWindow(modPage, 0, 0, 800, 500, TRUE);
    ::ShowWindow(modPage, SW_SHOW);
    Pump();
    HWND modList = ::GetDlgItem(modPage, kModuleListId);
    win::CListView modView(modList);
    const ProcessRecord& big = *tables.processes[0];

    PrintHeader("Module list of a process (template 108), 512 modules");
    {
        Figures fill, paint, rows;
        for (int r = 0; r < reps; ++r) {
            fill.ms.push_back(Time([&] { modPage.ShowContext(reinterpret_cast<uintptr_t>(&big)); }));
            fill.rows.insert(modView.GetItemCount());
            paint.ms.push_back(Time([&] { ::UpdateWindow(modList); }));
            paint.rows.insert(modView.GetItemCount());
            Pump();
            size_t n = 0;
            rows.ms.push_back(Time([&] { n = ProcessModuleRows(controller, big, tables).size(); }));
            rows.rows.insert(int(n));
        }
        Print("fill: ShowContext(process)", fill);
        Print("  first paint after it (UpdateWindow)", paint);
        Print("  of which the rows: ProcessModuleRows", rows);
        // Rows by level icon: clean, low, mid, high, anything else.
        const int levelIcons[] = {ICON_CLEAN_MODULE, ICON_LEVEL_LOW, ICON_LEVEL_MID, ICON_LEVEL_HIGH};
        int levels[5] = {0, 0, 0, 0, 0};
        for (int r = 0, n = modView.GetItemCount(); r < n; ++r) {
            LVITEMA item{};
            item.mask = LVIF_IMAGE;
            item.iItem = r;
            ::SendMessageA(modList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            int level = 0;
            while (level < 4 && item.iImage != controller.Images().Of(levelIcons[level])) ++level;
            ++levels[level];
        }
        std::printf("  row icons: clean %d, low %d, mid %d, high %d, other %d\n", levels[0], levels[1], levels[2],
                    levels[3], levels[4]);
    }
    {
        const int columns[] = {0, 2};
        for (int column : columns) {
            Figures sort;
            for (int r = 0; r < reps; ++r) {
                sort.ms.push_back(Time([&] { ClickColumn(modPage, modList, kModuleListId, column); }));
                sort.rows.insert(modView.GetItemCount());
                Pump();
            }
            std::string what = "column click re-sort: \"" + std::string(kProcModColumns[column].heading) + "\"";
            Print(what.c_str(), sort);
        }
    }

    modPage.ForgetRecords();
    procPage.ForgetRecords();
    modPage.Destroy();
    procPage.Destroy();
    ::DestroyWindow(parent);
    RemoveFiles(files, root);
    return 0;
}
