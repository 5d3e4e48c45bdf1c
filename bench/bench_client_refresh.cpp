// Cost of the client's refresh at the block's capacity: 1024 processes with
// 512 modules each and 8102 modules, merged from a real block into the
// client tables and brought into an in-memory tree (524,288 module items
// under "Processes", one warning item per hundredth module).
//   Snapshot  - a complete snapshot replacing the previous one;
//   Delta10   - ten rescanned processes and their ten re-inspected main
//               modules;
//   SnapshotNoTree - the same snapshot into a tree that keeps nothing: the
//               client's own share (merge, marks, classification, order);
//   LinearModuleLookup - what a first-match linear search by path would
//               cost for the snapshot's module merge alone (each module
//               compared with every one before it), for comparison.
//
//   bench_client_refresh [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "client/monitor/Classification.h"
#include "tests/support/ClientFixture.h"

namespace {

using namespace ub;

constexpr uint32_t kProcesses = 1024;
constexpr uint32_t kModules = 8102;
constexpr uint32_t kDlls = kModules - kProcesses;

std::string ModulePath(uint32_t i) {
    char path[64];
    if (i < kProcesses) std::snprintf(path, sizeof path, "C:\\Programs\\App%04u\\app%04u.exe", i, i);
    else std::snprintf(path, sizeof path, "C:\\Windows\\system32\\lib%04u.dll", i);
    return path;
}

// Module k (k < 1024) is process k's executable; each process then loads
// 511 of the DLLs, overlapping with its neighbours'.
void Publish(test::Publication& pub, uint8_t state) {
    pub.Begin(state);
    for (uint32_t i = 0; i < kModules; ++i) pub.Module(ST_NEW, ModulePath(i).c_str(), i % 100 == 7 ? 0x800 : 0);
    for (uint32_t k = 0; k < kProcesses; ++k) {
        ProcessRecord& p = pub.NewProcess(ST_NEW, 4 * k + 8, 1000 - k);
        p.moduleIndex[p.moduleCount++] = k;
        for (uint32_t i = 0; i < kMaxModulesPerProcess - 1; ++i)
            p.moduleIndex[p.moduleCount++] = kProcesses + (k * 97 + i) % kDlls;
    }
}

std::unique_ptr<test::ClientFixture> FullClient() {
    auto f = std::make_unique<test::ClientFixture>();
    Publish(f->pub, CS_FULL_READY);
    f->monitor.Refresh(false);
    return f;
}

void Snapshot(benchmark::State& state) {
    auto f = FullClient();
    for (auto _ : state) {
        f->pub.block.SetState(CS_FULL_READY);
        benchmark::DoNotOptimize(f->monitor.Refresh(false));
    }
    state.counters["tree_items"] = double(f->tree.LiveCount());
    state.counters["warnings"] = double(f->Warnings().size());
}
BENCHMARK(Snapshot)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Accepts every call and keeps nothing.
class NullTree : public ITree {
public:
    TreeItem InsertItem(TreeItem, const char*, int, uintptr_t, uint32_t) override { return ++m_last; }
    void DeleteItem(TreeItem) override {}
    TreeItem FirstChild(TreeItem) override { return kNoItem; }
    TreeItem NextSibling(TreeItem) override { return kNoItem; }
    TreeItem Parent(TreeItem) override { return kNoItem; }
    uintptr_t ItemData(TreeItem) override { return 0; }
    void SetImage(TreeItem, int) override {}
    void SetState(TreeItem, uint32_t) override {}
    void SortChildren(TreeItem, const TreeCompare&) override {}
    void Expand(TreeItem) override {}
    void EnsureVisible(TreeItem) override {}
    bool SelectItem(TreeItem) override { return true; }
    TreeItem SelectedItem() override { return kNoItem; }

private:
    TreeItem m_last = 0;
};

void SnapshotNoTree(benchmark::State& state) {
    auto f = std::make_unique<test::ClientFixture>();
    NullTree tree;
    CTreeController controller(tree, f->tables, f->settings, f->frame, f->prompt, f->MakePlatform());
    controller.InsertFixedNodes();
    CClientMonitor monitor(controller, f->tables, f->settings, f->frame, f->timers);
    monitor.Attach(&f->pub.block, &f->lock);
    Publish(f->pub, CS_FULL_READY);
    for (auto _ : state) {
        f->pub.block.SetState(CS_FULL_READY);
        benchmark::DoNotOptimize(monitor.Refresh(false));
    }
}
BENCHMARK(SnapshotNoTree)->Unit(benchmark::kMillisecond);

void Delta10(benchmark::State& state) {
    auto f = FullClient();
    test::Publication delta;
    delta.Begin(CS_DELTA_READY);
    for (uint32_t k = 0; k < 10; ++k) {
        uint32_t pick = k * 101;
        delta.Module(ST_UPDATED, ModulePath(pick).c_str(), 0x100800);
        *delta.block.ProcessSlot(k) = *f->pub.block.ProcessSlot(pick);
        delta.block.ProcessSlot(k)->status = ST_UPDATED;
    }
    delta.block.SetCounts(10, 10);
    f->monitor.Attach(&delta.block, &f->lock);
    for (auto _ : state) {
        delta.block.SetState(CS_DELTA_READY);
        benchmark::DoNotOptimize(f->monitor.Refresh(false));
    }
}
BENCHMARK(Delta10)->Unit(benchmark::kMillisecond);

void LinearModuleLookup(benchmark::State& state) {
    std::vector<std::string> paths;
    for (uint32_t i = 0; i < kModules; ++i) paths.push_back(ModulePath(i));
    for (auto _ : state) {
        size_t found = 0;
        for (size_t i = 0; i < paths.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (EqualPaths(paths[j].c_str(), paths[i].c_str())) {
                    ++found;
                    break;
                }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(LinearModuleLookup)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
