// The fixture programs and what a scan must find in each of them.
#pragma once

#include <cstdint>

#include "common/SharedFormat.h"

namespace ub::wine {

// Every fixture program, as started by the scan tests.
inline constexpr const char* kFixturePrograms[] = {
    "fixture_rpm.exe", "fixture_wpm.exe",    "fixture_dap.exe",
    "fixture_cmf.exe", "fixture_loader.exe", "fixture_clean.exe",
};

// One module of one fixture process: its flags and the level column ubscan
// prints for them.
struct FixtureExpectation {
    const char* exe;     // the fixture program
    const char* module;  // file name of the module in that process
    uint32_t flags;
    const char* level;
};

inline constexpr FixtureExpectation kFixtureExpectations[] = {
    {"fixture_rpm.exe", "fixture_rpm.exe", MF_READ_PROCESS_MEMORY, "Mid"},
    {"fixture_wpm.exe", "fixture_wpm.exe", MF_WRITE_PROCESS_MEMORY, "High"},
    {"fixture_dap.exe", "fixture_dap.exe", MF_DEBUG_ACTIVE_PROCESS, "High"},
    {"fixture_cmf.exe", "fixture_cmf.exe", MF_CALL_MSG_FILTER, "Mid"},
    // The DLL is mapped without its imports resolved; the loader itself is clean.
    {"fixture_loader.exe", "fixture_hook.dll", MF_SET_WINDOWS_HOOK_EX, "High"},
    {"fixture_loader.exe", "fixture_loader.exe", 0, "----"},
    {"fixture_clean.exe", "fixture_clean.exe", 0, "----"},
};

}  // namespace ub::wine
