// The quarantine's files on Windows: the file operations of a move into the
// quarantine folder, the archive file, and the ANSI conversion of its wide
// strings.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "client/quarantine/QuarantineStore.h"
#include "common/win32/Win32ProgramDirectory.h"

namespace ub {

class CWin32QuarantineFiles : public IQuarantineFiles {
public:
    bool Exists(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    bool CopyOver(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& path) override;
    bool MoveOver(const std::string& from, const std::string& to) override;
    FileTime Now() override;
};

// The cause of a Windows error code; None for 0, Generic for codes without
// a cause of their own.
FileError FileErrorFromCode(DWORD code);

class CWin32ArchiveFile : public IArchiveFile {
public:
    explicit CWin32ArchiveFile(std::string path) : m_path(std::move(path)) {}
    std::string Path() const override { return m_path; }
    FileError ReadAll(std::vector<uint8_t>* bytes) override;
    // Writes "<path>.new" and moves it over the file.
    FileError ReplaceAll(const std::vector<uint8_t>& bytes) override;
    FileError KeepPrevious() override;

private:
    std::string m_path;
};

// UTF-16LE to the ANSI code page (a WideToAnsiFn for DecodeArchive).
std::string Win32WideToAnsi(const std::u16string& text);

}  // namespace ub
