// Builds small PE32 and PE32+ images with chosen import tables, for tests,
// fuzz seeds and benchmarks. Layout: headers at 0 (e_lfanew 0x40), one
// section ".idata" at RVA 0x1000 (file offset 0x200) holding the import
// descriptors, the lookup tables, the DLL names and the hint/name entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ub::test {

struct PeImport {
    std::string dll;
    // Function names; an entry "#N" is an import by ordinal N.
    std::vector<std::string> functions;
};

// Where the builder put things, as RVAs (equal to offsets in the image).
struct PeLayout {
    uint32_t ntOffset = 0;
    uint32_t importDirField = 0;  // offset of the import directory RVA field
    uint32_t importDir = 0;       // RVA of the first descriptor
    std::vector<uint32_t> descriptors;
    std::vector<uint32_t> dllNames;
    std::vector<uint32_t> lookupTables;
    std::vector<std::vector<uint32_t>> hintNames;  // per descriptor, per function (0 for ordinals)
    uint32_t importEnd = 0;  // first RVA after the import data
};

class PeBuilder {
public:
    explicit PeBuilder(bool pe32Plus = false) : m_pe32Plus(pe32Plus) {}

    PeBuilder& Import(const std::string& dll, const std::vector<std::string>& functions) {
        m_imports.push_back({dll, functions});
        return *this;
    }
    // No import directory at all (RVA 0).
    PeBuilder& NoImportDirectory() {
        m_noImports = true;
        return *this;
    }

    // The image as the loader lays it out (RVA == offset).
    std::vector<uint8_t> BuildImage(PeLayout* layout = nullptr) const;
    // The same as a file on disk (section raw data at file offset 0x200).
    std::vector<uint8_t> BuildFile() const;

private:
    std::vector<uint8_t> Headers(uint32_t importRva, uint32_t sectionSize) const;
    std::vector<uint8_t> ImportSection(PeLayout* layout) const;

    bool m_pe32Plus;
    bool m_noImports = false;
    std::vector<PeImport> m_imports;
};

void PutU16(std::vector<uint8_t>& b, size_t offset, uint16_t v);
void PutU32(std::vector<uint8_t>& b, size_t offset, uint32_t v);
void PutU64(std::vector<uint8_t>& b, size_t offset, uint64_t v);

}  // namespace ub::test
