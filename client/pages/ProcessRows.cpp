#include "client/pages/ProcessRows.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "client/pages/TimeText.h"
#include "common/TextFold.h"

namespace ub {

const char* ProcessStatusText(uint8_t status) {
    switch (status) {
        case ST_NEW:
        case ST_NEW_SHOWN: return "New";
        case ST_FINISHED_SHOWN: return "Finished";
        default: return "----";
    }
}

std::string EndTimeText(const FileTime& exit, const TimeTextFn& listTime) {
    if (exit.low == 0 && exit.high == 0) return "----";
    return listTime(exit);
}

std::string CpuTimeText(const FileTime& duration) {
    uint64_t seconds = ToU64(duration) / 10000000u;
    CivilTime t;
    t.year = 1970;
    t.weekday = 4;  // 1 January 1970 was a Thursday
    t.hour = int(seconds / 3600 % 24);
    t.minute = int(seconds / 60 % 60);
    t.second = int(seconds % 60);
    return FormatCivilTime(t, "%H:%M:%S");
}

std::string DecimalText(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    return text;
}

std::string FileTypeOf(const char* path) {
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/') name = c + 1;
    const char* dot = std::strrchr(name, '.');
    std::string type = dot ? dot : "";
    for (char& c : type) c = FoldAscii(c);
    return type;
}

const ModuleRecord* MainModule(const ProcessRecord& process, const CClientTables& tables) {
    if (process.moduleCount == 0 || process.moduleIndex[0] >= tables.modules.size()) return nullptr;
    return tables.modules[process.moduleIndex[0]].get();
}

std::vector<std::string> ProcessRowTexts(const ProcessRecord& p, const CClientTables& tables,
                                         const TimeTextFn& listTime) {
    const ModuleRecord* main = MainModule(p, tables);
    return {main ? main->baseName : "",
            ProcessStatusText(p.status),
            DecimalText(int32_t(p.processId)),
            main ? main->fullPath : "",
            listTime(p.creationTime),
            EndTimeText(p.exitTime, listTime),
            DecimalText(int32_t(p.moduleCount))};
}

bool LoadsModule(const ProcessRecord& p, const CClientTables& tables, const ModuleRecord* module) {
    uint32_t count = p.moduleCount < kMaxModulesPerProcess ? p.moduleCount : kMaxModulesPerProcess;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index = p.moduleIndex[i];
        if (index < tables.modules.size() && tables.modules[index].get() == module) return true;
    }
    return false;
}

bool ProcessListFilter(int templateId, uintptr_t context, const ModuleRecord** filter) {
    *filter = nullptr;
    switch (templateId) {
        case kAllProcessesTemplate: return true;
        case kAuthenticProcessesTemplate: {
            const auto* entry = reinterpret_cast<const AuthenticEntry*>(context);
            if (!entry || !entry->module) return false;
            *filter = entry->module;
            return true;
        }
        default:
            *filter = reinterpret_cast<const ModuleRecord*>(context);
            return *filter != nullptr;
    }
}

void UpdateProcessRows(IProcessRows& rows, ProcessListState& state, int mode, const ModuleRecord* filter,
                       const CClientTables& tables, const std::function<int(const ProcessRecord&)>& image,
                       const TimeTextFn& listTime) {
    if (state.needFull || mode == 2) {
        rows.DeleteAllRows();
        mode = 2;
    }
    bool changed = false;
    for (const auto& record : tables.processes) {
        const ProcessRecord& p = *record;
        if (filter && !LoadsModule(p, tables, filter)) continue;
        const uintptr_t data = reinterpret_cast<uintptr_t>(&p);
        bool inserted = false;
        if (mode == 2 || p.status == ST_NEW || p.status == ST_NEW_FINISHED) {
            rows.InsertTop(ProcessRowTexts(p, tables, listTime), image(p), data);
            inserted = true;
            changed = true;
        }
        if (p.status == ST_FINISHED || p.status == ST_NEW_FINISHED) {
            const bool hasExit = p.exitTime.low != 0 || p.exitTime.high != 0;
            auto finish = [&](int row) {
                rows.SetText(row, kStatusColumn, "Finished");
                if (hasExit) rows.SetText(row, kEndTimeColumn, listTime(p.exitTime));
            };
            if (inserted) {
                // Its only row is the one just put at the top: a record is
                // inserted again only after every row was deleted.
                finish(0);
            } else {
                for (int row = rows.RowCount() - 1; row >= 0; --row)
                    if (rows.RowData(row) == data) finish(row);
            }
            changed = true;
        }
    }
    if (changed) rows.SortRows();
    state.needFull = false;
    if (state.reselect) {
        for (int row = 0, n = rows.RowCount(); row < n; ++row) {
            if (rows.RowData(row) != state.reselect) continue;
            rows.SelectRow(row);
            break;
        }
        state.reselect = 0;
    }
}

std::string KillResultText(bool killed, const std::string& baseName) {
    return (killed ? "Killed Process " + baseName + "."
                   : "The Process " + baseName + " can't be killed, it has exited or access is denied.");
}

}  // namespace ub
