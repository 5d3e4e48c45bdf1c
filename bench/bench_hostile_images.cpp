// Cost of inspecting images that a hostile process can present (figures to
// read, not a test):
//   ClaimedSize/N - one inspection of a module whose loader data claim N MiB
//                   while the read fails at once; also prints how much the
//                   peak resident size grew during the runs.
//   LongNames/N   - the parse alone of an N MiB image in which every import
//                   name runs on to the image's last byte (fillers of 1/64
//                   of the image each for descriptors and lookup entries,
//                   tests/support/LongNameImage.h); flags 0x400800.
//
//   bench_hostile_images [benchmark flags]
//   bench_hostile_images --benchmark_filter='LongNames/[12]$'   (the small ones)
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "service/ImportInspector.h"
#include "tests/support/LongNameImage.h"

namespace {

constexpr int64_t kMiB = 1 << 20;

// A target whose memory cannot be read at all.
class UnreadableMemory : public ub::IProcessMemory {
public:
    bool ReadMemory(uint32_t, uint64_t, void*, size_t, size_t* bytesRead, uint32_t* lastError) override {
        *bytesRead = 0;
        *lastError = 998;  // ERROR_NOACCESS
        return false;
    }
};

void LabelFlags(benchmark::State& state, uint32_t flags) {
    char label[32];
    std::snprintf(label, sizeof label, "flags 0x%08X", flags);
    state.SetLabel(label);
}

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void ClaimedSize(benchmark::State& state) {
    UnreadableMemory memory;
    const uint32_t claimed = uint32_t(state.range(0) * kMiB);
    const double peakBefore = PeakResidentMiB();
    uint32_t flags = 0;
    for (auto _ : state) {
        flags = ub::InspectRemoteImage(memory, 0, 0x10000, claimed);
        benchmark::DoNotOptimize(flags);
    }
    LabelFlags(state, flags);
    state.counters["peak_rss_growth_MiB"] = PeakResidentMiB() - peakBefore;
}
BENCHMARK(ClaimedSize)->Arg(1024)->Unit(benchmark::kMillisecond);

void LongNames(benchmark::State& state) {
    const std::vector<uint8_t> image =
        ub::test::BuildLongNameImage(ub::test::LongNameShapeOfSize(size_t(state.range(0) * kMiB)));
    uint32_t flags = 0;
    for (auto _ : state) {
        flags = ub::InspectImage(image.data(), image.size(), 0);
        benchmark::DoNotOptimize(flags);
    }
    LabelFlags(state, flags);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}
BENCHMARK(LongNames)->Arg(1)->Arg(2)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
