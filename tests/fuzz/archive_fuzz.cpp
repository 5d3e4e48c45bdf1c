// libFuzzer target for the archive decoder and the reload of the lists from
// an archive that other programs can write. Checks, besides memory safety:
// the decoder's verdict matches the bytes; it never makes more entries than
// the bytes can hold; what it read encodes canonically and decodes back to
// the same entries; and the reload touches no file but the quarantine
// folder's and the renamed copies of Pending entries it may act on.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/quarantine/Archive.h"
#include "tests/support/ClientFixture.h"

namespace {

using namespace ub;

// A failed check names itself before the abort that libFuzzer reports.
#define Check(condition) \
    ((condition) ? void(0) : (std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__), std::abort()))

// The smallest record: three 32-bit words and two empty strings.
constexpr size_t kSmallestRecord = 14;

bool SameEntries(const AuthenticList& a, const AuthenticList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i]->reserved != b[i]->reserved || ToU64(a[i]->time) != ToU64(b[i]->time) || a[i]->name != b[i]->name ||
            a[i]->path != b[i]->path)
            return false;
    }
    return true;
}

// With `unknownLater`, an entry of `a` that is Quar may be Unknown in `b`: the
// reload marks missing files so without saving.
bool SameEntries(const QuarantineList& a, const QuarantineList& b, bool unknownLater = false) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        bool sameStatus = a[i]->status == b[i]->status ||
                          (unknownLater && a[i]->status == QS_QUAR && b[i]->status == QS_UNKNOWN);
        if (!sameStatus || ToU64(a[i]->time) != ToU64(b[i]->time) || a[i]->backupName != b[i]->backupName ||
            a[i]->originalPath != b[i]->originalPath)
            return false;
    }
    return true;
}

void CheckDecoder(const std::vector<uint8_t>& bytes, ArchiveLoad result, const AuthenticList& authentic,
                  const QuarantineList& quarantine) {
    Check((result == ArchiveLoad::Empty) == bytes.empty());
    if (bytes.size() >= 4) {
        uint32_t version;
        std::memcpy(&version, bytes.data(), 4);
        Check((result == ArchiveLoad::BadVersion) == (version != kArchiveVersion));
    }
    Check((authentic.size() + quarantine.size()) * kSmallestRecord <= bytes.size());

    std::vector<uint8_t> encoded = EncodeArchive(authentic, quarantine);
    AuthenticList authentic2;
    QuarantineList quarantine2;
    Check(DecodeArchive(encoded, &authentic2, &quarantine2) == ArchiveLoad::Loaded);
    Check(SameEntries(authentic, authentic2) && SameEntries(quarantine, quarantine2));
    Check(EncodeArchive(authentic2, quarantine2) == encoded);
}

// One block for every input (the reload does not use it).
uint8_t* SharedBlock() {
    static std::unique_ptr<uint8_t[]> block(new uint8_t[kBlockSize]());
    return block.get();
}

void CheckReload(const std::vector<uint8_t>& bytes, ArchiveLoad result, const QuarantineList& decoded) {
    test::ClientFixture f(nullptr, SharedBlock());
    f.archive.bytes = bytes;
    f.archive.exists = true;
    // Files where the entries point, as the time's low bits choose.
    for (const auto& e : decoded) {
        const std::string renamed = RenamedCopyPath(e->originalPath, e->backupName);
        if (e->time.low & 1) f.files.Put(e->originalPath);
        if (e->time.low & 2) f.files.Put(renamed);
        if (e->time.low & 4) f.files.Put(f.controller.QuarantineFolder() + e->backupName);
        if (e->time.low & 8) f.files.undeletable.insert(test::FakeQuarantineFiles::Key(renamed));
        if (e->time.low & 16) f.files.locked.insert(test::FakeQuarantineFiles::Key(renamed));
    }
    const std::map<std::string, std::string> before = f.files.files;
    f.controller.ReloadLists();

    CTreeController& c = f.controller;
    Check(f.prompt.fileErrors.size() == (result == ArchiveLoad::PastEnd ? 1u : 0u));
    Check(c.quarantine.size() == decoded.size());
    Check(f.tree.Children(c.Nodes().authentic).size() == c.authentic.size());
    std::map<std::string, bool> mayChange;  // renamed copies of the Pending entries acted on
    for (size_t i = 0; i < decoded.size(); ++i) {
        const QuarantineEntry& was = *decoded[i];
        const int32_t now = c.quarantine[i]->status;
        if (!CanActOn(was)) {
            Check(now == was.status);
        } else if (was.status == QS_PENDING) {
            Check(now == QS_PENDING || now == QS_QUAR || now == QS_CLEANED);
            mayChange[test::FakeQuarantineFiles::Key(RenamedCopyPath(was.originalPath, was.backupName))] = true;
        } else if (was.status == QS_QUAR) {
            Check(now == QS_QUAR || now == QS_UNKNOWN);
        } else {
            Check(now == was.status);
        }
    }
    const std::string folder = test::FakeQuarantineFiles::Key(c.QuarantineFolder());
    auto changed = [&](const std::string& key) {
        Check(key.compare(0, folder.size(), folder) == 0 || mayChange.count(key));
    };
    for (const auto& [key, content] : before) {
        auto it = f.files.files.find(key);
        if (it == f.files.files.end() || it->second != content) changed(key);
    }
    for (const auto& [key, content] : f.files.files)
        if (!before.count(key)) changed(key);

    // What a retry saved is an archive of the lists as they are now, but
    // for the missing files marked after the last save.
    if (f.archive.writes > 0) {
        AuthenticList authentic;
        QuarantineList quarantine;
        Check(DecodeArchive(f.archive.bytes, &authentic, &quarantine) == ArchiveLoad::Loaded);
        Check(SameEntries(authentic, c.authentic) && SameEntries(quarantine, c.quarantine, true));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    AuthenticList authentic;
    QuarantineList quarantine;
    const ArchiveLoad result = DecodeArchive(bytes, &authentic, &quarantine);
    CheckDecoder(bytes, result, authentic, quarantine);
    CheckReload(bytes, result, quarantine);
    return 0;
}
