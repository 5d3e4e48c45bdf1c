// Seeds of the archive fuzz target: archives as the client writes them, the
// reader's other string forms, and damaged or hostile ones. A quarantine
// entry's time low bits choose the files the target puts where it points
// (1 original, 2 renamed copy, 4 quarantined copy, 8 renamed copy not
// deletable, 16 renamed copy locked).
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/quarantine/Archive.h"
#include "tools/make_seeds/Seeds.h"

namespace ub::seeds {
namespace {

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

struct Trusted {
    std::string name, path;
};
struct Quarantined {
    int32_t status;
    uint32_t timeLow;
    const char* backupName;
    const char* originalPath;
};

std::vector<uint8_t> Encode(const std::vector<Trusted>& trusted, const std::vector<Quarantined>& quarantined) {
    AuthenticList authentic;
    QuarantineList quarantine;
    for (const Trusted& t : trusted) {
        auto e = std::make_unique<AuthenticEntry>();
        e->time = FileTime{0x12345678, 0x01C5F8A2};
        e->name = t.name;
        e->path = t.path;
        authentic.push_back(std::move(e));
    }
    for (const Quarantined& q : quarantined) {
        auto e = std::make_unique<QuarantineEntry>();
        e->status = q.status;
        e->time = FileTime{q.timeLow, 0x01C5F8A2};
        e->backupName = q.backupName;
        e->originalPath = q.originalPath;
        quarantine.push_back(std::move(e));
    }
    return EncodeArchive(authentic, quarantine);
}

// One authentic record whose name is given in raw string bytes (prefix
// included), and no quarantine records.
std::vector<uint8_t> WithRawName(const std::vector<uint8_t>& rawName) {
    std::vector<uint8_t> out;
    Put32(&out, kArchiveVersion);
    Put32(&out, 1);
    for (int i = 0; i < 3; ++i) Put32(&out, 0);
    out.insert(out.end(), rawName.begin(), rawName.end());
    AppendArchiveString(&out, "C:\\Apps\\hook.dll");
    Put32(&out, 0);
    return out;
}

}  // namespace

bool WriteArchiveSeeds(const std::string& folder) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds;
    seeds.emplace_back("empty_lists", Encode({}, {}));
    seeds.emplace_back("example", Encode({}, {{QS_QUAR, 0x12345678, "a.dll.ubbak", "C:\\x\\a.dll"}}));
    seeds.emplace_back("every_status", Encode({{"hook.dll", "C:\\Apps\\hook.dll"}, {"reader.exe", "C:\\Apps\\reader.exe"}},
                                              {{QS_PENDING, 2, "a.dll.ubbak", "C:\\Apps\\a.dll"},
                                               {QS_PENDING, 3, "b.dll.ubbak2", "C:\\Apps\\b.dll"},
                                               {QS_PENDING, 10, "c.dll.ubbak", "C:\\Apps\\c.dll"},
                                               {QS_PENDING, 18, "d.dll.ubbak", "C:\\Apps\\d.dll"},
                                               {QS_PENDING, 0, "e.dll.ubbak", "C:\\Apps\\e.dll"},
                                               {QS_QUAR, 4, "f.dll.ubbak", "C:\\Apps\\f.dll"},
                                               {QS_QUAR, 0, "g.dll.ubbak9", "C:\\Apps\\g.dll"},
                                               {QS_CLEANED, 0, "h.dll.ubbak", "C:\\Apps\\h.dll"},
                                               {QS_RECOVERED, 1, "i.dll.ubbak", "C:\\Apps\\i.dll"},
                                               {QS_UNKNOWN, 0, "j.dll.ubbak", "C:\\Apps\\j.dll"},
                                               {-1, 0, "k.dll.ubbak", "C:\\Apps\\k.dll"}}));
    seeds.emplace_back("hostile_entries", Encode({}, {{QS_PENDING, 3, "..\\..\\Windows\\victim.dll", "C:\\Apps\\a.dll"},
                                                      {QS_PENDING, 3, "CON.ubbak", "C:\\Apps\\b.dll"},
                                                      {QS_PENDING, 3, "c.dll.ubbak", "\\\\server\\share\\c.dll"},
                                                      {QS_PENDING, 3, "d.dll.ubbak", "C:\\Apps\\..\\Windows\\d.dll"},
                                                      {QS_PENDING, 3, "e.dll.ubbak", "e.dll"},
                                                      {QS_QUAR, 4, "sub\\f.ubbak", "C:\\Apps\\f.dll"}}));
    seeds.emplace_back("long_strings",
                       Encode({{std::string(254, 'n'), std::string(255, 'p')}, {"", std::string(300, 'q')}}, {}));
    // The reader's forms the writer never makes: a wide string, a 32-bit
    // length for a short string.
    seeds.emplace_back("wide_name", WithRawName({0xFF, 0xFE, 0xFF, 0x03, 'h', 0, 0xE9, 0x00, 0x34, 0x12}));
    seeds.emplace_back("long_form_length", WithRawName({0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 'o', 'k'}));
    {
        std::vector<uint8_t> cut = Encode({}, {{QS_QUAR, 0, "a.dll.ubbak", "C:\\x\\a.dll"},
                                               {QS_PENDING, 2, "b.dll.ubbak", "C:\\x\\b.dll"}});
        cut.resize(cut.size() - 5);
        seeds.emplace_back("cut_in_a_record", cut);
    }
    {
        std::vector<uint8_t> wrong = Encode({}, {});
        wrong[0] = 2;
        seeds.emplace_back("other_version", wrong);
    }
    {
        std::vector<uint8_t> huge;
        Put32(&huge, kArchiveVersion);
        Put32(&huge, 0x7FFFFFFF);
        seeds.emplace_back("huge_count", huge);
        std::vector<uint8_t> negative;
        Put32(&negative, kArchiveVersion);
        Put32(&negative, 0xFFFFFFFF);
        Put32(&negative, 0);
        seeds.emplace_back("negative_count", negative);
    }
    for (const auto& [name, bytes] : seeds)
        if (!WriteSeed(folder + "/" + name + ".dat", bytes)) return false;
    return true;
}

}  // namespace ub::seeds
