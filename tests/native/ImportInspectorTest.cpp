#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/SharedFormat.h"
#include "service/ImportInspector.h"
#include "tests/support/PeBuilder.h"

namespace ub {
namespace {

using test::PeBuilder;
using test::PeImport;
using test::PeLayout;
using test::PutU16;
using test::PutU32;
using test::PutU64;

struct Bitness {
    bool pe32Plus;
    const char* name;
};
constexpr Bitness kBitnesses[] = {{false, "PE32"}, {true, "PE32+"}};

constexpr uint32_t kAllFive = MF_READ_PROCESS_MEMORY | MF_WRITE_PROCESS_MEMORY |
                              MF_DEBUG_ACTIVE_PROCESS | MF_SET_WINDOWS_HOOK_EX | MF_CALL_MSG_FILTER;

// Inspects an exact-size heap copy of the first `length` bytes, so that the
// sanitizer build catches even a one-byte read past the end.
uint32_t InspectPrefix(const std::vector<uint8_t>& image, size_t length, uint32_t partialMark = 0) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[length]);
    if (length) std::memcpy(copy.get(), image.data(), length);
    return InspectImage(copy.get(), length, partialMark);
}
uint32_t Inspect(const std::vector<uint8_t>& image, uint32_t partialMark = 0) {
    return InspectPrefix(image, image.size(), partialMark);
}

std::vector<uint8_t> Build(bool pe32Plus, const std::vector<PeImport>& imports,
                           PeLayout* layout = nullptr) {
    PeBuilder builder(pe32Plus);
    for (const PeImport& i : imports) builder.Import(i.dll, i.functions);
    return builder.BuildImage(layout);
}

TEST(ImportInspector, FlagsFromImportTables) {
    struct Case {
        const char* name;
        std::vector<PeImport> imports;
        uint32_t expected;
    } cases[] = {
        {"import directory with no descriptor", {}, 0},
        {"ReadProcessMemory", {{"kernel32.dll", {"ReadProcessMemory"}}}, MF_READ_PROCESS_MEMORY},
        {"WriteProcessMemory", {{"kernel32.dll", {"WriteProcessMemory"}}}, MF_WRITE_PROCESS_MEMORY},
        {"DebugActiveProcess", {{"kernel32.dll", {"DebugActiveProcess"}}}, MF_DEBUG_ACTIVE_PROCESS},
        {"SetWindowsHookEx", {{"user32.dll", {"SetWindowsHookEx"}}}, MF_SET_WINDOWS_HOOK_EX},
        {"CallMsgFilter", {{"user32.dll", {"CallMsgFilter"}}}, MF_CALL_MSG_FILTER},
        {"all five",
         {{"kernel32.dll", {"DebugActiveProcess", "WriteProcessMemory", "ReadProcessMemory"}},
          {"user32.dll", {"CallMsgFilter", "SetWindowsHookEx"}}},
         kAllFive},
        {"ReadProcessMemory and SetWindowsHookEx",
         {{"kernel32.dll", {"ReadProcessMemory"}}, {"user32.dll", {"SetWindowsHookEx"}}},
         0x400800},
        {"found among other imports",
         {{"ntdll.dll", {"NtClose", "#3"}},
          {"kernel32.dll", {"GetTickCount", "#7", "", "ReadProcessMemory", "Sleep"}},
          {"gdi32.dll", {"SetWindowsHookEx"}},
          {"user32.dll", {"MessageBoxA", "#1", "SetWindowsHookEx"}}},
         0x400800},
        {"ordinals never match",
         {{"kernel32.dll", {"#0", "#1", "#2048", "#65535"}}, {"user32.dll", {"#4096"}}},
         0},
        {"A and W endings do not match",
         {{"user32.dll",
           {"SetWindowsHookExA", "SetWindowsHookExW", "CallMsgFilterA", "CallMsgFilterW"}}},
         0},
        {"prefixes do not match",
         {{"kernel32.dll", {"ReadProcessMemor", "WriteProcess", "D"}},
          {"user32.dll", {"SetWindowsHook", "CallMsgFilte"}}},
         0},
        {"exact names next to suffixed ones",
         {{"user32.dll",
           {"SetWindowsHookExA", "SetWindowsHookEx", "CallMsgFilterW", "CallMsgFilter"}}},
         MF_SET_WINDOWS_HOOK_EX | MF_CALL_MSG_FILTER},
        {"small first letter never matches",
         {{"kernel32.dll", {"readProcessMemory", "writeProcessMemory", "debugActiveProcess"}},
          {"user32.dll", {"setWindowsHookEx", "callMsgFilter"}}},
         0},
        {"capital first letter, rest in any case",
         {{"kernel32.dll", {"READPROCESSMEMORY", "WrItEpRoCeSsMeMoRy", "Debugactiveprocess"}},
          {"user32.dll", {"SETWINDOWSHOOKEX", "CALLMSGFILTER"}}},
         kAllFive},
        {"DLL names in any case",
         {{"KERNEL32.DLL", {"ReadProcessMemory"}}, {"User32.Dll", {"CallMsgFilter"}}},
         MF_READ_PROCESS_MEMORY | MF_CALL_MSG_FILTER},
        // Folding by setting bit 5 would turn 0x13 0x12 0x0E into "32.".
        {"only letters fold",
         {{"KERNEL\x13\x12\x0E" "DLL", {"ReadProcessMemory"}}, {"user\x13\x12\x0E" "dll", {"CallMsgFilter"}}},
         0},
        {"DLL name compared in full",
         {{"kernel32", {"ReadProcessMemory"}},
          {"kernel32.dll.mui", {"WriteProcessMemory"}},
          {"xuser32.dll", {"SetWindowsHookEx"}},
          {"user32.dl", {"CallMsgFilter"}}},
         0},
        {"functions under the other DLL",
         {{"user32.dll", {"ReadProcessMemory", "WriteProcessMemory", "DebugActiveProcess"}},
          {"kernel32.dll", {"SetWindowsHookEx", "CallMsgFilter"}}},
         0},
        {"second kernel32 descriptor is not searched",
         {{"kernel32.dll", {"ReadProcessMemory"}},
          {"user32.dll", {"CallMsgFilter"}},
          {"KERNEL32.dll", {"WriteProcessMemory", "DebugActiveProcess"}}},
         MF_READ_PROCESS_MEMORY | MF_CALL_MSG_FILTER},
        {"second user32 descriptor is not searched",
         {{"user32.dll", {"MessageBoxA"}}, {"user32.dll", {"SetWindowsHookEx", "CallMsgFilter"}}},
         0},
    };
    for (const Bitness& b : kBitnesses) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            std::vector<uint8_t> image = Build(b.pe32Plus, c.imports);
            EXPECT_EQ(Inspect(image), c.expected);
            EXPECT_EQ(Inspect(image, MF_PARTIAL_IMAGE), c.expected | MF_PARTIAL_IMAGE);
        }
    }
}

TEST(ImportInspector, NoImportDirectoryIgnoresImportData) {
    for (const Bitness& b : kBitnesses) {
        SCOPED_TRACE(b.name);
        // The import data is present, but the directory RVA is 0.
        std::vector<uint8_t> image = PeBuilder(b.pe32Plus)
                                         .Import("kernel32.dll", {"ReadProcessMemory"})
                                         .Import("user32.dll", {"SetWindowsHookEx"})
                                         .NoImportDirectory()
                                         .BuildImage();
        EXPECT_EQ(Inspect(image), 0u);
        EXPECT_EQ(Inspect(image, MF_PARTIAL_IMAGE), MF_PARTIAL_IMAGE);
    }
}

// Headers: "MZ" in a 64-byte DOS header, "PE\0\0" at e_lfanew followed by 248
// bytes of NT headers (264 when the optional header magic says PE32+). A bad
// header drops the partial mark.
TEST(ImportInspector, HeaderBounds) {
    constexpr size_t kWhole = SIZE_MAX;
    struct Case {
        const char* name;
        size_t length;
        uint32_t pe32;
        uint32_t pe32Plus;
    } cases[] = {
        {"whole image", kWhole, 0, 0},
        {"empty copy", 0, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"DOS header cut", 63, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"NT headers end at the 248th byte", 0x40 + 248, 0, MF_BAD_IMAGE},
        {"NT headers one byte short of 248", 0x40 + 247, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"NT headers one byte short of 264", 0x40 + 263, 0, MF_BAD_IMAGE},
        {"NT headers end at the 264th byte", 0x40 + 264, 0, 0},
    };
    for (const Bitness& b : kBitnesses) {
        std::vector<uint8_t> image = PeBuilder(b.pe32Plus).NoImportDirectory().BuildImage();
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            size_t length = c.length == kWhole ? image.size() : c.length;
            uint32_t expected = b.pe32Plus ? c.pe32Plus : c.pe32;
            EXPECT_EQ(InspectPrefix(image, length), expected);
            EXPECT_EQ(InspectPrefix(image, length, MF_PARTIAL_IMAGE),
                      expected == MF_BAD_IMAGE ? MF_BAD_IMAGE : expected | MF_PARTIAL_IMAGE);
        }
    }
    EXPECT_EQ(InspectImage(nullptr, 0, MF_PARTIAL_IMAGE), MF_BAD_IMAGE);
}

// Places `text` (with its NUL when `nul`) so that it ends at the last byte of
// the image; returns its offset less `extra` (2 for the hint before a name).
uint32_t PlaceAtEnd(std::vector<uint8_t>& image, const char* text, size_t extra, bool nul) {
    size_t length = std::strlen(text) + (nul ? 1 : 0);
    size_t at = image.size() - length;
    std::memcpy(image.data() + at, text, length);
    return uint32_t(at - extra);
}

// An image importing ReadProcessMemory from kernel32.dll (0x800 as built),
// for a case to change. Each case gives the result for PE32 and for PE32+,
// kNotApplicable where it does not apply.
struct Mutated {
    std::vector<uint8_t>& image;
    const PeLayout& layout;
    bool pe32Plus;

    uint32_t Size() const { return uint32_t(image.size()); }
    uint32_t EntrySize() const { return pe32Plus ? 8 : 4; }
    uint64_t OrdinalBit() const { return pe32Plus ? uint64_t(1) << 63 : uint64_t(1) << 31; }
    uint32_t Descriptor() const { return layout.descriptors[0]; }
    uint32_t Table() const { return layout.lookupTables[0]; }
    uint32_t HintName() const { return layout.hintNames[0][0]; }
    void Entry(size_t at, uint64_t value) {
        if (pe32Plus) PutU64(image, at, value);
        else PutU32(image, at, uint32_t(value));
    }
};
using Mutation = void (*)(Mutated&);

constexpr uint32_t kNotApplicable = 0xFFFFFFFF;
struct MutationCase {
    const char* name;
    Mutation mutate;
    uint32_t pe32;
    uint32_t pe32Plus;
};

void RunMutations(const MutationCase* cases, size_t count) {
    for (const Bitness& b : kBitnesses) {
        for (size_t i = 0; i < count; ++i) {
            const MutationCase& c = cases[i];
            uint32_t expected = b.pe32Plus ? c.pe32Plus : c.pe32;
            if (expected == kNotApplicable) continue;
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            PeLayout layout;
            std::vector<uint8_t> image = Build(b.pe32Plus, {{"kernel32.dll", {"ReadProcessMemory"}}}, &layout);
            Mutated m{image, layout, b.pe32Plus};
            c.mutate(m);
            EXPECT_EQ(Inspect(image), expected);
        }
    }
}

TEST(ImportInspector, BadHeaders) {
    const MutationCase cases[] = {
        {"untouched", [](Mutated&) {}, MF_READ_PROCESS_MEMORY, MF_READ_PROCESS_MEMORY},
        {"no MZ", [](Mutated& m) { m.image[0] = 'X'; }, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"ZM", [](Mutated& m) { PutU16(m.image, 0, 0x4D5A); }, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"e_lfanew 0", [](Mutated& m) { PutU32(m.image, 0x3C, 0); }, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"e_lfanew at the end", [](Mutated& m) { PutU32(m.image, 0x3C, m.Size()); }, MF_BAD_IMAGE,
         MF_BAD_IMAGE},
        {"e_lfanew 0xFFFFFFFF", [](Mutated& m) { PutU32(m.image, 0x3C, 0xFFFFFFFF); }, MF_BAD_IMAGE,
         MF_BAD_IMAGE},
        {"e_lfanew leaves 247 bytes",
         [](Mutated& m) {
             std::memcpy(m.image.data() + m.Size() - 247, "PE\0\0", 4);
             PutU32(m.image, 0x3C, m.Size() - 247);
         },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        // 248 bytes of zeros after the signature: PE32 without imports.
        {"e_lfanew leaves exactly 248 bytes",
         [](Mutated& m) {
             std::memcpy(m.image.data() + m.Size() - 248, "PE\0\0", 4);
             PutU32(m.image, 0x3C, m.Size() - 248);
         },
         0, 0},
        {"signature PE\\0\\1", [](Mutated& m) { m.image[0x43] = 1; }, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"signature NE", [](Mutated& m) { m.image[0x40] = 'N'; }, MF_BAD_IMAGE, MF_BAD_IMAGE},
        // The magic alone decides where the import directory field is: the
        // other format's field at that place is 0 in these images.
        {"magic of the other format",
         [](Mutated& m) { PutU16(m.image, 0x40 + 0x18, m.pe32Plus ? 0x10B : 0x20B); }, 0, 0},
    };
    RunMutations(cases, std::size(cases));
}

TEST(ImportInspector, DescriptorBounds) {
    const MutationCase cases[] = {
        {"directory RVA at the end", [](Mutated& m) { PutU32(m.image, m.layout.importDirField, m.Size()); },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"directory RVA 0xFFFFFFFF",
         [](Mutated& m) { PutU32(m.image, m.layout.importDirField, 0xFFFFFFFF); }, MF_BAD_IMAGE,
         MF_BAD_IMAGE},
        {"Name field cut by the end",
         [](Mutated& m) { PutU32(m.image, m.layout.importDirField, m.Size() - 15); }, MF_BAD_IMAGE,
         MF_BAD_IMAGE},
        {"Name field 0 in the last 4 bytes ends the walk",
         [](Mutated& m) { PutU32(m.image, m.layout.importDirField, m.Size() - 16); }, 0, 0},
        {"last descriptor without terminator: kernel32 found, user32 search runs off",
         [](Mutated& m) {
             std::memcpy(m.image.data() + m.Size() - 20, m.image.data() + m.Descriptor(), 20);
             PutU32(m.image, m.layout.importDirField, m.Size() - 20);
         },
         MF_READ_PROCESS_MEMORY | MF_BAD_IMAGE, MF_READ_PROCESS_MEMORY | MF_BAD_IMAGE},
        {"DLL name RVA at the end", [](Mutated& m) { PutU32(m.image, m.Descriptor() + 12, m.Size()); },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"DLL name RVA 0xFFFFFFFF",
         [](Mutated& m) { PutU32(m.image, m.Descriptor() + 12, 0xFFFFFFFF); }, MF_BAD_IMAGE,
         MF_BAD_IMAGE},
        {"DLL name with fewer than 4 bytes in the image",
         [](Mutated& m) { PutU32(m.image, m.Descriptor() + 12, PlaceAtEnd(m.image, "ab", 0, true)); },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"DLL name of exactly 4 bytes at the end",
         [](Mutated& m) { PutU32(m.image, m.Descriptor() + 12, PlaceAtEnd(m.image, "abc", 0, true)); },
         0, 0},
        {"kernel32.dll ending at the last byte",
         [](Mutated& m) {
             PutU32(m.image, m.Descriptor() + 12, PlaceAtEnd(m.image, "kernel32.dll", 0, true));
         },
         MF_READ_PROCESS_MEMORY, MF_READ_PROCESS_MEMORY},
        {"kernel32.dll without NUL at the end",
         [](Mutated& m) {
             PutU32(m.image, m.Descriptor() + 12, PlaceAtEnd(m.image, "kernel32.dll", 0, false));
         },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
    };
    RunMutations(cases, std::size(cases));
}

TEST(ImportInspector, LookupTableBounds) {
    const MutationCase cases[] = {
        // The walk starts at the image's first bytes: "MZ" as an entry is a
        // hint/name RVA far beyond this small image.
        {"OriginalFirstThunk 0", [](Mutated& m) { PutU32(m.image, m.Descriptor(), 0); }, MF_BAD_IMAGE,
         MF_BAD_IMAGE},
        {"OriginalFirstThunk at the end", [](Mutated& m) { PutU32(m.image, m.Descriptor(), m.Size()); },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"OriginalFirstThunk 2 bytes before the end",
         [](Mutated& m) { PutU32(m.image, m.Descriptor(), m.Size() - 2); }, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"OriginalFirstThunk 0xFFFFFFFF",
         [](Mutated& m) { PutU32(m.image, m.Descriptor(), 0xFFFFFFFF); }, MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"terminating entry in the last 4 bytes",
         [](Mutated& m) { PutU32(m.image, m.Descriptor(), m.Size() - 4); }, 0, MF_BAD_IMAGE},
        {"table with terminator ending at the last byte",
         [](Mutated& m) {
             uint32_t at = m.Size() - 2 * m.EntrySize();
             m.Entry(at, m.HintName());
             PutU32(m.image, m.Descriptor(), at);
         },
         MF_READ_PROCESS_MEMORY, MF_READ_PROCESS_MEMORY},
        // ReadProcessMemory is found before the end; the other kernel32
        // lookups walk on past it.
        {"match in the last entry, no terminator",
         [](Mutated& m) {
             uint32_t at = m.Size() - m.EntrySize();
             m.Entry(at, m.HintName());
             PutU32(m.image, m.Descriptor(), at);
         },
         MF_READ_PROCESS_MEMORY | MF_BAD_IMAGE, MF_READ_PROCESS_MEMORY | MF_BAD_IMAGE},
        {"table runs off the end before its 0 entry",
         [](Mutated& m) {
             uint32_t at = m.Size() - m.EntrySize();
             m.Entry(at, m.OrdinalBit() | 5);
             PutU32(m.image, m.Descriptor(), at);
         },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"FirstThunk is not used", [](Mutated& m) { PutU32(m.image, m.Descriptor() + 16, 0xFFFFFFF0); },
         MF_READ_PROCESS_MEMORY, MF_READ_PROCESS_MEMORY},
    };
    RunMutations(cases, std::size(cases));
}

TEST(ImportInspector, LookupEntries) {
    const MutationCase cases[] = {
        {"ordinal flag on the entry naming ReadProcessMemory",
         [](Mutated& m) { m.Entry(m.Table(), m.OrdinalBit() | m.HintName()); }, 0, 0},
        {"PE32: 0xFFFFFFFE is an ordinal", [](Mutated& m) { m.Entry(m.Table(), 0xFFFFFFFE); }, 0,
         kNotApplicable},
        {"PE32+: bit 31 is no ordinal flag",
         [](Mutated& m) { m.Entry(m.Table(), 0x80000000u | m.HintName()); }, kNotApplicable,
         MF_BAD_IMAGE},
        {"PE32+: bit 32 set", [](Mutated& m) { m.Entry(m.Table(), (uint64_t(1) << 32) | m.HintName()); },
         kNotApplicable, MF_BAD_IMAGE},
        {"PE32+: bits 32-62 set",
         [](Mutated& m) { m.Entry(m.Table(), 0x7FFFFFFF00000000ull | m.HintName()); }, kNotApplicable,
         MF_BAD_IMAGE},
        {"PE32+: largest non-ordinal entry",
         [](Mutated& m) { m.Entry(m.Table(), 0x7FFFFFFFFFFFFFFFull); }, kNotApplicable, MF_BAD_IMAGE},
        {"largest non-ordinal 32-bit entry", [](Mutated& m) { m.Entry(m.Table(), 0x7FFFFFFF); },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"entry pointing at the end", [](Mutated& m) { m.Entry(m.Table(), m.Size()); }, MF_BAD_IMAGE,
         MF_BAD_IMAGE},
        {"name's first byte just past the end", [](Mutated& m) { m.Entry(m.Table(), m.Size() - 2); },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"empty name in the last byte is skipped",
         [](Mutated& m) { m.Entry(m.Table(), m.Size() - 3); }, 0, 0},
        {"name without NUL at the end",
         [](Mutated& m) { m.Entry(m.Table(), PlaceAtEnd(m.image, "ReadProcessMemory", 2, false)); },
         MF_BAD_IMAGE, MF_BAD_IMAGE},
        {"name with NUL ending at the last byte",
         [](Mutated& m) { m.Entry(m.Table(), PlaceAtEnd(m.image, "ReadProcessMemory", 2, true)); },
         MF_READ_PROCESS_MEMORY, MF_READ_PROCESS_MEMORY},
    };
    RunMutations(cases, std::size(cases));
}

// The image cut at points inside the import data: every structure that a
// lookup needs and does not find in full makes the image bad.
TEST(ImportInspector, ImportDataCutByTheEnd) {
    struct Case {
        const char* name;
        uint32_t (*at)(const PeLayout&);
        uint32_t offset;
        uint32_t expected;
    } cases[] = {
        {"descriptor Name field, first byte", [](const PeLayout& l) { return l.descriptors[0]; }, 12,
         MF_BAD_IMAGE},
        {"descriptor Name field, last byte", [](const PeLayout& l) { return l.descriptors[0]; }, 15,
         MF_BAD_IMAGE},
        {"lookup table (the DLL name after it is lost too)",
         [](const PeLayout& l) { return l.lookupTables[0]; }, 2, MF_BAD_IMAGE},
        {"DLL name, first byte", [](const PeLayout& l) { return l.dllNames[0]; }, 0, MF_BAD_IMAGE},
        {"DLL name, 3 bytes", [](const PeLayout& l) { return l.dllNames[0]; }, 3, MF_BAD_IMAGE},
        {"DLL name, 4 bytes", [](const PeLayout& l) { return l.dllNames[0]; }, 4, MF_BAD_IMAGE},
        {"DLL name without its NUL", [](const PeLayout& l) { return l.dllNames[0]; }, 12, MF_BAD_IMAGE},
        {"DLL name in full, hint/name missing", [](const PeLayout& l) { return l.dllNames[0]; }, 13,
         MF_BAD_IMAGE},
        {"hint", [](const PeLayout& l) { return l.hintNames[0][0]; }, 1, MF_BAD_IMAGE},
        {"function name, first byte", [](const PeLayout& l) { return l.hintNames[0][0]; }, 2,
         MF_BAD_IMAGE},
        {"function name, part", [](const PeLayout& l) { return l.hintNames[0][0]; }, 9, MF_BAD_IMAGE},
        {"function name without its NUL", [](const PeLayout& l) { return l.hintNames[0][0]; }, 2 + 17,
         MF_BAD_IMAGE},
        {"function name in full", [](const PeLayout& l) { return l.hintNames[0][0]; }, 2 + 18,
         MF_READ_PROCESS_MEMORY},
    };
    for (const Bitness& b : kBitnesses) {
        PeLayout layout;
        std::vector<uint8_t> image = Build(b.pe32Plus, {{"kernel32.dll", {"ReadProcessMemory"}}}, &layout);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            size_t length = c.at(layout) + c.offset;
            ASSERT_LE(length, image.size());
            EXPECT_EQ(InspectPrefix(image, length), c.expected);
            EXPECT_EQ(InspectPrefix(image, length, MF_PARTIAL_IMAGE), c.expected | MF_PARTIAL_IMAGE);
        }
    }
}

// Every length of an image with all five imports among others: nothing is
// read outside the copy (checked by the sanitizer build), no flag appears
// that the whole image lacks, and a cut that hides a finding marks the image
// bad. Findings made before the lookup that ran off the end remain.
TEST(ImportInspector, TruncationSweep) {
    for (const Bitness& b : kBitnesses) {
        SCOPED_TRACE(b.name);
        PeLayout layout;
        std::vector<uint8_t> image =
            Build(b.pe32Plus,
                  {{"ntdll.dll", {"NtClose", "#3"}},
                   {"kernel32.dll",
                    {"GetTickCount", "ReadProcessMemory", "#12", "WriteProcessMemory", "DebugActiveProcess"}},
                   {"user32.dll", {"MessageBoxW", "SetWindowsHookEx", "CallMsgFilter"}}},
                  &layout);
        const uint32_t full = Inspect(image);
        ASSERT_EQ(full, kAllFive);
        const size_t headersEnd = layout.ntOffset + (b.pe32Plus ? 264 : 248);
        for (size_t length = 0; length <= image.size(); ++length) {
            uint32_t r = InspectPrefix(image, length);
            if (length < headersEnd) {
                ASSERT_EQ(r, MF_BAD_IMAGE) << "length " << length;
            } else if (length >= layout.importEnd) {
                ASSERT_EQ(r, full) << "length " << length;
            } else {
                ASSERT_TRUE(r & MF_BAD_IMAGE) << "length " << length << " result " << std::hex << r;
                ASSERT_EQ(r & ~(full | MF_BAD_IMAGE), 0u) << "length " << length << " result " << std::hex << r;
            }
        }
    }
}

TEST(ImportInspector, FindImportDescriptorHandsOutTheFirstMatch) {
    constexpr uint32_t kFlag = 0x5A5A0001;
    constexpr uint32_t kUntouched = 0xDEADBEEF;
    for (const Bitness& b : kBitnesses) {
        PeLayout layout;
        std::vector<uint8_t> image = Build(b.pe32Plus,
                                           {{"ntdll.dll", {"NtClose"}},
                                            {"kernel32.dll", {"Sleep"}},
                                            {"USER32.DLL", {"MessageBoxA"}},
                                            {"Kernel32.dll", {"ReadProcessMemory"}},
                                            {"gdi{32.dll", {"TextOutW"}}},
                                           &layout);
        std::vector<uint8_t> noDirectory =
            PeBuilder(b.pe32Plus).Import("kernel32.dll", {"Sleep"}).NoImportDirectory().BuildImage();
        std::vector<uint8_t> noMz = image;
        noMz[0] = 'X';
        std::vector<uint8_t> cutName(image.begin(), image.begin() + layout.dllNames[1] + 4);
        struct Case {
            const char* name;
            const std::vector<uint8_t>& image;
            const char* dll;
            uint32_t expected;
            uint32_t descriptor;
        } cases[] = {
            {"first descriptor", image, "ntdll.dll", kFlag, layout.descriptors[0]},
            {"second descriptor", image, "kernel32.dll", kFlag, layout.descriptors[1]},
            {"name in other case", image, "user32.dll", kFlag, layout.descriptors[2]},
            {"wanted name in capitals", image, "KERNEL32.DLL", kFlag, layout.descriptors[1]},
            {"not imported", image, "gdi32.dll", 0, kUntouched},
            {"brackets are no letters", image, "GDI[32.DLL", 0, kUntouched},
            {"no import directory", noDirectory, "kernel32.dll", 0, kUntouched},
            {"no MZ", noMz, "kernel32.dll", MF_BAD_IMAGE, kUntouched},
            {"DLL name cut before the match", cutName, "kernel32.dll", MF_BAD_IMAGE, kUntouched},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            std::vector<uint8_t> copy = c.image;  // exact size
            uint32_t descriptor = kUntouched;
            EXPECT_EQ(FindImportDescriptor(copy.data(), copy.size(), c.dll, &descriptor, kFlag), c.expected);
            EXPECT_EQ(descriptor, c.descriptor);
        }
    }
}

TEST(ImportInspector, FindImportByNameTakesAnyNames) {
    constexpr uint32_t kFlag = 0x40;
    for (const Bitness& b : kBitnesses) {
        PeLayout layout;
        std::vector<uint8_t> image = Build(
            b.pe32Plus, {{"advapi32.dll", {"#9", "RegOpenKeyExW"}}, {"kernel32.dll", {"GetTickCount"}}},
            &layout);
        std::vector<uint8_t> cutName(image.begin(), image.begin() + layout.hintNames[0][1] + 5);
        struct Case {
            const std::vector<uint8_t>& image;
            const char* dll;
            const char* function;
            uint32_t expected;
        } cases[] = {
            {image, "advapi32.dll", "RegOpenKeyExW", kFlag},
            {image, "ADVAPI32.dll", "RegOpenKeyEXW", kFlag},
            {image, "advapi32.dll", "regOpenKeyExW", 0},
            {image, "advapi32.dll", "RegOpenKeyEx", 0},
            {image, "kernel32.dll", "RegOpenKeyExW", 0},
            {image, "kernel32.dll", "GetTickCount", kFlag},
            {image, "ntdll.dll", "GetTickCount", 0},
            {cutName, "advapi32.dll", "RegOpenKeyExW", MF_BAD_IMAGE},
            // The descriptor search runs off first: its result is passed on.
            {cutName, "user32.dll", "RegOpenKeyExW", MF_BAD_IMAGE},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.dll + " " + c.function);
            std::vector<uint8_t> copy = c.image;
            EXPECT_EQ(FindImportByName(copy.data(), copy.size(), c.dll, c.function, kFlag), c.expected);
        }
    }
}

// A target process as a buffer: reads copy from `contents`; a failing read
// delivers `arrive` bytes and reports `error`.
class FakeMemory : public IProcessMemory {
public:
    std::vector<uint8_t> contents;
    bool fail = false;
    size_t arrive = 0;
    uint32_t error = 0;

    int calls = 0;
    uint32_t handle = 0;
    uint64_t address = 0;
    size_t size = 0;
    bool zeroFilled = false;

    bool ReadMemory(uint32_t processHandle, uint64_t addr, void* buffer, size_t n, size_t* bytesRead,
                    uint32_t* lastError) override {
        ++calls;
        handle = processHandle;
        address = addr;
        size = n;
        uint8_t* out = static_cast<uint8_t*>(buffer);
        zeroFilled = std::all_of(out, out + n, [](uint8_t v) { return v == 0; });
        size_t copied = std::min(fail ? arrive : n, contents.size());
        std::memcpy(out, contents.data(), copied);
        *bytesRead = copied;
        if (fail) *lastError = error;
        return !fail;
    }
};

TEST(ImportInspector, InspectRemoteImage) {
    constexpr uint32_t kHandle = 0x1234ABCD;
    constexpr uint64_t kBase = 0x00007FF612340000ull;
    constexpr uint32_t kAccessDenied = 5;
    constexpr uint32_t kNoAccess = 998;
    for (const Bitness& b : kBitnesses) {
        const std::vector<uint8_t> hooks = Build(
            b.pe32Plus, {{"kernel32.dll", {"ReadProcessMemory"}}, {"user32.dll", {"SetWindowsHookEx"}}});
        std::vector<uint8_t> noMz = hooks;
        noMz[0] = 'X';
        const uint32_t size = uint32_t(hooks.size());
        struct Case {
            const char* name;
            const std::vector<uint8_t>& contents;
            uint32_t imageSize;
            bool fail;
            size_t arrive;
            uint32_t error;
            uint32_t expected;
        } cases[] = {
            {"full read", hooks, size, false, 0, 0, 0x400800},
            {"partial copy, import data arrived", hooks, size + 0x3000, true, size, kErrorPartialCopy, 0x400802},
            {"partial copy, import section missing", hooks, size, true, 0x1000, kErrorPartialCopy,
             MF_PARTIAL_IMAGE},
            {"partial copy of 0 bytes", hooks, size, true, 0, kErrorPartialCopy, MF_PARTIAL_IMAGE},
            {"other error with bytes", hooks, size, true, size, kAccessDenied, MF_PARTIAL_IMAGE},
            {"other error without bytes", hooks, size, true, 0, kNoAccess, MF_PARTIAL_IMAGE},
            {"partial copy without MZ", noMz, size + 0x1000, true, size, kErrorPartialCopy, MF_BAD_IMAGE},
            {"partial copy ending before e_lfanew", hooks, size, true, 0x3C, kErrorPartialCopy,
             MF_BAD_IMAGE},
            {"image size smaller than the headers", hooks, 0x100, false, 0, 0, MF_BAD_IMAGE},
            {"image size cutting the import data", hooks, 0x1010, false, 0, 0, MF_BAD_IMAGE},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(b.name) + ": " + c.name);
            FakeMemory memory;
            memory.contents = c.contents;
            memory.fail = c.fail;
            memory.arrive = c.arrive;
            memory.error = c.error;
            EXPECT_EQ(InspectRemoteImage(memory, kHandle, kBase, c.imageSize), c.expected);
            EXPECT_EQ(memory.calls, 1);
            EXPECT_EQ(memory.handle, kHandle);
            EXPECT_EQ(memory.address, kBase);
            EXPECT_EQ(memory.size, c.imageSize);
            EXPECT_TRUE(memory.zeroFilled);
        }
    }
}

TEST(ImportInspector, ImageSizeZeroReadsNothing) {
    FakeMemory memory;
    memory.contents = Build(false, {{"kernel32.dll", {"ReadProcessMemory"}}});
    EXPECT_EQ(InspectRemoteImage(memory, 1, 0x400000, 0), MF_NO_IMAGE_SIZE);
    EXPECT_EQ(memory.calls, 0);
}

}  // namespace
}  // namespace ub
