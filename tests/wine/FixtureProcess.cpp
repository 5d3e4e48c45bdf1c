#include "tests/wine/FixtureProcess.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace ub::wine {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Closes the handle it holds when it goes away.
class COwnedHandle {
public:
    COwnedHandle() = default;
    explicit COwnedHandle(HANDLE h) : m_h(h) {}
    ~COwnedHandle() { Close(); }
    COwnedHandle(const COwnedHandle&) = delete;
    COwnedHandle& operator=(const COwnedHandle&) = delete;

    HANDLE Get() const { return m_h; }
    HANDLE Release() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    HANDLE* Out() {
        Close();
        return &m_h;
    }
    void Close() {
        if (m_h && m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

std::string QuoteCommand(const std::string& path, const std::string& arguments) {
    std::string line = "\"" + path + "\"";
    if (!arguments.empty()) line += " " + arguments;
    return line;
}

std::string NextEventName() {
    static std::atomic<unsigned> counter{0};
    return "ub_wine_ready_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(counter++);
}

uint64_t FromFileTime(const FILETIME& t) {
    return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Reads a pipe to its end on its own thread.
class CPipeReader {
public:
    explicit CPipeReader(HANDLE readEnd) : m_pipe(readEnd) {
        m_thread = std::thread([this] {
            char chunk[4096];
            DWORD got = 0;
            while (ReadFile(m_pipe.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
                m_text.append(chunk, got);
        });
    }
    ~CPipeReader() { Join(); }
    CPipeReader(const CPipeReader&) = delete;
    CPipeReader& operator=(const CPipeReader&) = delete;

    // Returns once every writer has closed its end.
    std::string Join() {
        if (m_thread.joinable()) m_thread.join();
        return m_text;
    }

private:
    COwnedHandle m_pipe;
    std::thread m_thread;
    std::string m_text;
};

}  // namespace

std::string BinFolder() {
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return std::string();
    char longPath[sizeof path];
    DWORD m = GetLongPathNameA(path, longPath, sizeof longPath);
    std::string full = (m > 0 && m < sizeof longPath) ? longPath : path;
    return full.substr(0, full.find_last_of('\\') + 1);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

uint32_t SizeOfImageOnDisk(const std::string& path) {
    COwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return 0;
    uint8_t headers[0x400] = {};
    DWORD got = 0;
    if (!ReadFile(file.Get(), headers, sizeof headers, &got, nullptr) || got < sizeof headers)
        return 0;
    uint32_t lfanew;
    std::memcpy(&lfanew, headers + 0x3C, 4);
    const uint32_t field = 24 + 56;  // OptionalHeader.SizeOfImage
    if (lfanew > sizeof headers - field - 4) return 0;
    uint32_t size;
    std::memcpy(&size, headers + lfanew + field, 4);
    return size;
}

RawTimes TimesOf(HANDLE process) {
    FILETIME c, e, k, u;
    RawTimes t;
    if (!GetProcessTimes(process, &c, &e, &k, &u)) return t;
    t.creation = FromFileTime(c);
    t.exit = FromFileTime(e);
    t.kernel = FromFileTime(k);
    t.user = FromFileTime(u);
    return t;
}

CFixtureProcess::~CFixtureProcess() { Release(); }

void CFixtureProcess::Release() {
    if (!m_process) return;
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, kWaitLimitMs);
    CloseHandle(m_process);
    m_process = nullptr;
}

::testing::AssertionResult CFixtureProcess::Start(const std::string& exe, const std::string& arguments) {
    Release();
    m_exe = exe;
    m_pid = 0;
    const std::string eventName = NextEventName();
    COwnedHandle ready(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    if (!ready.Get())
        return ::testing::AssertionFailure() << "CreateEvent failed: " << GetLastError();

    const std::string path = BinFolder() + exe;
    std::string command = QuoteCommand(path, arguments.empty() ? eventName : eventName + " " + arguments);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return ::testing::AssertionFailure() << "cannot start " << path << ": " << GetLastError();
    CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    m_pid = pi.dwProcessId;

    HANDLE waits[2] = {ready.Get(), m_process};
    DWORD r = WaitForMultipleObjects(2, waits, FALSE, kWaitLimitMs);
    if (r == WAIT_OBJECT_0) return ::testing::AssertionSuccess();
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    Release();
    if (r == WAIT_OBJECT_0 + 1)
        return ::testing::AssertionFailure() << exe << " exited with " << code << " before it was ready";
    return ::testing::AssertionFailure() << exe << " not ready within " << kWaitLimitMs << " ms";
}

::testing::AssertionResult CFixtureProcess::Terminate(UINT exitCode) {
    if (!m_process) return ::testing::AssertionFailure() << m_exe << " is not running";
    if (!TerminateProcess(m_process, exitCode))
        return ::testing::AssertionFailure() << "TerminateProcess failed: " << GetLastError();
    if (WaitForSingleObject(m_process, kWaitLimitMs) != WAIT_OBJECT_0)
        return ::testing::AssertionFailure() << m_exe << " did not end within " << kWaitLimitMs << " ms";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RunCaptured(const std::string& exe, const std::string& arguments,
                                       CapturedRun* run) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    COwnedHandle outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(outRead.Out(), outWrite.Out(), &inherit, 0) ||
        !CreatePipe(errRead.Out(), errWrite.Out(), &inherit, 0))
        return ::testing::AssertionFailure() << "CreatePipe failed: " << GetLastError();
    SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead.Get(), HANDLE_FLAG_INHERIT, 0);

    const std::string path = BinFolder() + exe;
    std::string command = QuoteCommand(path, arguments);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = outWrite.Get();
    si.hStdError = errWrite.Get();
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    DWORD startError = GetLastError();
    // Only the child holds the write ends now: the readers see the end of
    // the output when it exits.
    outWrite.Close();
    errWrite.Close();
    if (!started) return ::testing::AssertionFailure() << "cannot start " << path << ": " << startError;
    CloseHandle(pi.hThread);
    COwnedHandle process(pi.hProcess);
    run->pid = pi.dwProcessId;
    CPipeReader out(outRead.Release());
    CPipeReader err(errRead.Release());

    bool ended = WaitForSingleObject(process.Get(), kWaitLimitMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), kWaitLimitMs);
    }
    run->output = out.Join();
    run->errors = err.Join();
    if (!ended)
        return ::testing::AssertionFailure() << exe << " still running after " << kWaitLimitMs << " ms";
    GetExitCodeProcess(process.Get(), &run->exitCode);
    return ::testing::AssertionSuccess();
}

}  // namespace ub::wine
