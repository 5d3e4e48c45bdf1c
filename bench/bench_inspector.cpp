// Cost of inspecting real module images against a plain copy of the same
// bytes. The images are Wine's 64-bit DLLs and programs, laid out as the
// loader maps them. Prints the ratio (inspection / copy) at the end.
//
//   bench_inspector [--dir=FOLDER] [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "service/ImportInspector.h"
#include "tools/ubscan/ImageLayout.h"

namespace {

std::vector<std::vector<uint8_t>> g_images;
size_t g_totalBytes = 0;

bool LoadImages(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 4) continue;
        std::string ext = name.substr(name.size() - 4);
        if (ext != ".dll" && ext != ".exe") continue;
        std::FILE* f = std::fopen((dir + "/" + name).c_str(), "rb");
        if (!f) continue;
        std::vector<uint8_t> file;
        uint8_t chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) file.insert(file.end(), chunk, chunk + n);
        std::fclose(f);
        bool laidOut = false;
        std::vector<uint8_t> image = ub::LayOutImage(file, &laidOut);
        if (!laidOut) continue;
        g_totalBytes += image.size();
        g_images.push_back(std::move(image));
    }
    closedir(d);
    return !g_images.empty();
}

// Serves reads from the laid-out image, as ReadProcessMemory would.
class ImageMemory : public ub::IProcessMemory {
public:
    const std::vector<uint8_t>* image = nullptr;
    bool ReadMemory(uint32_t, uint64_t, void* buffer, size_t size, size_t* bytesRead,
                    uint32_t* lastError) override {
        size_t n = std::min(size, image->size());
        std::memcpy(buffer, image->data(), n);
        *bytesRead = n;
        *lastError = 0;
        return true;
    }
};

// What an inspection costs without the parse: allocate, zero, copy, free.
void BM_Copy(benchmark::State& state) {
    for (auto _ : state) {
        for (const auto& img : g_images) {
            std::unique_ptr<uint8_t[]> copy(new uint8_t[img.size()]());
            std::memcpy(copy.get(), img.data(), img.size());
            benchmark::DoNotOptimize(copy.get());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(g_totalBytes));
}

void BM_Inspect(benchmark::State& state) {
    ImageMemory memory;
    uint32_t sink = 0;
    for (auto _ : state) {
        for (const auto& img : g_images) {
            memory.image = &img;
            sink |= ub::InspectRemoteImage(memory, 0, 0, uint32_t(img.size()));
        }
        benchmark::DoNotOptimize(sink);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(g_totalBytes));
}

// The parse alone, on images already in memory.
void BM_ParseOnly(benchmark::State& state) {
    uint32_t sink = 0;
    for (auto _ : state) {
        for (const auto& img : g_images) sink |= ub::InspectImage(img.data(), img.size(), 0);
        benchmark::DoNotOptimize(sink);
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string dir = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
    std::vector<char*> args;
    static char reps[] = "--benchmark_repetitions=5";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--dir=", 6) == 0) dir = argv[i] + 6;
        else args.push_back(argv[i]);
        if (i == 0) {
            args.push_back(reps);  // defaults; later flags on the command line win
            args.push_back(aggregates);
        }
    }
    if (!LoadImages(dir)) {
        std::fprintf(stderr, "bench_inspector: no PE images in %s (install wine or pass --dir=)\n", dir.c_str());
        return 1;
    }
    std::printf("images: %zu, %.1f MiB laid out, from %s\n", g_images.size(), g_totalBytes / 1048576.0,
                dir.c_str());
    benchmark::RegisterBenchmark("Copy", BM_Copy)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Inspect", BM_Inspect)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ParseOnly", BM_ParseOnly)->Unit(benchmark::kMillisecond);
    int n = int(args.size());
    benchmark::Initialize(&n, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Medians when repeated, single runs otherwise.
    auto time = [&](const std::string& name) {
        auto it = reporter.times.find(name + "_median");
        if (it == reporter.times.end()) it = reporter.times.find(name);
        return it == reporter.times.end() ? 0.0 : it->second;
    };
    double copy = time("Copy"), inspect = time("Inspect"), parse = time("ParseOnly");
    if (copy > 0 && inspect > 0) {
        std::printf("inspect / copy = %.3f (inspection adds %.1f%% to the copy)\n", inspect / copy,
                    (inspect / copy - 1.0) * 100.0);
    }
    if (copy > 0 && parse > 0) std::printf("parse alone / copy = %.4f\n", parse / copy);
    return 0;
}
