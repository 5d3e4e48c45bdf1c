// CWin32ProcessSource on the real API: memory reads and what the import
// inspection makes of them, process handles, module enumeration and names,
// process times.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/SharedFormat.h"
#include "service/ImportInspector.h"
#include "service/win32/Win32ProcessSource.h"
#include "tests/support/PeBuilder.h"
#include "tests/wine/FixtureProcess.h"

namespace ub {
namespace {

using wine::BinFolder;
using wine::CFixtureProcess;
using wine::EndsWithNoCase;
using wine::EqualsNoCase;

constexpr size_t kPage = 0x1000;

// A handle from the source, closed through the source when the test ends.
class CSourceHandle {
public:
    CSourceHandle(CWin32ProcessSource& source, uint32_t handle) : m_source(source), m_handle(handle) {}
    ~CSourceHandle() {
        if (m_handle) m_source.CloseProcess(m_handle);
    }
    CSourceHandle(const CSourceHandle&) = delete;
    CSourceHandle& operator=(const CSourceHandle&) = delete;
    uint32_t Get() const { return m_handle; }

private:
    CWin32ProcessSource& m_source;
    uint32_t m_handle;
};

// A block of committed pages in this process, released when the test ends.
class CPages {
public:
    CPages() = default;
    ~CPages() {
        if (m_base) VirtualFree(m_base, 0, MEM_RELEASE);
    }
    CPages(const CPages&) = delete;
    CPages& operator=(const CPages&) = delete;

    uint8_t* Base() const { return m_base; }

    // Anywhere.
    bool Allocate(size_t size) {
        m_base = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        return m_base != nullptr;
    }

    // At the start of free address space that no read can reach, so the
    // page right after the block cannot be read either. (Wine reads pages
    // whatever their protection, and free address space it keeps reserved
    // reads as zeros; only space mapped by nothing at all fails.)
    bool AllocateBeforeUnreadable(size_t size) {
        MEMORY_BASIC_INFORMATION mbi;
        uintptr_t address = 0x10000;
        while (VirtualQuery(reinterpret_cast<void*>(address), &mbi, sizeof mbi) == sizeof mbi) {
            uintptr_t start = reinterpret_cast<uintptr_t>(mbi.BaseAddress);
            uintptr_t end = start + mbi.RegionSize;
            uintptr_t candidate = (start + 0xFFFF) & ~uintptr_t(0xFFFF);
            if (mbi.State == MEM_FREE && candidate + 0x20000 <= end && !Readable(candidate)) {
                void* p = VirtualAlloc(reinterpret_cast<void*>(candidate), size,
                                       MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
                if (p == reinterpret_cast<void*>(candidate) && !Readable(candidate + size)) {
                    m_base = static_cast<uint8_t*>(p);
                    return true;
                }
                if (p) VirtualFree(p, 0, MEM_RELEASE);
            }
            if (end <= address) break;
            address = end;
        }
        return false;
    }

private:
    static bool Readable(uintptr_t address) {
        uint8_t byte;
        SIZE_T got = 0;
        return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(address), &byte, 1,
                                 &got) != FALSE;
    }

    uint8_t* m_base = nullptr;
};

// --- Memory reads and the import inspection over them ---------------------

enum class Tail { None, NoAccessPage, Unmapped };

TEST(Win32ProcessSource, ReadsImageAndInspectionFollowsTheReadResult) {
    // Two pages: headers, then the import data.
    const std::vector<uint8_t> image = test::PeBuilder(true)
                                           .Import("kernel32.dll", {"ReadProcessMemory"})
                                           .Import("user32.dll", {"CallMsgFilter"})
                                           .BuildImage();
    ASSERT_EQ(image.size(), 2 * kPage);
    const uint32_t found = MF_READ_PROCESS_MEMORY | MF_CALL_MSG_FILTER;

    // The read results are Wine's: it reads through any page protection,
    // and a read that runs into unmapped space fails as a whole with
    // ERROR_NOACCESS (998), not as a partial copy (299).
    struct Case {
        const char* name;
        Tail tail;             // what follows the two image pages
        bool pseudoHandle;     // GetCurrentProcess() instead of an opened handle
        size_t inspectSize;    // image size given to the read and the inspection
        bool readOk;
        size_t bytesRead;
        uint32_t lastError;
        uint32_t flags;
    } cases[] = {
        {"whole image readable", Tail::None, false, 2 * kPage, true, 2 * kPage, 0, found},
        {"pseudo handle (sign-extended back)", Tail::None, true, 2 * kPage, true, 2 * kPage, 0,
         found},
        {"no-access page after the image", Tail::NoAccessPage, false, 3 * kPage, true, 3 * kPage,
         0, found},
        {"image ends where mapping ends", Tail::Unmapped, false, 2 * kPage, true, 2 * kPage, 0,
         found},
        {"image size runs into unmapped space", Tail::Unmapped, false, 3 * kPage, false, 0, 998,
         MF_PARTIAL_IMAGE},
        {"one byte into unmapped space", Tail::Unmapped, false, 2 * kPage + 1, false, 0, 998,
         MF_PARTIAL_IMAGE},
    };

    CWin32ProcessSource source;
    CSourceHandle own(source, source.OpenProcess(GetCurrentProcessId()));
    ASSERT_NE(own.Get(), 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPages pages;
        if (c.tail == Tail::Unmapped) {
            ASSERT_TRUE(pages.AllocateBeforeUnreadable(2 * kPage));
        } else {
            ASSERT_TRUE(pages.Allocate(3 * kPage));
        }
        std::memcpy(pages.Base(), image.data(), image.size());
        if (c.tail == Tail::NoAccessPage) {
            DWORD old;
            ASSERT_TRUE(VirtualProtect(pages.Base() + 2 * kPage, kPage, PAGE_NOACCESS, &old));
        }
        const uint32_t handle =
            c.pseudoHandle ? uint32_t(reinterpret_cast<uintptr_t>(GetCurrentProcess())) : own.Get();
        const uint64_t base = reinterpret_cast<uintptr_t>(pages.Base());

        std::vector<uint8_t> copy(c.inspectSize);
        size_t bytesRead = 0xBAD;
        uint32_t lastError = 0xBAD;
        bool ok = source.ReadMemory(handle, base, copy.data(), copy.size(), &bytesRead, &lastError);
        EXPECT_EQ(ok, c.readOk);
        EXPECT_EQ(bytesRead, c.bytesRead);
        EXPECT_EQ(lastError, c.lastError);
        if (ok) {
            EXPECT_EQ(0, std::memcmp(copy.data(), image.data(), image.size()));
        }

        EXPECT_EQ(InspectRemoteImage(source, handle, base, uint32_t(c.inspectSize)), c.flags);
    }
}

// The copy buffer: pages committed at the claimed size that read as zero,
// released whole; an image whose claimed size runs far beyond its readable
// pages gives what the failed read gives (Wine's: the read fails whole).
TEST(Win32ProcessSource, CopyBufferAtAClaimedSizeFarBeyondTheImage) {
    constexpr size_t kClaimed = size_t(64) << 20;
    CWin32ProcessSource source;
    uint8_t* copy = static_cast<uint8_t*>(source.AllocateCopy(kClaimed));
    ASSERT_NE(copy, nullptr);
    MEMORY_BASIC_INFORMATION mbi;
    ASSERT_EQ(VirtualQuery(copy + kClaimed - 1, &mbi, sizeof mbi), sizeof mbi);
    EXPECT_EQ(mbi.State, DWORD(MEM_COMMIT));
    EXPECT_EQ(mbi.AllocationBase, static_cast<void*>(copy));
    EXPECT_EQ(copy[0], 0);
    EXPECT_EQ(copy[kClaimed - 1], 0);
    source.FreeCopy(copy, kClaimed);
    ASSERT_EQ(VirtualQuery(copy, &mbi, sizeof mbi), sizeof mbi);
    EXPECT_EQ(mbi.State, DWORD(MEM_FREE));

    const std::vector<uint8_t> image = test::PeBuilder(true).Import("kernel32.dll", {"ReadProcessMemory"}).BuildImage();
    CPages pages;
    ASSERT_TRUE(pages.AllocateBeforeUnreadable(image.size()));
    std::memcpy(pages.Base(), image.data(), image.size());
    CSourceHandle own(source, source.OpenProcess(GetCurrentProcessId()));
    ASSERT_NE(own.Get(), 0u);
    const uint64_t base = reinterpret_cast<uintptr_t>(pages.Base());
    EXPECT_EQ(InspectRemoteImage(source, own.Get(), base, uint32_t(image.size())), MF_READ_PROCESS_MEMORY);
    EXPECT_EQ(InspectRemoteImage(source, own.Get(), base, uint32_t(kClaimed)), MF_PARTIAL_IMAGE);
}

// --- Process handles -------------------------------------------------------

TEST(Win32ProcessSource, OpensProcessesForQueryAndReadOnly) {
    CFixtureProcess fixture;
    ASSERT_TRUE(fixture.Start("fixture_clean.exe"));
    CWin32ProcessSource source;
    CSourceHandle handle(source, source.OpenProcess(fixture.Pid()));
    ASSERT_NE(handle.Get(), 0u);
    EXPECT_EQ(GetProcessId(wine::HandleFromValue(handle.Get())), fixture.Pid());

    DWORD info = 0xFF;
    ASSERT_TRUE(GetHandleInformation(wine::HandleFromValue(handle.Get()), &info));
    EXPECT_EQ(info & HANDLE_FLAG_INHERIT, 0u) << "handle must not be inheritable";
    // Query and read rights only: no termination.
    EXPECT_FALSE(TerminateProcess(wine::HandleFromValue(handle.Get()), 7));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WaitForSingleObject(fixture.Handle(), 0), DWORD(WAIT_TIMEOUT)) << "fixture was killed";

    EXPECT_EQ(source.OpenProcess(0x7FFFFFF0u), 0u) << "no such process";
}

TEST(Win32ProcessSource, CloseProcessReleasesTheHandle) {
    CWin32ProcessSource source;
    uint32_t handle = source.OpenProcess(GetCurrentProcessId());
    ASSERT_NE(handle, 0u);
    source.CloseProcess(handle);
    DWORD info = 0;
    EXPECT_FALSE(GetHandleInformation(wine::HandleFromValue(handle), &info));
}

TEST(Win32ProcessSource, HasEndedFollowsTheProcess) {
    struct Case {
        const char* name;
        bool terminate;
        UINT exitCode;
        bool ended;
    } cases[] = {
        {"running", false, 0, false},
        {"ended with exit code 1", true, 1, true},
        {"ended with exit code 0", true, 0, true},
        // The handle has no SYNCHRONIZE right, so the wait cannot tell either:
        // such a process is recognised only by its ID leaving the enumeration
        // (see ScanRound.EndedAndLateProcessesGetTheirStatuses).
        {"ended with exit code STILL_ACTIVE", true, STILL_ACTIVE, false},
    };
    CWin32ProcessSource source;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFixtureProcess fixture;
        ASSERT_TRUE(fixture.Start("fixture_clean.exe"));
        CSourceHandle handle(source, source.OpenProcess(fixture.Pid()));
        ASSERT_NE(handle.Get(), 0u);
        if (c.terminate) {
            ASSERT_TRUE(fixture.Terminate(c.exitCode));
        }
        EXPECT_EQ(source.HasEnded(handle.Get()), c.ended);
    }
}

// --- Enumerations ----------------------------------------------------------

TEST(Win32ProcessSource, EnumProcessIdsStaysWithinCapacity) {
    CFixtureProcess fixture;
    ASSERT_TRUE(fixture.Start("fixture_clean.exe"));
    CWin32ProcessSource source;

    std::vector<uint32_t> ids(kMaxProcessIds, 0);
    uint32_t count = 0;
    ASSERT_TRUE(source.EnumProcessIds(ids.data(), kMaxProcessIds, &count));
    ASSERT_GE(count, 2u);
    ASSERT_LE(count, kMaxProcessIds);
    ids.resize(count);
    EXPECT_NE(std::find(ids.begin(), ids.end(), GetCurrentProcessId()), ids.end());
    EXPECT_NE(std::find(ids.begin(), ids.end(), fixture.Pid()), ids.end());

    uint32_t small[3] = {0, 0, 0xA5A5A5A5u};
    count = 0;
    ASSERT_TRUE(source.EnumProcessIds(small, 2, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(small[2], 0xA5A5A5A5u) << "wrote past the capacity";
}

TEST(Win32ProcessSource, EnumModulesListsMainModuleFirstAndReportsTheFullCount) {
    CFixtureProcess loader;
    ASSERT_TRUE(loader.Start("fixture_loader.exe"));
    CWin32ProcessSource source;
    CSourceHandle handle(source, source.OpenProcess(loader.Pid()));
    ASSERT_NE(handle.Get(), 0u);

    uint64_t modules[kMaxModulesPerProcess];
    uint32_t count = 0;
    ASSERT_TRUE(source.EnumModules(handle.Get(), modules, kMaxModulesPerProcess, &count));
    ASSERT_GE(count, 3u);  // the program, ntdll, kernel32 at least
    ASSERT_LE(count, kMaxModulesPerProcess);
    std::vector<std::string> paths;
    for (uint32_t i = 0; i < count; ++i) {
        char path[kPathSize];
        ASSERT_TRUE(source.ReadModulePath(handle.Get(), modules[i], path, sizeof path));
        paths.push_back(path);
    }
    EXPECT_TRUE(EqualsNoCase(paths[0], BinFolder() + "fixture_loader.exe")) << paths[0];
    // The DLL mapped with DONT_RESOLVE_DLL_REFERENCES is listed like any other.
    EXPECT_EQ(std::count_if(paths.begin(), paths.end(),
                            [](const std::string& p) { return EndsWithNoCase(p, "\\fixture_hook.dll"); }),
              1);

    // Less room than modules: the count is still the full number.
    uint64_t few[2] = {0, 0xA5A5A5A5A5A5A5A5ull};
    uint32_t fewCount = 0;
    ASSERT_TRUE(source.EnumModules(handle.Get(), few, 1, &fewCount));
    EXPECT_EQ(fewCount, count);
    EXPECT_EQ(few[0], modules[0]);
    EXPECT_EQ(few[1], 0xA5A5A5A5A5A5A5A5ull) << "wrote past the capacity";
}

// Where the system has EnumProcessModulesEx (Wine's kernel32 and psapi both
// export it), the source enumerates with it, and the list is the one
// EnumProcessModules gives: Wine lists a process's modules alike either way.
TEST(Win32ProcessSource, EnumModulesUsesTheExtendedEnumeratorWhereThereIsOne) {
    CWin32ProcessSource source;
    ASSERT_NE(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32EnumProcessModulesEx"), nullptr);
    EXPECT_STREQ(source.ModuleEnumerator(), "K32EnumProcessModulesEx");

    CFixtureProcess loader;
    ASSERT_TRUE(loader.Start("fixture_loader.exe"));
    CSourceHandle handle(source, source.OpenProcess(loader.Pid()));
    ASSERT_NE(handle.Get(), 0u);
    uint64_t modules[kMaxModulesPerProcess];
    uint32_t count = 0;
    ASSERT_TRUE(source.EnumModules(handle.Get(), modules, kMaxModulesPerProcess, &count));

    HMODULE plain[kMaxModulesPerProcess];
    DWORD bytes = 0;
    ASSERT_TRUE(EnumProcessModules(wine::HandleFromValue(handle.Get()), plain, sizeof plain, &bytes));
    ASSERT_EQ(count, bytes / sizeof(HMODULE));
    for (uint32_t i = 0; i < count; ++i)
        EXPECT_EQ(modules[i], uint64_t(reinterpret_cast<uintptr_t>(plain[i]))) << "module " << i;
}

TEST(Win32ProcessSource, EnumModulesFailsForAnEndedProcess) {
    CFixtureProcess fixture;
    ASSERT_TRUE(fixture.Start("fixture_clean.exe"));
    CWin32ProcessSource source;
    CSourceHandle handle(source, source.OpenProcess(fixture.Pid()));
    ASSERT_NE(handle.Get(), 0u);
    ASSERT_TRUE(fixture.Terminate());
    uint64_t modules[kMaxModulesPerProcess];
    uint32_t count = 0;
    EXPECT_FALSE(source.EnumModules(handle.Get(), modules, kMaxModulesPerProcess, &count));
}

// --- Module names and information ------------------------------------------

TEST(Win32ProcessSource, ModuleNamesAndInformation) {
    CFixtureProcess fixture;
    ASSERT_TRUE(fixture.Start("fixture_rpm.exe"));
    CWin32ProcessSource source;
    CSourceHandle handle(source, source.OpenProcess(fixture.Pid()));
    ASSERT_NE(handle.Get(), 0u);
    uint64_t modules[kMaxModulesPerProcess];
    uint32_t count = 0;
    ASSERT_TRUE(source.EnumModules(handle.Get(), modules, kMaxModulesPerProcess, &count));
    ASSERT_GE(count, 1u);
    const std::string expected = BinFolder() + "fixture_rpm.exe";

    char path[kPathSize];
    ASSERT_TRUE(source.ReadModulePath(handle.Get(), modules[0], path, sizeof path));
    EXPECT_TRUE(EqualsNoCase(path, expected)) << path;
    char baseName[kNameSize];
    ASSERT_TRUE(source.ReadBaseName(handle.Get(), modules[0], baseName, sizeof baseName));
    EXPECT_TRUE(EqualsNoCase(baseName, "fixture_rpm.exe")) << baseName;

    // A buffer too small for the path keeps a terminated prefix.
    char shortPath[8];
    std::memset(shortPath, 'x', sizeof shortPath);
    if (source.ReadModulePath(handle.Get(), modules[0], shortPath, sizeof shortPath)) {
        ASSERT_NE(std::memchr(shortPath, 0, sizeof shortPath), nullptr);
        EXPECT_EQ(expected.compare(0, std::strlen(shortPath), shortPath), 0) << shortPath;
    }

    ModuleInfo info;
    source.GetModuleInfo(handle.Get(), modules[0], &info);
    EXPECT_EQ(info.base, modules[0]);
    EXPECT_EQ(info.imageSize, wine::SizeOfImageOnDisk(expected));

    // No module at this address: the calls fail and leave the output alone.
    const uint64_t nowhere = 0x10000;
    EXPECT_FALSE(source.ReadModulePath(handle.Get(), nowhere, path, sizeof path));
    EXPECT_FALSE(source.ReadBaseName(handle.Get(), nowhere, baseName, sizeof baseName));
    ModuleInfo untouched;
    untouched.base = 0x1234;
    untouched.imageSize = 0x5678;
    source.GetModuleInfo(handle.Get(), nowhere, &untouched);
    EXPECT_EQ(untouched.base, 0x1234u);
    EXPECT_EQ(untouched.imageSize, 0x5678u);
}

// --- Process times ----------------------------------------------------------

TEST(Win32ProcessSource, TimesOfRunningAndEndedProcess) {
    CFixtureProcess fixture;
    ASSERT_TRUE(fixture.Start("fixture_clean.exe"));
    CWin32ProcessSource source;
    uint32_t handle = source.OpenProcess(fixture.Pid());
    ASSERT_NE(handle, 0u);

    ProcessTimes running;
    source.GetTimes(handle, &running);
    EXPECT_NE(running.creation, 0u);
    EXPECT_EQ(running.creation, wine::TimesOf(fixture.Handle()).creation);
    EXPECT_EQ(running.exit, 0u);

    ASSERT_TRUE(fixture.Terminate());
    ProcessTimes ended;
    source.GetTimes(handle, &ended);
    const wine::RawTimes reference = wine::TimesOf(fixture.Handle());
    EXPECT_EQ(ended.creation, running.creation);
    EXPECT_NE(ended.exit, 0u);
    EXPECT_EQ(ended.exit, reference.exit);
    EXPECT_GE(ended.exit, ended.creation);

    // A closed handle: the call fails and leaves the times as they were.
    source.CloseProcess(handle);
    ProcessTimes untouched{1, 2, 3, 4};
    source.GetTimes(handle, &untouched);
    EXPECT_EQ(untouched.creation, 1u);
    EXPECT_EQ(untouched.exit, 2u);
    EXPECT_EQ(untouched.kernel, 3u);
    EXPECT_EQ(untouched.user, 4u);
}

}  // namespace
}  // namespace ub
