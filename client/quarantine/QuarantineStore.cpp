#include "client/quarantine/QuarantineStore.h"

#include "common/Paths.h"

namespace ub {

std::string RenamedCopyPath(const std::string& originalPath, const std::string& backupName) {
    return FolderOf(originalPath) + backupName;
}

namespace {

// The renamed copy into the quarantine folder.
int32_t MoveRenamed(IQuarantineFiles& files, const std::string& renamed, const std::string& target) {
    if (!files.Exists(renamed)) return MOVE_NOTHING;
    if (files.CopyOver(renamed, target)) {
        if (files.Remove(renamed)) return MOVE_DONE;
        files.Remove(target);
    }
    return MOVE_RENAMED;
}

}  // namespace

int32_t MoveIntoQuarantine(IQuarantineFiles& files, const std::string& quarantineFolder, const std::string& sourcePath,
                           const std::string& backupName) {
    files.CreateFolder(quarantineFolder);
    const std::string target = quarantineFolder + backupName;
    const std::string renamed = RenamedCopyPath(sourcePath, backupName);

    if (files.Exists(sourcePath)) {
        // A renamed copy left by an earlier attempt would block the rename.
        files.Remove(renamed);
        if (files.CopyOver(sourcePath, target)) {
            if (files.Remove(sourcePath)) return MOVE_DONE;
            files.Remove(target);  // the original stays: no copy either
        }
        // Not deletable now (a loaded image): rename it beside itself, for a
        // later call to move.
        return files.MoveOver(sourcePath, renamed) ? MOVE_RENAMED : MOVE_DENIED;
    }

    return MoveRenamed(files, renamed, target);
}

int32_t MoveRenamedIntoQuarantine(IQuarantineFiles& files, const std::string& quarantineFolder,
                                  const std::string& originalPath, const std::string& backupName) {
    files.CreateFolder(quarantineFolder);
    return MoveRenamed(files, RenamedCopyPath(originalPath, backupName), quarantineFolder + backupName);
}

namespace {

// The message with %1 standing for the file's name.
const char* FileErrorTemplate(FileError error) {
    switch (error) {
        case FileError::None: break;
        case FileError::Generic: return "An unexpected error occurred while accessing %1.";
        case FileError::NotFound: return "%1 was not found.";
        case FileError::BadPath: return "%1 contains an incorrect path.";
        case FileError::TooManyOpen: return "%1 could not be opened because there are too many open files.";
        case FileError::AccessDenied: return "Access to %1 was denied.";
        case FileError::InvalidFile: return "An incorrect file handle was associated with %1.";
        case FileError::DirectoryFull: return "%1 could not be created because the directory is full.";
        case FileError::HardIo: return "A hardware I/O error was reported while accessing %1.";
        case FileError::Sharing: return "A sharing violation occurred while accessing %1.";
        case FileError::Locking: return "A locking violation occurred while accessing %1.";
        case FileError::DiskFull: return "Disk full while accessing %1.";
        case FileError::EndOfFile: return "An attempt was made to access %1 past its end.";
    }
    return "An unknown error occurred while accessing %1.";
}

}  // namespace

std::string FileErrorText(FileError error, const std::string& fileName) {
    std::string message = FileErrorTemplate(error);
    size_t at = message.find("%1");
    if (at != std::string::npos) message.replace(at, 2, fileName);
    return message;
}

}  // namespace ub
