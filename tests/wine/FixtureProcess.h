// Child processes for the Wine tests: the fixture programs from
// tests/wine/fixtures and ubscan, all started from the folder the test
// executable runs from. Every object terminates and releases its process
// when it goes away, so a failing test leaves nothing running.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace ub::wine {

// Generous limit for anything the tests wait for.
constexpr DWORD kWaitLimitMs = 30000;

// Folder of the running test executable in its long form, ending in '\'.
std::string BinFolder();

// True when `text` ends with `suffix`, ASCII letter case ignored.
bool EndsWithNoCase(const std::string& text, const std::string& suffix);
bool EqualsNoCase(const std::string& a, const std::string& b);

// A handle kept as its 32-bit value (as the process source keeps them),
// sign-extended back.
inline HANDLE HandleFromValue(uint32_t value) {
    return reinterpret_cast<HANDLE>(intptr_t(int32_t(value)));
}

// SizeOfImage from the headers of a PE file on disk; 0 when unreadable.
uint32_t SizeOfImageOnDisk(const std::string& path);

// The four process times as GetProcessTimes reports them; all 0 on failure.
struct RawTimes {
    uint64_t creation = 0;
    uint64_t exit = 0;
    uint64_t kernel = 0;
    uint64_t user = 0;
};
RawTimes TimesOf(HANDLE process);

// One fixture program, started with the name of a fresh named event that the
// fixture sets once ready. Not copyable; owns its full-access process handle.
class CFixtureProcess {
public:
    CFixtureProcess() = default;
    ~CFixtureProcess();
    CFixtureProcess(const CFixtureProcess&) = delete;
    CFixtureProcess& operator=(const CFixtureProcess&) = delete;

    // Starts bin\<exe> with the event name and then `arguments`, and waits
    // until it is ready. Fails when it cannot be started, exits first, or is
    // not ready within kWaitLimitMs.
    ::testing::AssertionResult Start(const std::string& exe, const std::string& arguments = "");
    // Terminates the process with `exitCode` and waits until it has ended.
    // The handle stays open (final times can still be read).
    ::testing::AssertionResult Terminate(UINT exitCode = 1);

    const std::string& Exe() const { return m_exe; }
    uint32_t Pid() const { return m_pid; }
    HANDLE Handle() const { return m_process; }

private:
    void Release();

    std::string m_exe;
    uint32_t m_pid = 0;
    HANDLE m_process = nullptr;
};

// Several fixture programs, one process each, keyed by program name.
class CFixtureSet {
public:
    template <size_t N>
    ::testing::AssertionResult Start(const char* const (&exes)[N]) {
        for (const char* exe : exes) {
            auto& slot = m_processes[exe];
            slot = std::make_unique<CFixtureProcess>();
            ::testing::AssertionResult started = slot->Start(exe);
            if (!started) return started;
        }
        return ::testing::AssertionSuccess();
    }
    // The process of a program given to Start.
    const CFixtureProcess& operator[](const std::string& exe) const { return *m_processes.at(exe); }
    void Clear() { m_processes.clear(); }

private:
    std::map<std::string, std::unique_ptr<CFixtureProcess>> m_processes;
};

// Result of running a program to its end with its standard output captured.
struct CapturedRun {
    uint32_t pid = 0;
    DWORD exitCode = 0;
    std::string output;  // standard output
    std::string errors;  // standard error
};

// Runs bin\<exe> with `arguments`, collecting its standard output and
// standard error until it exits. A program still running after kWaitLimitMs
// is terminated and the run fails.
::testing::AssertionResult RunCaptured(const std::string& exe, const std::string& arguments,
                                       CapturedRun* run);

}  // namespace ub::wine
