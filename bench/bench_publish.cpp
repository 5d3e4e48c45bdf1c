// Cost of one publication at the block's capacity: 1024 process records
// with 512 modules each and 8102 module records, copied into a 16 MiB block.
// "Snapshot" publishes everything in full; "Delta" publishes the same
// records as changes (all new), which adds the check that every process's
// modules are held by the client. Prints ms per publication and MB/s.
//
//   bench_publish [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "service/Publisher.h"

namespace {

using namespace ub;

// Publication needs no process source; this one is never called.
class NoSource : public IProcessSource {
public:
    bool EnumProcessIds(uint32_t*, uint32_t, uint32_t*) override { return false; }
    uint32_t OpenProcess(uint32_t) override { return 0; }
    void CloseProcess(uint32_t) override {}
    bool HasEnded(uint32_t) override { return false; }
    bool EnumModules(uint32_t, uint64_t*, uint32_t, uint32_t*) override { return false; }
    bool ReadModulePath(uint32_t, uint64_t, char*, size_t) override { return false; }
    bool ReadBaseName(uint32_t, uint64_t, char*, size_t) override { return false; }
    void GetModuleInfo(uint32_t, uint64_t, ModuleInfo*) override {}
    void GetTimes(uint32_t, ProcessTimes*) override {}
    bool ReadMemory(uint32_t, uint64_t, void*, size_t, size_t*, uint32_t*) override { return false; }
};

class NoLock : public IChannelLock {
public:
    bool Acquire() override { return true; }
    void Release() override {}
};

constexpr size_t kBytesPerPublication =
    kMaxProcessSlots * sizeof(ProcessRecord) + kMaxModuleSlots * sizeof(ModuleRecord);

// Tables filled to the block's capacity. Process p refers to modules
// (p * 8 + k * 15) mod 8102 for k < 512: every module is used and the
// indices spread over the whole table.
struct FullTables {
    NoSource source;
    CScanTables tables{source};

    FullTables() {
        for (size_t i = 0; i < kMaxModuleSlots; ++i) {
            auto m = std::make_unique<ModuleRecord>();
            std::memset(m.get(), 0, sizeof *m);
            m->status = ST_NEW;
            m->flags = uint32_t(i);
            std::snprintf(m->baseName, kNameSize, "m%05zu.dll", i);
            std::snprintf(m->fullPath, kPathSize, "C:\\Program Files\\Bench\\lib\\m%05zu.dll", i);
            tables.Modules().push_back(std::move(m));
        }
        for (size_t p = 0; p < kMaxProcessSlots; ++p) {
            auto r = std::make_unique<ProcessRecord>();
            std::memset(r.get(), 0, sizeof *r);
            r->status = ST_NEW;
            r->processId = uint32_t(4 + 4 * p);
            r->moduleCount = kMaxModulesPerProcess;
            for (uint32_t k = 0; k < kMaxModulesPerProcess; ++k) {
                r->moduleIndex[k] = uint32_t((p * 8 + k * 15) % kMaxModuleSlots);
                r->moduleBase[k] = 0x10000000u + k * 0x10000u;
                r->moduleSize[k] = 0x8000u + k;
            }
            tables.Processes().push_back(std::move(r));
        }
        tables.ReindexModules();
    }

    void MarkAllNew() {
        for (auto& m : tables.Modules()) m->status = ST_NEW;
        for (auto& p : tables.Processes()) p->status = ST_NEW;
    }
};

std::vector<uint8_t>& Block() {
    static std::vector<uint8_t> block(kBlockSize, 0);  // every page touched once here
    return block;
}

void Check(const CChannelBlock& view) {
    if (view.ProcessCount() != kMaxProcessSlots || view.ModuleCount() != kMaxModuleSlots) {
        std::fprintf(stderr, "bench_publish: published %u processes, %u modules\n", view.ProcessCount(),
                     view.ModuleCount());
        std::abort();
    }
}

// A full snapshot copies every record whatever its status, so the
// iterations need no reset.
void BM_Snapshot(benchmark::State& state) {
    FullTables t;
    CChannelBlock view(Block().data());
    NoLock lock;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PublishTables(view, lock, t.tables, true));
        benchmark::ClobberMemory();
    }
    Check(view);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytesPerPublication));
}

// A delta in which every record changed; the statuses and the state are
// restored outside the timed region.
void BM_Delta(benchmark::State& state) {
    FullTables t;
    CChannelBlock view(Block().data());
    NoLock lock;
    for (auto _ : state) {
        state.PauseTiming();
        t.MarkAllNew();
        view.SetState(CS_CONSUMED);
        state.ResumeTiming();
        benchmark::DoNotOptimize(PublishTables(view, lock, t.tables, false));
        benchmark::ClobberMemory();
    }
    Check(view);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytesPerPublication));
}

class FigureReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;  // adjusted real time, in ms
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) ms[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    static char reps[] = "--benchmark_repetitions=5";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    for (int i = 0; i < argc; ++i) {
        args.push_back(argv[i]);
        if (i == 0) {
            args.push_back(reps);  // defaults; later flags on the command line win
            args.push_back(aggregates);
        }
    }
    Block();
    std::printf("publication at capacity: %zu processes, %zu modules, %.2f MB copied\n", kMaxProcessSlots,
                kMaxModuleSlots, kBytesPerPublication / 1e6);
    benchmark::RegisterBenchmark("Snapshot", BM_Snapshot)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Delta", BM_Delta)->Unit(benchmark::kMillisecond);
    int n = int(args.size());
    benchmark::Initialize(&n, args.data());
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Medians when repeated, single runs otherwise.
    for (const char* name : {"Snapshot", "Delta"}) {
        auto it = reporter.ms.find(std::string(name) + "_median");
        if (it == reporter.ms.end()) it = reporter.ms.find(name);
        if (it == reporter.ms.end() || it->second <= 0) continue;
        std::printf("%-8s %.3f ms per publication, %.0f MB/s\n", name, it->second,
                    kBytesPerPublication / 1e6 / (it->second / 1e3));
    }
    return 0;
}
