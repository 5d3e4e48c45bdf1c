// The quarantine folder and the archive file, reached through the platform:
// the move of one file into the quarantine folder with its outcome codes,
// and the archive file read whole and replaced whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/SharedFormat.h"

namespace ub {

// The file operations the quarantine needs. Paths are ANSI.
class IQuarantineFiles {
public:
    virtual ~IQuarantineFiles() = default;
    // True when the file's attributes can be read.
    virtual bool Exists(const std::string& path) = 0;
    // Creates a folder; an existing folder or a failure is ignored.
    virtual void CreateFolder(const std::string& path) = 0;
    // Copies a file, replacing an existing target.
    virtual bool CopyOver(const std::string& from, const std::string& to) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // Moves or renames a file, replacing an existing target and writing
    // through; never delayed until a reboot.
    virtual bool MoveOver(const std::string& from, const std::string& to) = 0;
    // The current time as a FILETIME (UTC).
    virtual FileTime Now() = 0;
};

// Outcomes of MoveIntoQuarantine; 0, 1 and 2 are stored as entry statuses.
enum MoveOutcome : int32_t {
    MOVE_RENAMED = 0,  // not moved yet: renamed in place, or the copy failed
    MOVE_DONE = 1,     // in the quarantine folder
    MOVE_NOTHING = 2,  // neither the file nor its renamed copy exists
    MOVE_DENIED = 4,   // neither moved nor renamed
};

// The folder part of originalPath (through its last backslash; empty when
// there is none) followed by backupName: where a Pending file waits.
std::string RenamedCopyPath(const std::string& originalPath, const std::string& backupName);

// Moves sourcePath into quarantineFolder (ending with a backslash) as
// backupName; a file that cannot be deleted is renamed beside itself and
// moved by a later call.
int32_t MoveIntoQuarantine(IQuarantineFiles& files, const std::string& quarantineFolder, const std::string& sourcePath,
                           const std::string& backupName);

// The retry of a Pending entry: moves only the renamed copy that an
// earlier attempt left beside the original, never a file found at the
// original path. MOVE_DONE, MOVE_NOTHING (no renamed copy) or MOVE_RENAMED
// (the copy stays where it is).
int32_t MoveRenamedIntoQuarantine(IQuarantineFiles& files, const std::string& quarantineFolder,
                                  const std::string& originalPath, const std::string& backupName);

// Causes of file errors, each with its message.
enum class FileError {
    None,
    Generic,
    NotFound,
    BadPath,
    TooManyOpen,
    AccessDenied,
    InvalidFile,
    DirectoryFull,
    HardIo,
    Sharing,
    Locking,
    DiskFull,
    EndOfFile,
};

// The message for a file error with the file's name in place of %1, for
// example "Access to C:\x\UBqa.dat was denied.".
std::string FileErrorText(FileError error, const std::string& fileName);

// The archive file.
class IArchiveFile {
public:
    virtual ~IArchiveFile() = default;
    virtual std::string Path() const = 0;
    // Opens the file, creating it empty when it is missing, and reads it
    // whole.
    virtual FileError ReadAll(std::vector<uint8_t>* bytes) = 0;
    // Replaces the file's content. A new file is written beside the old one
    // and takes its place only when complete, so any failure leaves the
    // previous content.
    virtual FileError ReplaceAll(const std::vector<uint8_t>& bytes) = 0;
    // Keeps the file's present bytes beside it as Path() + ".old",
    // replacing an older copy; nothing to do when the file is missing.
    virtual FileError KeepPrevious() = 0;
};

// Archive files above this size are refused unread: thousands of entries
// fit in a fraction of it.
constexpr uint64_t kMaxArchiveBytes = 4u << 20;

}  // namespace ub
