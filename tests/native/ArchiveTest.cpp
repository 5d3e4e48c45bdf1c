#include <gtest/gtest.h>

#include "client/quarantine/Archive.h"

namespace ub {
namespace {

std::unique_ptr<QuarantineEntry> Quar(int32_t status, FileTime time, const char* backup, const char* path) {
    auto e = std::make_unique<QuarantineEntry>();
    e->status = status;
    e->time = time;
    e->backupName = backup;
    e->originalPath = path;
    return e;
}

std::unique_ptr<AuthenticEntry> Auth(FileTime time, const char* name, const char* path) {
    auto e = std::make_unique<AuthenticEntry>();
    e->time = time;
    e->name = name;
    e->path = path;
    return e;
}

TEST(Archive, ExampleFileByteForByte) {
    AuthenticList authentic;
    QuarantineList quarantine;
    quarantine.push_back(Quar(QS_QUAR, FileTime{0x12345678, 0x01C5F8A2}, "a.dll.ubbak", "C:\\x\\a.dll"));
    std::vector<uint8_t> expected = {0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                                     0x78, 0x56, 0x34, 0x12, 0xA2, 0xF8, 0xC5, 0x01, 0x0B};
    for (char c : std::string("a.dll.ubbak")) expected.push_back(uint8_t(c));
    expected.push_back(0x0A);
    for (char c : std::string("C:\\x\\a.dll")) expected.push_back(uint8_t(c));
    std::vector<uint8_t> bytes = EncodeArchive(authentic, quarantine);
    EXPECT_EQ(bytes.size(), 47u);
    EXPECT_EQ(bytes, expected);
}

TEST(Archive, StringPrefixes) {
    struct Case {
        size_t length;
        std::vector<uint8_t> prefix;
    } cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0x2C, 0x01}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out;
        AppendArchiveString(&out, std::string(c.length, 'q'));
        ASSERT_EQ(out.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(c.prefix.size())), c.prefix) << c.length;

        // And back through a whole archive.
        AuthenticList a;
        QuarantineList q;
        a.push_back(Auth(FileTime{1, 2}, "n", std::string(c.length, 'q').c_str()));
        AuthenticList a2;
        QuarantineList q2;
        EXPECT_EQ(DecodeArchive(EncodeArchive(a, q), &a2, &q2), ArchiveLoad::Loaded) << c.length;
        ASSERT_EQ(a2.size(), 1u);
        EXPECT_EQ(a2[0]->path.size(), c.length);
    }
}

TEST(Archive, RoundTripAndOddFiles) {
    AuthenticList authentic;
    QuarantineList quarantine;
    authentic.push_back(Auth(FileTime{5, 6}, "k.dll", "C:\\k.dll"));
    authentic.push_back(Auth(FileTime{7, 8}, "", ""));
    quarantine.push_back(Quar(QS_PENDING, FileTime{9, 10}, "a.dll.ubbak", "C:\\a.dll"));
    quarantine.push_back(Quar(-3, FileTime{0xFFFFFFFF, 0xFFFFFFFF}, "b.ubbak2", "C:\\b"));
    std::vector<uint8_t> bytes = EncodeArchive(authentic, quarantine);

    AuthenticList a;
    QuarantineList q;
    ASSERT_EQ(DecodeArchive(bytes, &a, &q), ArchiveLoad::Loaded);
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(a[0]->path, "C:\\k.dll");
    EXPECT_EQ(a[1]->time.high, 8u);
    EXPECT_EQ(q[1]->status, -3);
    EXPECT_EQ(q[1]->time.low, 0xFFFFFFFFu);
    EXPECT_EQ(q[0]->module, nullptr);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        ArchiveLoad result;
    } cases[] = {
        {"zero-length file", {}, ArchiveLoad::Empty},
        {"version 2", {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ArchiveLoad::BadVersion},
        {"two zero counts", {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ArchiveLoad::Loaded},
        {"negative counts", {1, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF}, ArchiveLoad::Loaded},
        {"ends in the version", {1, 0, 1}, ArchiveLoad::PastEnd},
        {"ends before the second count", {1, 0, 1, 0, 0, 0, 0, 0}, ArchiveLoad::PastEnd},
        {"huge count, no records", {1, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0x7F}, ArchiveLoad::PastEnd},
        {"huge string length", {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF,
                                0xF0, 0xFF, 0xFF, 0xFF, 'x'}, ArchiveLoad::PastEnd},
        {"huge wide length", {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0xFF,
                              0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'x', 0}, ArchiveLoad::PastEnd},
        {"wide string with an odd byte count", {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                                                0xFF, 0xFE, 0xFF, 2, 'x', 0, 'y'}, ArchiveLoad::PastEnd},
    };
    for (const Case& c : cases) {
        AuthenticList ca;
        QuarantineList cq;
        EXPECT_EQ(DecodeArchive(c.bytes, &ca, &cq), c.result) << c.what;
        EXPECT_TRUE(ca.empty() && cq.empty()) << c.what;
    }

    // Cut at every length: never more than the complete records before the cut.
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        AuthenticList ca;
        QuarantineList cq;
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
        EXPECT_EQ(DecodeArchive(part, &ca, &cq), ArchiveLoad::PastEnd) << cut;
        EXPECT_LE(ca.size() + cq.size(), 4u);
        if (!cq.empty()) {
            EXPECT_EQ(ca.size(), 2u);
        }
        for (auto& e : ca) EXPECT_TRUE(e->path == "C:\\k.dll" || e->path.empty());
    }
}

TEST(Archive, WideStringsAreConverted) {
    std::vector<uint8_t> bytes = {1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                                  0xFF, 0xFE, 0xFF, 3, 'a', 0, 0xE9, 0, 'b', 0, 0x01, 'c'};
    AuthenticList a;
    QuarantineList q;
    ASSERT_EQ(DecodeArchive(bytes, &a, &q), ArchiveLoad::PastEnd);  // the quarantine count is missing
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0]->name, "a?b");
    EXPECT_EQ(a[0]->path, "c");
}

TEST(Entries, BackupNamesAndOrder) {
    QuarantineList entries;
    std::string name;
    ASSERT_TRUE(ChooseBackupName("a.dll", entries, &name));
    EXPECT_EQ(name, "a.dll.ubbak");
    entries.push_back(Quar(QS_CLEANED, {}, "A.DLL.ubbak", "C:\\a.dll"));
    ASSERT_TRUE(ChooseBackupName("a.dll", entries, &name));
    EXPECT_EQ(name, "a.dll.ubbak2");
    for (int n = 2; n <= 9; ++n)
        entries.push_back(Quar(QS_RECOVERED, {}, ("a.dll.ubbak" + std::to_string(n)).c_str(), "C:\\a.dll"));
    EXPECT_FALSE(ChooseBackupName("a.dll", entries, &name));
    EXPECT_EQ(name, "a.dll.ubbak2");  // untouched on failure
    ASSERT_TRUE(ChooseBackupName("b.dll", entries, &name));
    EXPECT_EQ(name, "b.dll.ubbak");

    QuarantineEntry early = *Quar(2, FileTime{0x10, 5}, "b", "C:\\Z");
    QuarantineEntry late = *Quar(-1, FileTime{0x90000000, 5}, "A", "c:\\y");
    struct Case {
        int key;
        int sign;  // of CompareEntries(early, late, key)
    } cases[] = {{0, 1}, {1, -1}, {2, 1}, {3, -1}, {4, -1}, {5, 1}, {6, 1}, {7, -1}, {8, 0}, {-1, 0}};
    for (const Case& c : cases) {
        int r = CompareEntries(early, late, c.key);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.key;
    }
    EXPECT_STREQ(QuarantineStatusText(QS_UNKNOWN), "Unknown");
    EXPECT_STREQ(QuarantineStatusText(4), "Unknown");
    EXPECT_STREQ(QuarantineStatusText(QS_QUAR), "Quar");
}

}  // namespace
}  // namespace ub
