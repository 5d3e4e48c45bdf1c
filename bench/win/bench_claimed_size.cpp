// One inspection of a module whose loader data claim far more than is
// mapped: this program's own image inspected with a claimed size of N MiB
// through the service's process source, so the one read runs into
// unmapped space and fails. Prints the result, the time per inspection and
// the working set and commit peaks before and after. Run under Wine or
// Windows:
//
//   bench_claimed_size.exe [N=1024] [REPS=10] [inspect|buffer|zeroed]
//
// "buffer" times the source's copy buffer alone (asked for and given back),
// "zeroed" a heap buffer of N MiB filled with zeros, as the copy was made
// before; each in its own run, since the peaks only grow.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1
#endif
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "service/ImportInspector.h"
#include "service/win32/Win32ProcessSource.h"

namespace {

double Now() {
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

void PrintMemory(const char* when) {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
    std::printf("%-7s working set %8.1f MiB, peak %8.1f MiB; commit %8.1f MiB, peak %8.1f MiB\n", when,
                pmc.WorkingSetSize / 1048576.0, pmc.PeakWorkingSetSize / 1048576.0, pmc.PagefileUsage / 1048576.0,
                pmc.PeakPagefileUsage / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned mib = argc > 1 ? unsigned(std::atoi(argv[1])) : 1024;
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const char* mode = argc > 3 ? argv[3] : "inspect";
    const uint32_t claimed = uint32_t(uint64_t(mib) << 20);

    ub::CWin32ProcessSource source;
    const uint32_t self = source.OpenProcess(::GetCurrentProcessId());
    const uint64_t base = uint64_t(reinterpret_cast<uintptr_t>(::GetModuleHandleA(nullptr)));
    if (!self) {
        std::fprintf(stderr, "cannot open this process (error %lu)\n", ::GetLastError());
        return 1;
    }

    PrintMemory("before");
    double best = 1e9, total = 0;
    uint32_t flags = 0;
    for (int r = 0; r < reps; ++r) {
        double t0 = Now();
        if (std::strcmp(mode, "buffer") == 0) {
            void* copy = source.AllocateCopy(claimed);
            flags = copy ? 0 : 1;
            source.FreeCopy(copy, claimed);
        } else if (std::strcmp(mode, "zeroed") == 0) {
            std::unique_ptr<uint8_t[]> copy(new uint8_t[claimed]());
            flags = copy[claimed - 1];
        } else {
            flags = ub::InspectRemoteImage(source, self, base, claimed);
        }
        double t = Now() - t0;
        best = std::min(best, t);
        total += t;
    }
    PrintMemory("after");
    std::printf("%s, claimed %u MiB: result 0x%08X, best %.3f ms, mean %.3f ms per run (%d)\n", mode, mib,
                unsigned(flags), best * 1e3, total / reps * 1e3, reps);
    source.CloseProcess(self);
    return 0;
}
