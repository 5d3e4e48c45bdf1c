#include "tools/ubscan/ProcessScan.h"

namespace ub {

bool RunScanRound(IProcessSource& source, CScanTables& tables, int designated, bool firstRound) {
    uint32_t ids[kMaxProcessIds];
    uint32_t count = 0;
    if (!source.EnumProcessIds(ids, kMaxProcessIds, &count)) return false;
    tables.MarkEndedProcesses(ids, count);
    for (uint32_t i = 0; i < count; ++i) tables.ScanProcess(ids[i], designated, firstRound);
    return true;
}

void PrintRecords(std::FILE* out, const std::vector<std::unique_ptr<ModuleRecord>>& modules,
                  const std::vector<std::unique_ptr<ProcessRecord>>& processes, LevelColumnFn levelColumn) {
    for (const auto& p : processes) {
        const ProcessRecord& rec = *p;
        const char* main = rec.moduleCount && rec.moduleIndex[0] < modules.size()
                               ? modules[rec.moduleIndex[0]]->fullPath
                               : "";
        std::fprintf(out, "PID %u\t%s\n", unsigned(rec.processId), main);
        for (uint32_t i = 0; i < rec.moduleCount && i < kMaxModulesPerProcess; ++i) {
            if (rec.moduleIndex[i] >= modules.size()) continue;
            const ModuleRecord& m = *modules[rec.moduleIndex[i]];
            std::fprintf(out, "\t0x%08X\t%s\t%s\n", unsigned(m.flags), levelColumn(m.flags),
                         m.fullPath);
        }
    }
}

}  // namespace ub
