#include "tests/support/PeBuilder.h"

#include <cstring>

namespace ub::test {
namespace {

constexpr uint32_t kNtOffset = 0x40;
constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSectionFileOffset = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kFileAlignment = 0x200;

uint32_t AlignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

}  // namespace

void PutU16(std::vector<uint8_t>& b, size_t o, uint16_t v) {
    if (b.size() < o + 2) b.resize(o + 2);
    b[o] = uint8_t(v);
    b[o + 1] = uint8_t(v >> 8);
}
void PutU32(std::vector<uint8_t>& b, size_t o, uint32_t v) {
    if (b.size() < o + 4) b.resize(o + 4);
    for (int i = 0; i < 4; ++i) b[o + i] = uint8_t(v >> (8 * i));
}
void PutU64(std::vector<uint8_t>& b, size_t o, uint64_t v) {
    PutU32(b, o, uint32_t(v));
    PutU32(b, o + 4, uint32_t(v >> 32));
}

// The import data, laid out from RVA kSectionRva; returns the section bytes.
std::vector<uint8_t> PeBuilder::ImportSection(PeLayout* layout) const {
    std::vector<uint8_t> s;
    const uint32_t entry = m_pe32Plus ? 8 : 4;
    const size_t n = m_imports.size();
    uint32_t cursor = uint32_t((n + 1) * 20);  // descriptors and the terminating one
    std::vector<uint32_t> lookup(n), dllName(n);
    std::vector<std::vector<uint32_t>> hint(n);
    for (size_t i = 0; i < n; ++i) {
        lookup[i] = cursor;
        cursor += uint32_t((m_imports[i].functions.size() + 1) * entry);
    }
    for (size_t i = 0; i < n; ++i) {
        dllName[i] = cursor;
        cursor += uint32_t(m_imports[i].dll.size() + 1);
        cursor = AlignUp(cursor, 2);
        for (const std::string& f : m_imports[i].functions) {
            if (!f.empty() && f[0] == '#') {
                hint[i].push_back(0);
                continue;
            }
            hint[i].push_back(cursor);
            cursor = AlignUp(cursor + 2 + uint32_t(f.size()) + 1, 2);
        }
    }
    s.assign(cursor, 0);
    for (size_t i = 0; i < n; ++i) {
        size_t d = i * 20;
        PutU32(s, d + 0, kSectionRva + lookup[i]);
        PutU32(s, d + 12, kSectionRva + dllName[i]);
        PutU32(s, d + 16, kSectionRva + lookup[i]);  // FirstThunk: same table, unbound
        std::memcpy(s.data() + dllName[i], m_imports[i].dll.c_str(), m_imports[i].dll.size() + 1);
        for (size_t j = 0; j < m_imports[i].functions.size(); ++j) {
            const std::string& f = m_imports[i].functions[j];
            size_t e = lookup[i] + j * entry;
            if (!f.empty() && f[0] == '#') {
                uint32_t ordinal = uint32_t(std::stoul(f.substr(1)));
                if (m_pe32Plus) PutU64(s, e, (uint64_t(1) << 63) | ordinal);
                else PutU32(s, e, 0x80000000u | ordinal);
                continue;
            }
            if (m_pe32Plus) PutU64(s, e, kSectionRva + hint[i][j]);
            else PutU32(s, e, kSectionRva + hint[i][j]);
            std::memcpy(s.data() + hint[i][j] + 2, f.c_str(), f.size() + 1);
        }
    }
    if (layout) {
        layout->importDir = m_noImports ? 0 : kSectionRva;
        for (size_t i = 0; i < n; ++i) {
            layout->descriptors.push_back(kSectionRva + uint32_t(i * 20));
            layout->dllNames.push_back(kSectionRva + dllName[i]);
            layout->lookupTables.push_back(kSectionRva + lookup[i]);
            std::vector<uint32_t> h;
            for (uint32_t r : hint[i]) h.push_back(r ? kSectionRva + r : 0);
            layout->hintNames.push_back(h);
        }
        layout->importEnd = kSectionRva + cursor;
    }
    return s;
}

std::vector<uint8_t> PeBuilder::Headers(uint32_t importRva, uint32_t sectionSize) const {
    std::vector<uint8_t> h(kSectionFileOffset, 0);
    PutU16(h, 0, 0x5A4D);
    PutU32(h, 0x3C, kNtOffset);
    const uint32_t nt = kNtOffset;
    PutU32(h, nt, 0x00004550);
    PutU16(h, nt + 4, m_pe32Plus ? 0x8664 : 0x014C);
    PutU16(h, nt + 6, 1);                           // NumberOfSections
    PutU16(h, nt + 20, m_pe32Plus ? 240 : 224);     // SizeOfOptionalHeader
    PutU16(h, nt + 22, m_pe32Plus ? 0x2022 : 0x2102);  // DLL
    const uint32_t opt = nt + 24;
    PutU16(h, opt, m_pe32Plus ? 0x20B : 0x10B);
    PutU32(h, opt + 32, kSectionAlignment);
    PutU32(h, opt + 36, kFileAlignment);
    PutU16(h, opt + 40, 5);                         // OS version 5.0
    PutU16(h, opt + 48, 5);                         // subsystem version
    PutU32(h, opt + 56, kSectionRva + AlignUp(sectionSize ? sectionSize : 1, kSectionAlignment));
    PutU32(h, opt + 60, kSectionFileOffset);        // SizeOfHeaders
    PutU16(h, opt + 68, 3);                         // console subsystem
    const uint32_t dirs = opt + (m_pe32Plus ? 112 : 96);
    PutU32(h, dirs - 4, 16);                        // NumberOfRvaAndSizes
    PutU32(h, dirs + 8, importRva);
    PutU32(h, dirs + 12, importRva ? uint32_t(m_imports.size() + 1) * 20 : 0);
    const uint32_t sec = opt + (m_pe32Plus ? 240 : 224);
    std::memcpy(h.data() + sec, ".idata", 6);
    PutU32(h, sec + 8, sectionSize);                // VirtualSize
    PutU32(h, sec + 12, kSectionRva);
    PutU32(h, sec + 16, AlignUp(sectionSize, kFileAlignment));
    PutU32(h, sec + 20, kSectionFileOffset);
    PutU32(h, sec + 36, 0xC0000040);                // initialised data, read/write
    return h;
}

std::vector<uint8_t> PeBuilder::BuildImage(PeLayout* layout) const {
    std::vector<uint8_t> section = ImportSection(layout);
    uint32_t importRva = m_noImports ? 0 : kSectionRva;
    std::vector<uint8_t> image = Headers(importRva, uint32_t(section.size()));
    uint32_t imageSize = kSectionRva + AlignUp(section.size() ? uint32_t(section.size()) : 1, kSectionAlignment);
    image.resize(imageSize, 0);
    std::memcpy(image.data() + kSectionRva, section.data(), section.size());
    if (layout) {
        layout->ntOffset = kNtOffset;
        layout->importDirField = kNtOffset + (m_pe32Plus ? 0x90 : 0x80);
    }
    return image;
}

std::vector<uint8_t> PeBuilder::BuildFile() const {
    std::vector<uint8_t> section = ImportSection(nullptr);
    uint32_t importRva = m_noImports ? 0 : kSectionRva;
    std::vector<uint8_t> file = Headers(importRva, uint32_t(section.size()));
    section.resize(AlignUp(uint32_t(section.size()), kFileAlignment), 0);
    file.insert(file.end(), section.begin(), section.end());
    return file;
}

}  // namespace ub::test
