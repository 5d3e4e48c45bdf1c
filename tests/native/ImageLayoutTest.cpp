#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "common/SharedFormat.h"
#include "service/ImportInspector.h"
#include "tests/support/PeBuilder.h"
#include "tools/ubscan/ImageLayout.h"

namespace ub {
namespace {

using test::PeBuilder;
using test::PeImport;
using test::PutU16;
using test::PutU32;

struct Bitness {
    bool pe32Plus;
    const char* name;
};
constexpr Bitness kBitnesses[] = {{false, "PE32"}, {true, "PE32+"}};

uint32_t U32(const std::vector<uint8_t>& b, size_t o) {
    return uint32_t(b[o]) | uint32_t(b[o + 1]) << 8 | uint32_t(b[o + 2]) << 16 | uint32_t(b[o + 3]) << 24;
}

// Offsets of the header fields the layout reads, taken from a built file.
struct FileFields {
    explicit FileFields(const std::vector<uint8_t>& file)
        : nt(U32(file, 0x3C)),
          sizeOfImage(nt + 24 + 56),
          sizeOfHeaders(nt + 24 + 60),
          section(nt + 24 + (uint32_t(file[nt + 20]) | uint32_t(file[nt + 21]) << 8)) {}
    uint32_t nt;
    uint32_t sizeOfImage;
    uint32_t sizeOfHeaders;
    uint32_t section;  // the one section header
    uint32_t NumberOfSections() const { return nt + 6; }
    uint32_t SizeOfOptionalHeader() const { return nt + 20; }
    uint32_t VirtualSize() const { return section + 8; }
    uint32_t VirtualAddress() const { return section + 12; }
    uint32_t SizeOfRawData() const { return section + 16; }
    uint32_t PointerToRawData() const { return section + 20; }
};

uint32_t Inspect(const std::vector<uint8_t>& image) { return InspectImage(image.data(), image.size(), 0); }

TEST(ImageLayout, FileLaidOutEqualsLoadedImage) {
    const std::vector<PeImport> importSets[] = {
        {},
        {{"kernel32.dll", {"ReadProcessMemory"}}, {"user32.dll", {"SetWindowsHookEx"}}},
        {{"ntdll.dll", {"NtClose", "#3"}},
         {"kernel32.dll", {"DebugActiveProcess", "WriteProcessMemory", "ReadProcessMemory"}},
         {"user32.dll", {"CallMsgFilter", "SetWindowsHookExA"}}},
    };
    for (const Bitness& b : kBitnesses) {
        for (size_t i = 0; i < std::size(importSets); ++i) {
            SCOPED_TRACE(std::string(b.name) + ": import set " + std::to_string(i));
            PeBuilder builder(b.pe32Plus);
            for (const PeImport& s : importSets[i]) builder.Import(s.dll, s.functions);
            test::PeLayout layout;
            const std::vector<uint8_t> loaded = builder.BuildImage(&layout);
            const std::vector<uint8_t> file = builder.BuildFile();
            ASSERT_NE(file.size(), loaded.size());

            bool laidOut = false;
            std::vector<uint8_t> image = LayOutImage(file, &laidOut);
            EXPECT_TRUE(laidOut);
            ASSERT_EQ(image.size(), loaded.size());
            EXPECT_TRUE(std::equal(image.begin() + 0x1000, image.begin() + layout.importEnd,
                                   loaded.begin() + 0x1000));
            EXPECT_EQ(image, loaded);
            EXPECT_EQ(Inspect(image), Inspect(loaded));
        }
    }
    // The import data of a file is found only once it is laid out.
    std::vector<uint8_t> file = PeBuilder().Import("kernel32.dll", {"ReadProcessMemory"}).BuildFile();
    EXPECT_EQ(Inspect(file), MF_BAD_IMAGE);
    EXPECT_EQ(Inspect(LayOutImage(file)), MF_READ_PROCESS_MEMORY);
}

using FileMutation = void (*)(std::vector<uint8_t>& file, const FileFields& f);

TEST(ImageLayout, FallsBackToTheRawBytes) {
    struct Case {
        const char* name;
        FileMutation mutate;
    } cases[] = {
        {"no MZ", [](std::vector<uint8_t>& file, const FileFields&) { file[0] = 'X'; }},
        {"shorter than the DOS header", [](std::vector<uint8_t>& file, const FileFields&) { file.resize(63); }},
        {"e_lfanew past the file",
         [](std::vector<uint8_t>& file, const FileFields&) { PutU32(file, 0x3C, uint32_t(file.size()) - 23); }},
        {"e_lfanew 0xFFFFFFFF",
         [](std::vector<uint8_t>& file, const FileFields&) { PutU32(file, 0x3C, 0xFFFFFFFF); }},
        {"no PE signature", [](std::vector<uint8_t>& file, const FileFields& f) { file[f.nt + 1] = 'X'; }},
        {"optional header cut", [](std::vector<uint8_t>& file, const FileFields& f) { file.resize(f.nt + 24 + 63); }},
        // Nothing else stands against a layout here.
        {"SizeOfImage 0",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.sizeOfImage, 0);
             PutU32(file, f.sizeOfHeaders, 0);
             PutU16(file, f.NumberOfSections(), 0);
         }},
        {"SizeOfImage just over 512 MiB",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.sizeOfImage, uint32_t(kMaxLayoutSize) + 1);
         }},
        {"SizeOfImage 0xFFFFFFFF",
         [](std::vector<uint8_t>& file, const FileFields& f) { PutU32(file, f.sizeOfImage, 0xFFFFFFFF); }},
        {"SizeOfHeaders above SizeOfImage",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.sizeOfHeaders, U32(file, f.sizeOfImage) + 1);
         }},
        {"section at SizeOfImage",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.VirtualAddress(), U32(file, f.sizeOfImage));
         }},
        {"section far beyond SizeOfImage",
         [](std::vector<uint8_t>& file, const FileFields& f) { PutU32(file, f.VirtualAddress(), 0xFFFFF000); }},
        {"section table cut by the end of the file",
         [](std::vector<uint8_t>& file, const FileFields& f) { file.resize(f.section + 39); }},
        {"65535 sections", [](std::vector<uint8_t>& file, const FileFields& f) { PutU16(file, f.NumberOfSections(), 0xFFFF); }},
        {"optional header size 0xFFFF",
         [](std::vector<uint8_t>& file, const FileFields& f) { PutU16(file, f.SizeOfOptionalHeader(), 0xFFFF); }},
    };
    for (const Bitness& b : kBitnesses) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            std::vector<uint8_t> file =
                PeBuilder(b.pe32Plus).Import("kernel32.dll", {"ReadProcessMemory"}).BuildFile();
            c.mutate(file, FileFields(file));
            bool laidOut = true;
            EXPECT_EQ(LayOutImage(file, &laidOut), file);
            EXPECT_FALSE(laidOut);
        }
    }
}

// Where a section's raw data lands: `count` bytes from file offset `from` at
// RVA `to`; the rest of the image after the headers stays zero. The file
// bytes past the end are never read (checked by the sanitizer build).
TEST(ImageLayout, SectionDataClippedToFileAndImage) {
    struct Placement {
        uint32_t to;
        uint32_t from;
        uint32_t count;
    };
    struct Case {
        const char* name;
        FileMutation mutate;
        Placement (*expected)(const std::vector<uint8_t>& file);
    } cases[] = {
        {"untouched", [](std::vector<uint8_t>&, const FileFields&) {},
         [](const std::vector<uint8_t>& file) {
             return Placement{0x1000, 0x200, U32(file, FileFields(file).VirtualSize())};
         }},
        {"raw data runs past the end of the file",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.PointerToRawData(), uint32_t(file.size()) - 16);
         },
         [](const std::vector<uint8_t>& file) { return Placement{0x1000, uint32_t(file.size()) - 16, 16}; }},
        {"raw data at the end of the file",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.PointerToRawData(), uint32_t(file.size()));
         },
         [](const std::vector<uint8_t>&) { return Placement{0x1000, 0, 0}; }},
        {"raw data far beyond the file",
         [](std::vector<uint8_t>& file, const FileFields& f) { PutU32(file, f.PointerToRawData(), 0xFFFFFE00); },
         [](const std::vector<uint8_t>&) { return Placement{0x1000, 0, 0}; }},
        {"huge raw size, no virtual size",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.SizeOfRawData(), 0xFFFFFFFF);
             PutU32(file, f.VirtualSize(), 0);
         },
         [](const std::vector<uint8_t>& file) { return Placement{0x1000, 0x200, uint32_t(file.size()) - 0x200}; }},
        {"file ends inside the raw data",
         [](std::vector<uint8_t>& file, const FileFields&) { file.resize(0x200 + 40); },
         [](const std::vector<uint8_t>&) { return Placement{0x1000, 0x200, 40}; }},
        {"section in the last 16 bytes of the image",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.VirtualAddress(), U32(file, f.sizeOfImage) - 16);
         },
         [](const std::vector<uint8_t>& file) {
             return Placement{U32(file, FileFields(file).sizeOfImage) - 16, 0x200, 16};
         }},
        // SizeOfHeaders fits, the section table does not: headers are cut
        // at SizeOfImage and the section overlays their end.
        {"image smaller than its section table",
         [](std::vector<uint8_t>& file, const FileFields& f) {
             PutU32(file, f.sizeOfImage, f.section + 16);
             PutU32(file, f.sizeOfHeaders, 0x100);
             PutU32(file, f.VirtualAddress(), 0x100);
         },
         [](const std::vector<uint8_t>& file) {
             return Placement{0x100, 0x200, U32(file, FileFields(file).sizeOfImage) - 0x100};
         }},
        {"headers only, no sections",
         [](std::vector<uint8_t>& file, const FileFields& f) { PutU16(file, f.NumberOfSections(), 0); },
         [](const std::vector<uint8_t>&) { return Placement{0x1000, 0, 0}; }},
    };
    for (const Bitness& b : kBitnesses) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            std::vector<uint8_t> file = PeBuilder(b.pe32Plus)
                                            .Import("kernel32.dll", {"ReadProcessMemory"})
                                            .Import("user32.dll", {"CallMsgFilter"})
                                            .BuildFile();
            c.mutate(file, FileFields(file));
            file.shrink_to_fit();
            const Placement p = c.expected(file);
            const uint32_t sizeOfImage = U32(file, FileFields(file).sizeOfImage);

            std::vector<uint8_t> expected(sizeOfImage, 0);
            std::copy(file.begin(), file.begin() + std::min<uint32_t>(0x200, sizeOfImage), expected.begin());
            std::copy(file.begin() + p.from, file.begin() + p.from + p.count, expected.begin() + p.to);

            bool laidOut = false;
            std::vector<uint8_t> image = LayOutImage(file, &laidOut);
            EXPECT_TRUE(laidOut);
            EXPECT_EQ(image, expected);
        }
    }
}

TEST(ImageLayout, FileSmallerThanItsHeaders) {
    for (const Bitness& b : kBitnesses) {
        SCOPED_TRACE(b.name);
        std::vector<uint8_t> file = PeBuilder(b.pe32Plus).Import("kernel32.dll", {"ReadProcessMemory"}).BuildFile();
        const FileFields f(file);
        file.resize(f.section + 40);  // ends with the section table, before SizeOfHeaders
        file.shrink_to_fit();
        bool laidOut = false;
        std::vector<uint8_t> image = LayOutImage(file, &laidOut);
        EXPECT_TRUE(laidOut);
        std::vector<uint8_t> expected(U32(file, f.sizeOfImage), 0);
        std::copy(file.begin(), file.end(), expected.begin());
        EXPECT_EQ(image, expected);
    }
}

// Every length of a file: a layout when the headers allow one, never a read
// outside the file, and no flag the whole file lacks.
TEST(ImageLayout, TruncationSweep) {
    for (const Bitness& b : kBitnesses) {
        SCOPED_TRACE(b.name);
        const std::vector<uint8_t> whole = PeBuilder(b.pe32Plus)
                                               .Import("kernel32.dll", {"ReadProcessMemory", "WriteProcessMemory"})
                                               .Import("user32.dll", {"SetWindowsHookEx"})
                                               .BuildFile();
        const uint32_t full = Inspect(LayOutImage(whole));
        ASSERT_EQ(full, MF_READ_PROCESS_MEMORY | MF_WRITE_PROCESS_MEMORY | MF_SET_WINDOWS_HOOK_EX);
        const FileFields f(whole);
        const uint32_t sizeOfImage = U32(whole, f.sizeOfImage);
        for (size_t length = 0; length <= whole.size(); ++length) {
            std::vector<uint8_t> file(whole.begin(), whole.begin() + length);
            bool laidOut = false;
            std::vector<uint8_t> image = LayOutImage(file, &laidOut);
            ASSERT_EQ(laidOut, length >= f.section + 40) << "length " << length;
            ASSERT_EQ(image.size(), laidOut ? sizeOfImage : length) << "length " << length;
            uint32_t r = Inspect(image);
            ASSERT_EQ(r & ~(full | MF_BAD_IMAGE), 0u) << "length " << length << " result " << std::hex << r;
            if (length == whole.size()) {
                EXPECT_EQ(r, full);
            }
        }
    }
}

}  // namespace
}  // namespace ub
