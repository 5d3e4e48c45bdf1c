#include "client/quarantine/win32/Win32QuarantineFiles.h"

#include <algorithm>
#include <cstdint>

namespace ub {
namespace {

constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
constexpr DWORD kWriteChunk = 4096;
constexpr DWORD kReadChunk = 1 << 20;

// The cause of the calling thread's last error, for a call that failed:
// never None, even when the call left no code.
FileError LastFailure() {
    DWORD code = ::GetLastError();
    return code == 0 ? FileError::Generic : FileErrorFromCode(code);
}

// Closes the handle it holds when it goes away.
class CFileHandle {
public:
    explicit CFileHandle(HANDLE h) : m_h(h) {}
    ~CFileHandle() {
        if (Valid()) ::CloseHandle(m_h);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    bool Valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE Get() const { return m_h; }
    // Closes now, reporting whether the close succeeded.
    bool Close() {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) != 0;
    }

private:
    HANDLE m_h;
};

// Writes the whole buffer to a new file at `path`, flushed and closed.
FileError WriteNewFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    CFileHandle file(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return LastFailure();
    for (size_t done = 0; done < bytes.size();) {
        DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, kWriteChunk));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr)) return LastFailure();
        if (written != chunk) return FileError::DiskFull;
        done += written;
    }
    if (!::FlushFileBuffers(file.Get())) return LastFailure();
    if (!file.Close()) return LastFailure();
    return FileError::None;
}

}  // namespace

bool CWin32QuarantineFiles::Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CWin32QuarantineFiles::CreateFolder(const std::string& path) { ::CreateDirectoryA(path.c_str(), nullptr); }

bool CWin32QuarantineFiles::CopyOver(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool CWin32QuarantineFiles::Remove(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

bool CWin32QuarantineFiles::MoveOver(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), kMoveFlags) != 0;
}

FileTime CWin32QuarantineFiles::Now() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return FileTime{now.dwLowDateTime, now.dwHighDateTime};
}

FileError FileErrorFromCode(DWORD code) {
    switch (code) {
        case 0: return FileError::None;
        case ERROR_FILE_NOT_FOUND: return FileError::NotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME: return FileError::BadPath;
        case ERROR_TOO_MANY_OPEN_FILES: return FileError::TooManyOpen;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return FileError::AccessDenied;
        case ERROR_INVALID_HANDLE: return FileError::InvalidFile;
        case ERROR_CANNOT_MAKE: return FileError::DirectoryFull;
        case ERROR_SHARING_VIOLATION: return FileError::Sharing;
        case ERROR_LOCK_VIOLATION: return FileError::Locking;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return FileError::DiskFull;
        case ERROR_HANDLE_EOF: return FileError::EndOfFile;
        case ERROR_CRC:
        case ERROR_SEEK:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT: return FileError::HardIo;
        default: return FileError::Generic;
    }
}

FileError CWin32ArchiveFile::ReadAll(std::vector<uint8_t>* bytes) {
    bytes->clear();
    CFileHandle file(::CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return LastFailure();
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size)) return LastFailure();
    // The whole file is held in memory: one larger than any archive the
    // client writes is refused unread.
    if (size.QuadPart < 0 || uint64_t(size.QuadPart) > kMaxArchiveBytes) return FileError::Generic;
    bytes->resize(size_t(size.QuadPart));
    for (size_t done = 0; done < bytes->size();) {
        DWORD chunk = DWORD(std::min<size_t>(bytes->size() - done, kReadChunk));
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes->data() + done, chunk, &got, nullptr)) {
            FileError error = LastFailure();
            bytes->clear();
            return error;
        }
        if (got == 0) {  // shorter than its size said
            bytes->clear();
            return FileError::EndOfFile;
        }
        done += got;
    }
    return FileError::None;
}

FileError CWin32ArchiveFile::ReplaceAll(const std::vector<uint8_t>& bytes) {
    const std::string newPath = m_path + ".new";
    FileError error = WriteNewFile(newPath, bytes);
    if (error == FileError::None && !::MoveFileExA(newPath.c_str(), m_path.c_str(), kMoveFlags))
        error = LastFailure();
    if (error != FileError::None) ::DeleteFileA(newPath.c_str());
    return error;
}

FileError CWin32ArchiveFile::KeepPrevious() {
    if (::GetFileAttributesA(m_path.c_str()) == INVALID_FILE_ATTRIBUTES) return FileError::None;
    const std::string old = m_path + ".old";
    return ::CopyFileA(m_path.c_str(), old.c_str(), FALSE) ? FileError::None : LastFailure();
}

std::string Win32WideToAnsi(const std::u16string& text) {
    if (text.empty()) return std::string();
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    int n = ::WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string ansi(size_t(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, int(text.size()), &ansi[0], n, nullptr, nullptr);
    return ansi;
}

}  // namespace ub
