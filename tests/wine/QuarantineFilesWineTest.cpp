// The quarantine's file operations on real files: moves of files that are
// free, loaded by another process or held open, and the archive file's
// whole reads and replacements. Each test works in a fresh folder beside
// the test executable, so that a fixture program copied there can run.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client/quarantine/Archive.h"
#include "client/quarantine/win32/Win32QuarantineFiles.h"
#include "tests/wine/FixtureProcess.h"
#include "tests/wine/fixtures/ArchiveSaverContent.h"

namespace ub {
namespace {

using wine::BinFolder;
using wine::CFixtureProcess;

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteWhole(const std::string& path, const std::string& content) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, content.data(), DWORD(content.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && written == content.size();
}

// The file's content, or "<none>" when it cannot be read.
std::string ReadWhole(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<none>";
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
    ::CloseHandle(h);
    return content;
}

// Names in a folder, without "." and "..".
std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.insert(name);
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return names;
}

void RemoveTree(const std::string& folder) {
    for (const std::string& name : FolderNames(folder)) {
        std::string path = folder + name;
        DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            RemoveTree(path + "\\");
        } else {
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(path.c_str());
        }
    }
    ::RemoveDirectoryA(folder.c_str());
}

class QuarantineFiles : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<unsigned> counter{0};
        m_name = "quarantine_test_" + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(counter++);
        m_dir = BinFolder() + m_name + "\\";
        ASSERT_TRUE(::CreateDirectoryA(m_dir.c_str(), nullptr)) << m_dir << ": " << ::GetLastError();
        m_quarantine = m_dir + "Quarantine\\";
    }
    void TearDown() override { RemoveTree(m_dir); }

    std::string m_name;        // the folder's name, beside the test executable
    std::string m_dir;         // the folder, ending in '\'
    std::string m_quarantine;  // its quarantine folder (made by the move)
    CWin32QuarantineFiles m_files;
};

TEST_F(QuarantineFiles, FileNotInUseIsMoved) {
    const std::string source = m_dir + "tool.dll";
    ASSERT_TRUE(WriteWhole(source, "first"));
    EXPECT_EQ(MoveIntoQuarantine(m_files, m_quarantine, source, "tool.dll.ubbak"), MOVE_DONE);
    EXPECT_FALSE(PathExists(source));
    EXPECT_FALSE(PathExists(m_dir + "tool.dll.ubbak"));
    EXPECT_EQ(ReadWhole(m_quarantine + "tool.dll.ubbak"), "first");

    // The same backup name again: the older backup is replaced.
    ASSERT_TRUE(WriteWhole(source, "second"));
    EXPECT_EQ(MoveIntoQuarantine(m_files, m_quarantine, source, "tool.dll.ubbak"), MOVE_DONE);
    EXPECT_EQ(ReadWhole(m_quarantine + "tool.dll.ubbak"), "second");
    EXPECT_EQ(FolderNames(m_dir), std::set<std::string>{"Quarantine"});

    EXPECT_EQ(MoveIntoQuarantine(m_files, m_quarantine, source, "tool.dll.ubbak"), MOVE_NOTHING);
}

TEST_F(QuarantineFiles, LoadedDllIsRenamedAndMovedOnceReleased) {
    // fixture_loader loads fixture_hook.dll from its own folder: copies of
    // both here, so the copy of the DLL is the loaded one.
    for (const char* name : {"fixture_loader.exe", "fixture_hook.dll"})
        ASSERT_TRUE(::CopyFileA((BinFolder() + name).c_str(), (m_dir + name).c_str(), FALSE)) << name;
    const std::string dll = m_dir + "fixture_hook.dll";
    const std::string renamed = m_dir + "fixture_hook.dll.ubbak";
    const std::string image = ReadWhole(dll);
    CFixtureProcess loader;
    ASSERT_TRUE(loader.Start(m_name + "\\fixture_loader.exe"));

    // Not deletable while loaded, but it can be renamed: the copy in the
    // quarantine folder is undone and the file waits beside itself.
    EXPECT_EQ(MoveIntoQuarantine(m_files, m_quarantine, dll, "fixture_hook.dll.ubbak"), MOVE_RENAMED);
    EXPECT_FALSE(PathExists(dll));
    EXPECT_EQ(ReadWhole(renamed), image);
    EXPECT_TRUE(PathExists(m_quarantine));
    EXPECT_TRUE(FolderNames(m_quarantine).empty());

    // Still loaded under its new name.
    EXPECT_EQ(MoveIntoQuarantine(m_files, m_quarantine, dll, "fixture_hook.dll.ubbak"), MOVE_RENAMED);
    EXPECT_EQ(ReadWhole(renamed), image);
    EXPECT_TRUE(FolderNames(m_quarantine).empty());

    ASSERT_TRUE(loader.Terminate());
    EXPECT_EQ(MoveIntoQuarantine(m_files, m_quarantine, dll, "fixture_hook.dll.ubbak"), MOVE_DONE);
    EXPECT_FALSE(PathExists(renamed));
    EXPECT_EQ(ReadWhole(m_quarantine + "fixture_hook.dll.ubbak"), image);
}

TEST_F(QuarantineFiles, FileHeldOpen) {
    struct Case {
        const char* what;
        DWORD share;
        int32_t outcome;
    } cases[] = {
        {"no sharing: not even copied", 0, MOVE_DENIED},
        {"read sharing", FILE_SHARE_READ, MOVE_DENIED},
        {"read and write sharing", FILE_SHARE_READ | FILE_SHARE_WRITE, MOVE_DENIED},
        {"delete sharing", FILE_SHARE_READ | FILE_SHARE_DELETE, MOVE_DONE},
    };
    const std::string source = m_dir + "held.dll";
    const std::string renamed = m_dir + "held.dll.ubbak";
    const std::string target = m_quarantine + "held.dll.ubbak";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteWhole(source, "held"));
        HANDLE held = ::CreateFileA(source.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        int32_t outcome = MoveIntoQuarantine(m_files, m_quarantine, source, "held.dll.ubbak");
        ::CloseHandle(held);
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_FALSE(PathExists(renamed));
        if (c.outcome == MOVE_DENIED) {
            EXPECT_EQ(ReadWhole(source), "held");
            EXPECT_TRUE(FolderNames(m_quarantine).empty());
        } else {
            // Deleted once the last handle closed.
            EXPECT_FALSE(PathExists(source));
            EXPECT_EQ(ReadWhole(target), "held");
            ::DeleteFileA(target.c_str());
        }
    }
}

TEST_F(QuarantineFiles, ArchiveRoundTrip) {
    const std::string path = m_dir + "UBqa.dat";
    CWin32ArchiveFile archive(path);
    EXPECT_EQ(archive.Path(), path);

    std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_EQ(archive.ReadAll(&bytes), FileError::None);
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(PathExists(path));  // made, empty
    EXPECT_EQ(ReadWhole(path), "");

    // Several write chunks and a part chunk, then shorter and empty
    // contents: every replacement leaves exactly the new bytes.
    std::vector<uint8_t> large(3 * 4096 + 17);
    for (size_t i = 0; i < large.size(); ++i) large[i] = uint8_t(i * 7 + i / 251);
    const std::vector<std::vector<uint8_t>> contents = {large, {0xAB, 0x00, 0xCD}, {}};
    for (const auto& content : contents) {
        SCOPED_TRACE(content.size());
        EXPECT_EQ(archive.ReplaceAll(content), FileError::None);
        EXPECT_FALSE(PathExists(path + ".new"));
        std::vector<uint8_t> read;
        EXPECT_EQ(archive.ReadAll(&read), FileError::None);
        EXPECT_EQ(read, content);
    }
    EXPECT_EQ(FolderNames(m_dir), std::set<std::string>{"UBqa.dat"});
}

TEST_F(QuarantineFiles, FailedReplacementKeepsThePreviousContent) {
    const std::string path = m_dir + "UBqa.dat";
    const std::vector<uint8_t> previous = {'o', 'l', 'd'};
    CWin32ArchiveFile archive(path);
    ASSERT_EQ(archive.ReplaceAll(previous), FileError::None);

    // The new file cannot be made.
    ASSERT_TRUE(::CreateDirectoryA((path + ".new").c_str(), nullptr));
    FileError error = archive.ReplaceAll({'n', 'e', 'w'});
    EXPECT_NE(error, FileError::None);
    ::RemoveDirectoryA((path + ".new").c_str());
    EXPECT_EQ(ReadWhole(path), "old");

    // The new file is written but cannot take the old one's place.
    HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    error = archive.ReplaceAll({'n', 'e', 'w'});
    ::CloseHandle(held);
    EXPECT_NE(error, FileError::None);
    EXPECT_FALSE(PathExists(path + ".new"));
    EXPECT_EQ(ReadWhole(path), "old");
}

TEST_F(QuarantineFiles, ArchiveReadErrors) {
    const std::string path = m_dir + "UBqa.dat";
    ASSERT_TRUE(WriteWhole(path, "locked"));
    HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::vector<uint8_t> bytes = {1};
    EXPECT_EQ(CWin32ArchiveFile(path).ReadAll(&bytes), FileError::Sharing);
    EXPECT_TRUE(bytes.empty());
    ::CloseHandle(held);

    EXPECT_EQ(CWin32ArchiveFile(m_dir + "missing\\UBqa.dat").ReadAll(&bytes), FileError::BadPath);
    EXPECT_FALSE(PathExists(m_dir + "missing"));
}

TEST_F(QuarantineFiles, OversizedArchiveIsRefusedUnreadAndThePreviousBytesKept) {
    const std::string path = m_dir + "UBqa.dat";
    // One byte over the cap, as a sparse-free file of that size.
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = LONGLONG(kMaxArchiveBytes) + 1;
    ASSERT_TRUE(::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
    ::CloseHandle(file);
    CWin32ArchiveFile archive(path);
    std::vector<uint8_t> bytes = {1};
    EXPECT_EQ(archive.ReadAll(&bytes), FileError::Generic);
    EXPECT_TRUE(bytes.empty());

    // The first save afterwards keeps it beside; a later copy replaces it.
    EXPECT_EQ(archive.KeepPrevious(), FileError::None);
    WIN32_FILE_ATTRIBUTE_DATA kept{};
    ASSERT_TRUE(::GetFileAttributesExA((path + ".old").c_str(), GetFileExInfoStandard, &kept));
    EXPECT_EQ(kept.nFileSizeLow, DWORD(kMaxArchiveBytes + 1));
    ASSERT_EQ(archive.ReplaceAll({'n', 'e', 'w'}), FileError::None);
    EXPECT_EQ(archive.KeepPrevious(), FileError::None);
    EXPECT_EQ(ReadWhole(path + ".old"), "new");
    ::DeleteFileA((path + ".old").c_str());
    ::DeleteFileA(path.c_str());
    EXPECT_EQ(archive.KeepPrevious(), FileError::None) << "nothing to keep";
    EXPECT_FALSE(PathExists(path + ".old"));
}

// The client killed while it saves: 50 kills at random moments of a loop
// of saves; the file always holds one of the two complete contents.
TEST_F(QuarantineFiles, KilledWhileSavingLeavesTheOldOrTheNewContent) {
    const std::string path = m_dir + "UBqa.dat";
    const std::vector<uint8_t> contents[2] = {SaverContent(0), SaverContent(1)};
    std::srand(unsigned(::GetTickCount()));
    int found[2] = {0, 0}, leftovers = 0;
    const int kKills = 50;
    for (int k = 0; k < kKills; ++k) {
        CFixtureProcess saver;
        ASSERT_TRUE(saver.Start("fixture_archive_saver.exe", "\"" + path + "\""));
        ::Sleep(DWORD(std::rand() % 40));  // a random point of the loop
        ASSERT_TRUE(saver.Terminate());
        std::string bytes = ReadWhole(path);
        ASSERT_NE(bytes, "<none>") << "kill " << k;
        const std::vector<uint8_t> got(bytes.begin(), bytes.end());
        const int which = got == contents[0] ? 0 : (got == contents[1] ? 1 : -1);
        ASSERT_GE(which, 0) << "kill " << k << ": " << got.size() << " bytes, neither content";
        AuthenticList a;
        QuarantineList q;
        EXPECT_EQ(DecodeArchive(got, &a, &q), ArchiveLoad::Loaded);
        ++found[which];
        if (PathExists(path + ".new")) ++leftovers;  // replaced by the next save
    }
    std::printf("[  note    ] %d kills while saving: the first content %d times, the second %d, a .new file "
                "left %d times\n",
                kKills, found[0], found[1], leftovers);
    ::DeleteFileA((path + ".new").c_str());
}

TEST(Win32QuarantineFiles, ErrorCodes) {
    struct Case {
        DWORD code;
        FileError error;
    } cases[] = {
        {0, FileError::None},
        {ERROR_FILE_NOT_FOUND, FileError::NotFound},
        {ERROR_BAD_PATHNAME, FileError::BadPath},
        {ERROR_WRITE_PROTECT, FileError::AccessDenied},
        {ERROR_HANDLE_DISK_FULL, FileError::DiskFull},
        {ERROR_WRITE_FAULT, FileError::HardIo},
        {ERROR_NOT_ENOUGH_MEMORY, FileError::Generic},
    };
    for (const Case& c : cases) EXPECT_EQ(FileErrorFromCode(c.code), c.error) << c.code;
}

TEST(Win32QuarantineFiles, ClockAndWideStrings) {
    FILETIME before, after;
    ::GetSystemTimeAsFileTime(&before);
    CWin32QuarantineFiles files;
    FileTime now = files.Now();
    ::GetSystemTimeAsFileTime(&after);
    EXPECT_GE(ToU64(now), (uint64_t(before.dwHighDateTime) << 32) | before.dwLowDateTime);
    EXPECT_LE(ToU64(now), (uint64_t(after.dwHighDateTime) << 32) | after.dwLowDateTime);

    // An authentic record with a wide name and an ASCII path, through the
    // archive reader with the system's conversion.
    std::vector<uint8_t> bytes = {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                                  0xFF, 0xFE, 0xFF, 3, 'a', 0, 0xE9, 0, 'b', 0, 0x01, 'c', 0, 0, 0, 0};
    AuthenticList authentic;
    QuarantineList quarantine;
    ASSERT_EQ(DecodeArchive(bytes, &authentic, &quarantine, Win32WideToAnsi), ArchiveLoad::Loaded);
    ASSERT_EQ(authentic.size(), 1u);
    EXPECT_EQ(authentic[0]->path, "c");
    if (::GetACP() == 1252) {
        EXPECT_EQ(authentic[0]->name, "a\xE9" "b");
        EXPECT_EQ(Win32WideToAnsi(u"\u4E00x"), "?x");  // not in the code page
    }
    EXPECT_EQ(Win32WideToAnsi(u"C:\\x\\a.dll"), "C:\\x\\a.dll");
    EXPECT_EQ(Win32WideToAnsi(u""), "");
}

}  // namespace
}  // namespace ub
