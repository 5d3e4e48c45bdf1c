// The process list pages' rows: the column texts of a process record, the
// processes a page shows, and the update that keeps a list in step with
// the client tables after each merge. Portable; the pages' list controls
// sit behind IProcessRows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "client/controls/ListRows.h"
#include "client/monitor/ClientTables.h"
#include "client/monitor/TreeController.h"

namespace ub {

// Column headings and widths in pixels, exactly as shown ("Mod Num" is hidden).
constexpr ListColumn kProcListColumns[] = {{"ImageName", 120}, {"Satatus", 60},   {"PID", 40},   {"FullName", 240},
                                           {"BeginTime", 80},  {"EndTime", 80}, {"Mod Num", 0}};
constexpr int kStatusColumn = 1;
constexpr int kAllProcessesTemplate = 104;
constexpr int kAuthenticProcessesTemplate = 129;
constexpr int kEndTimeColumn = 5;

// A UTC FILETIME as local time in the lists' pattern.
using TimeTextFn = std::function<std::string(const FileTime& utc)>;

// "New", "Finished" or "----".
const char* ProcessStatusText(uint8_t status);
// The exit time in the lists' pattern, "----" while both halves are zero.
std::string EndTimeText(const FileTime& exit, const TimeTextFn& listTime);
// A CPU time (100 ns units) as whole seconds shown as a UTC clock time,
// "%H:%M:%S": the hours count modulo 24.
std::string CpuTimeText(const FileTime& duration);
// "%d".
std::string DecimalText(int64_t value);

// The extension of a path's file name in lower case ("" for none): what
// the shell's icon by file type depends on.
std::string FileTypeOf(const char* path);

// The module the first module index names, or null.
const ModuleRecord* MainModule(const ProcessRecord& process, const CClientTables& tables);
// The seven column texts of a process.
std::vector<std::string> ProcessRowTexts(const ProcessRecord& process, const CClientTables& tables,
                                         const TimeTextFn& listTime);
// True when one of the process's module indexes names `module`.
bool LoadsModule(const ProcessRecord& process, const CClientTables& tables, const ModuleRecord* module);

// Which processes a process list shows for its template and its group's
// context: every process (null, template 104), those that load the
// context's module (127 and 111), or those that load the module of the
// context's authentic entry (129). False when the list shows nothing: an
// entry without its module, or no context (after a snapshot freed it).
bool ProcessListFilter(int templateId, uintptr_t context, const ModuleRecord** filter);

// A process list control: rows with texts, an image and a record as data.
class IProcessRows : public IRecordRows {
public:
    virtual void DeleteAllRows() = 0;
    // Inserts a row at position 0; its state cleared.
    virtual void InsertTop(const std::vector<std::string>& texts, int image, uintptr_t data) = 0;
    virtual void SetText(int row, int column, const std::string& text) = 0;
    // Sorts every row with the page's current key.
    virtual void SortRows() = 0;
    // Gives the list the focus, selects and focuses the row and shows it.
    virtual void SelectRow(int row) = 0;
};

// What a process list keeps between updates.
struct ProcessListState {
    bool needFull = true;    // the next update rebuilds every row
    uintptr_t reselect = 0;  // the record whose row the next update selects
};

// One update after a merge of the given mode (2 full, else incremental):
// rebuilds or inserts the new records, turns ended rows to "Finished",
// sorts when anything changed, then selects the pending record's row.
// `filter` null lists every process; otherwise only those that load it.
// `image` gives a record's row image.
void UpdateProcessRows(IProcessRows& rows, ProcessListState& state, int mode, const ModuleRecord* filter,
                       const CClientTables& tables, const std::function<int(const ProcessRecord&)>& image,
                       const TimeTextFn& listTime);

// "Killed Process %s." or the refusal, %s the process's base name.
std::string KillResultText(bool killed, const std::string& baseName);

}  // namespace ub
