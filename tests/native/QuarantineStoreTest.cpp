#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/quarantine/QuarantineStore.h"
#include "tests/support/FakeQuarantineFiles.h"

namespace ub {
namespace {

using test::FakeQuarantineFiles;

const std::string kFolder = "C:\\Program Files\\Umbrastead\\Quarantine\\";
const std::string kSource = "C:\\Apps\\Tool\\hook.dll";
const std::string kBackup = "hook.dll.ubbak";
const std::string kRenamed = "C:\\Apps\\Tool\\hook.dll.ubbak";
const std::string kTarget = kFolder + kBackup;

// Content of a file, or "" when there is none.
std::string ContentOf(const FakeQuarantineFiles& files, const std::string& path) {
    auto it = files.files.find(FakeQuarantineFiles::Key(path));
    return it == files.files.end() ? std::string() : it->second;
}

TEST(QuarantineStore, MoveOutcomes) {
    enum Setup : unsigned {
        SOURCE = 1,             // the file exists as "new"
        LEFTOVER = 2,           // a renamed copy exists as "old"
        SOURCE_LOADED = 4,      // the file cannot be deleted, only renamed
        SOURCE_LOCKED = 8,      // the file can be neither deleted nor renamed
        LEFTOVER_LOADED = 16,   // the renamed copy cannot be deleted
        FOLDER_READONLY = 32,   // nothing can be made in the quarantine folder
        STALE_TARGET = 64,      // the quarantine folder already holds "stale" as the backup name
    };
    struct Case {
        const char* what;
        unsigned setup;
        int32_t outcome;
        // Contents afterwards; "" for no file.
        const char* source;
        const char* renamed;
        const char* target;
    } cases[] = {
        {"not in use", SOURCE, MOVE_DONE, "", "", "new"},
        {"not in use, stale backup replaced", SOURCE | STALE_TARGET, MOVE_DONE, "", "", "new"},
        {"loaded: renamed, copy undone", SOURCE | SOURCE_LOADED, MOVE_RENAMED, "", "new", ""},
        {"held open: nothing changes", SOURCE | SOURCE_LOCKED, MOVE_DENIED, "new", "", ""},
        {"leftover renamed copy replaced", SOURCE | LEFTOVER, MOVE_DONE, "", "", "new"},
        {"leftover renamed copy, file loaded", SOURCE | LEFTOVER | SOURCE_LOADED, MOVE_RENAMED, "", "new", ""},
        {"quarantine folder refuses the copy", SOURCE | FOLDER_READONLY, MOVE_RENAMED, "", "new", ""},
        {"nothing there", 0, MOVE_NOTHING, "", "", ""},
        {"renamed copy released", LEFTOVER, MOVE_DONE, "", "", "old"},
        {"renamed copy still loaded", LEFTOVER | LEFTOVER_LOADED, MOVE_RENAMED, "", "old", ""},
        {"renamed copy, folder refuses it", LEFTOVER | FOLDER_READONLY, MOVE_RENAMED, "", "old", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeQuarantineFiles files;
        if (c.setup & SOURCE) files.Put(kSource, "new");
        if (c.setup & LEFTOVER) files.Put(kRenamed, "old");
        if (c.setup & SOURCE_LOADED) files.undeletable.insert(FakeQuarantineFiles::Key(kSource));
        if (c.setup & SOURCE_LOCKED) files.locked.insert(FakeQuarantineFiles::Key(kSource));
        if (c.setup & LEFTOVER_LOADED) files.undeletable.insert(FakeQuarantineFiles::Key(kRenamed));
        if (c.setup & FOLDER_READONLY) files.readOnlyFolders.insert(FakeQuarantineFiles::Key(kFolder));
        if (c.setup & STALE_TARGET) files.Put(kTarget, "stale");

        EXPECT_EQ(MoveIntoQuarantine(files, kFolder, kSource, kBackup), c.outcome);
        EXPECT_EQ(ContentOf(files, kSource), c.source);
        EXPECT_EQ(ContentOf(files, kRenamed), c.renamed);
        EXPECT_EQ(ContentOf(files, kTarget), c.target);
        ASSERT_FALSE(files.log.empty());
        EXPECT_EQ(files.log.front(), "mkdir " + kFolder);
    }
}

TEST(QuarantineStore, LoadedFileIsMovedOnceReleased) {
    FakeQuarantineFiles files;
    files.Put(kSource, "image");
    files.undeletable.insert(FakeQuarantineFiles::Key(kSource));

    ASSERT_EQ(MoveIntoQuarantine(files, kFolder, kSource, kBackup), MOVE_RENAMED);
    const std::vector<std::string> first = {
        "mkdir " + kFolder,
        "delete " + kRenamed,
        "copy " + kSource + " " + kTarget,
        "delete " + kSource,
        "delete " + kTarget,
        "move " + kSource + " " + kRenamed,
    };
    EXPECT_EQ(files.log, first);
    EXPECT_EQ(files.files.size(), 1u);

    // Still loaded: the renamed copy stays where it is.
    files.log.clear();
    EXPECT_EQ(MoveIntoQuarantine(files, kFolder, kSource, kBackup), MOVE_RENAMED);
    EXPECT_EQ(ContentOf(files, kRenamed), "image");
    EXPECT_EQ(ContentOf(files, kTarget), "");

    // The process ended.
    files.undeletable.clear();
    files.log.clear();
    EXPECT_EQ(MoveIntoQuarantine(files, kFolder, kSource, kBackup), MOVE_DONE);
    const std::vector<std::string> second = {
        "mkdir " + kFolder,
        "copy " + kRenamed + " " + kTarget,
        "delete " + kRenamed,
    };
    EXPECT_EQ(files.log, second);
    EXPECT_EQ(ContentOf(files, kTarget), "image");
    EXPECT_EQ(files.files.size(), 1u);

    // Nothing left to move.
    EXPECT_EQ(MoveIntoQuarantine(files, kFolder, kSource, kBackup), MOVE_NOTHING);
    EXPECT_EQ(ContentOf(files, kTarget), "image");
}

TEST(QuarantineStore, RenamedCopyPath) {
    struct Case {
        const char* original;
        const char* expected;
    } cases[] = {
        {"C:\\Apps\\Tool\\hook.dll", "C:\\Apps\\Tool\\x.ubbak"},
        {"C:\\hook.dll", "C:\\x.ubbak"},
        {"\\\\server\\share\\hook.dll", "\\\\server\\share\\x.ubbak"},
        {"C:\\Apps\\", "C:\\Apps\\x.ubbak"},
        {"hook.dll", "x.ubbak"},
        {"C:/Apps/hook.dll", "x.ubbak"},  // only backslashes separate folders
        {"", "x.ubbak"},
    };
    for (const Case& c : cases) EXPECT_EQ(RenamedCopyPath(c.original, "x.ubbak"), c.expected) << c.original;
}

TEST(QuarantineStore, FileErrorTexts) {
    struct Case {
        FileError error;
        const char* name;
        const char* expected;
    } cases[] = {
        {FileError::AccessDenied, "C:\\x\\UBqa.dat", "Access to C:\\x\\UBqa.dat was denied."},
        {FileError::NotFound, "C:\\x\\UBqa.dat", "C:\\x\\UBqa.dat was not found."},
        {FileError::None, "a.dat", "An unknown error occurred while accessing a.dat."},
        {FileError::Generic, "a.dat", "An unexpected error occurred while accessing a.dat."},
        {FileError::EndOfFile, "a.dat", "An attempt was made to access a.dat past its end."},
        {FileError::Sharing, "%1.dat", "A sharing violation occurred while accessing %1.dat."},
    };
    for (const Case& c : cases) EXPECT_EQ(FileErrorText(c.error, c.name), c.expected) << c.name;
}

}  // namespace
}  // namespace ub
