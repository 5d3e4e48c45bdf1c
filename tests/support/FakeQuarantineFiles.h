// In-memory files for the quarantine: paths compared without letter case,
// files that refuse deletion (loaded by a process) or any change (held open
// without delete sharing), folders that refuse files, and a clock.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "client/quarantine/QuarantineStore.h"
#include "common/TextFold.h"

namespace ub::test {

class FakeQuarantineFiles : public IQuarantineFiles {
public:
    std::map<std::string, std::string> files;  // folded path -> content
    std::set<std::string> folders;             // folded paths, with trailing backslash
    std::set<std::string> undeletable;         // folded: delete fails, rename works
    std::set<std::string> locked;              // folded: delete and rename fail
    std::set<std::string> readOnlyFolders;     // folded: nothing can be made inside
    std::vector<std::string> log;              // operations in call order
    FileTime now{0x12345678, 0x01C5F8A2};

    static std::string Key(const std::string& path) { return FoldedKey(path.c_str(), path.size() + 1); }
    void Put(const std::string& path, const std::string& content = "x") { files[Key(path)] = content; }
    bool Has(const std::string& path) const { return files.count(Key(path)) != 0; }

    bool Exists(const std::string& path) override { return Has(path) || folders.count(Key(path) + "\\") != 0; }
    void CreateFolder(const std::string& path) override {
        log.push_back("mkdir " + path);
        std::string key = Key(path);
        if (key.empty() || key.back() != '\\') key += '\\';
        folders.insert(key);
    }
    bool CopyOver(const std::string& from, const std::string& to) override {
        log.push_back("copy " + from + " " + to);
        auto it = files.find(Key(from));
        if (it == files.end() || !CanCreate(to) || locked.count(Key(to))) return false;
        files[Key(to)] = it->second;
        return true;
    }
    bool Remove(const std::string& path) override {
        log.push_back("delete " + path);
        std::string key = Key(path);
        if (!files.count(key) || undeletable.count(key) || locked.count(key)) return false;
        files.erase(key);
        return true;
    }
    bool MoveOver(const std::string& from, const std::string& to) override {
        log.push_back("move " + from + " " + to);
        std::string src = Key(from), dst = Key(to);
        if (!files.count(src) || locked.count(src) || !CanCreate(to) || undeletable.count(dst) || locked.count(dst))
            return false;
        std::string content = files[src];
        files.erase(src);
        files[dst] = content;
        if (undeletable.erase(src)) undeletable.insert(dst);  // the loaded image moves with its file
        return true;
    }
    FileTime Now() override { return now; }

private:
    bool CanCreate(const std::string& path) const {
        std::string key = Key(path);
        size_t slash = key.rfind('\\');
        std::string folder = slash == std::string::npos ? std::string() : key.substr(0, slash + 1);
        if (readOnlyFolders.count(folder)) return false;
        // The quarantine folder must have been made; other folders exist
        // when a file is in them or they were made.
        if (folders.count(folder)) return true;
        for (const auto& f : files)
            if (f.first.compare(0, folder.size(), folder) == 0) return true;
        return false;
    }
};

// An archive file in memory, with injectable failures.
class FakeArchiveFile : public IArchiveFile {
public:
    std::string path = "C:\\Program Files\\Umbrastead\\UBqa.dat";
    std::vector<uint8_t> bytes;
    bool exists = false;
    FileError readError = FileError::None;
    FileError writeError = FileError::None;
    int writes = 0;

    std::string Path() const override { return path; }
    FileError ReadAll(std::vector<uint8_t>* out) override {
        if (readError != FileError::None) return readError;
        exists = true;
        *out = bytes;
        return FileError::None;
    }
    FileError ReplaceAll(const std::vector<uint8_t>& in) override {
        if (writeError != FileError::None) return writeError;
        bytes = in;
        exists = true;
        ++writes;
        return FileError::None;
    }
    // The bytes kept beside the file, and whether a copy was made.
    std::vector<uint8_t> previous;
    bool kept = false;
    FileError keepError = FileError::None;
    FileError KeepPrevious() override {
        if (keepError != FileError::None) return keepError;
        if (exists) {
            previous = bytes;
            kept = true;
        }
        return FileError::None;
    }
};

}  // namespace ub::test
