// Cost of one idle scan round against a bare enumeration loop, with N
// extra sleeping processes. Run under Wine or Windows:
//
//   bench_round.exe N [ROUNDS]
//
// The bare loop is EnumProcesses plus EnumProcessModules per process
// (handles opened beforehand); the round is what the service does each
// round on a quiet system: enumerate, mark ended processes, scan every ID
// (the skip rule leaves them untouched) and publish an empty delta.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1
#endif
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "service/Publisher.h"
#include "service/ScanTables.h"
#include "service/win32/Win32ProcessSource.h"

namespace {

class NoLock : public ub::IChannelLock {
public:
    bool Acquire() override { return true; }
    void Release() override {}
};

double Now() {
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

std::string SiblingPath(const char* name) {
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
    int n = argc > 1 ? std::atoi(argv[1]) : 10;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    std::string fixture = SiblingPath("fixture_clean.exe");

    std::vector<PROCESS_INFORMATION> children;
    for (int i = 0; i < n; ++i) {
        std::string event = "ub_bench_round_" + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(i);
        HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        std::string cmd = "\"" + fixture + "\" " + event;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            std::fprintf(stderr, "cannot start %s (error %lu)\n", fixture.c_str(), ::GetLastError());
            return 1;
        }
        HANDLE waits[2] = {ready, pi.hProcess};
        ::WaitForMultipleObjects(2, waits, FALSE, 120000);
        ::CloseHandle(ready);
        children.push_back(pi);
    }

    ub::CWin32ProcessSource source;
    ub::CScanTables tables(source);
    std::vector<uint8_t> blockBytes(ub::kBlockSize);
    ub::CChannelBlock block(blockBytes.data());
    NoLock lock;

    // First round fills the tables; the published snapshot is consumed.
    auto round = [&](bool first) {
        uint32_t ids[ub::kMaxProcessIds];
        uint32_t count = 0;
        source.EnumProcessIds(ids, ub::kMaxProcessIds, &count);
        tables.MarkEndedProcesses(ids, count);
        for (uint32_t i = 0; i < count; ++i) tables.ScanProcess(ids[i], first ? ub::kRescanAll : ub::kRescanNone, first);
        ub::PublishTables(block, lock, tables, first);
        block.SetState(ub::CS_CONSUMED);
    };
    round(true);

    // Bare loop over the same processes with handles opened once.
    std::vector<HANDLE> handles;
    {
        DWORD ids[1024], bytes = 0;
        ::EnumProcesses(ids, sizeof ids, &bytes);
        for (DWORD i = 0; i < bytes / 4; ++i)
            if (HANDLE h = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i])) handles.push_back(h);
    }
    auto bare = [&] {
        DWORD ids[1024], bytes = 0;
        ::EnumProcesses(ids, sizeof ids, &bytes);
        for (HANDLE h : handles) {
            HMODULE mods[512];
            DWORD need = 0;
            ::EnumProcessModules(h, mods, sizeof mods, &need);
        }
    };

    // Interleave the two so that drift affects both alike; keep the best.
    double bestBare = 1e9, bestRound = 1e9;
    for (int r = 0; r < rounds; ++r) {
        double t0 = Now();
        bare();
        double t1 = Now();
        round(false);
        double t2 = Now();
        bestBare = std::min(bestBare, t1 - t0);
        bestRound = std::min(bestRound, t2 - t1);
    }
    std::printf("processes: %zu (N=%d extra), modules: %zu\n", tables.Processes().size(), n, tables.Modules().size());
    std::printf("bare loop %.2f ms, scan round %.2f ms, ratio %.3f\n", bestBare * 1e3, bestRound * 1e3,
                bestRound / bestBare);

    for (HANDLE h : handles) ::CloseHandle(h);
    for (PROCESS_INFORMATION& pi : children) {
        ::TerminateProcess(pi.hProcess, 0);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    return 0;
}
