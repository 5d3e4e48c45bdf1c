// Writes the seeds of the fuzz targets:
//
//   make_seeds <folder>             the import inspector (tests/fuzz/seeds)
//   make_seeds --archive <folder>   the archive decoder (tests/fuzz/archive_seeds)
//   make_seeds --merge <folder>     the client's merge (tests/fuzz/merge_seeds)
//
// The inspector's seeds are small PE32 and PE32+ images (laid out, RVA ==
// offset) and files, built with PeBuilder. Images are cut right after their
// import data, which leaves their inspection result unchanged and keeps the
// seeds small.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "service/ImportInspector.h"
#include "tests/support/PeBuilder.h"
#include "tools/make_seeds/Seeds.h"
#include "tools/ubscan/ImageLayout.h"

namespace {

using ub::test::PeBuilder;
using ub::test::PeImport;
using ub::test::PeLayout;

struct Seed {
    const char* name;
    std::vector<PeImport> imports;
    bool noImportDirectory = false;
    bool file = false;      // also write the file layout
    bool truncated = false; // cut inside the last hint/name entry instead
};

const std::vector<PeImport> kAllFive = {
    {"kernel32.dll", {"GetTickCount", "ReadProcessMemory", "#12", "WriteProcessMemory", "DebugActiveProcess"}},
    {"user32.dll", {"MessageBoxW", "SetWindowsHookEx", "CallMsgFilter"}},
};

const Seed kSeeds[] = {
    {"no_directory", {{"kernel32.dll", {"ReadProcessMemory"}}}, true},
    {"no_descriptor", {}},
    {"rpm", {{"kernel32.dll", {"ReadProcessMemory"}}}},
    {"wpm", {{"kernel32.dll", {"WriteProcessMemory"}}}},
    {"dap", {{"kernel32.dll", {"DebugActiveProcess"}}}},
    {"swhe", {{"user32.dll", {"SetWindowsHookEx"}}}},
    {"cmf", {{"user32.dll", {"CallMsgFilter"}}}},
    {"all_five", kAllFive, false, true},
    {"rpm_swhe", {{"kernel32.dll", {"ReadProcessMemory"}}, {"user32.dll", {"SetWindowsHookEx"}}}, false, true},
    {"ordinals", {{"kernel32.dll", {"#1", "#2048"}}, {"user32.dll", {"#65535", "MessageBoxA"}}}},
    {"suffixes", {{"user32.dll", {"SetWindowsHookExA", "CallMsgFilterW", "SetWindowsHookExW"}}}},
    {"letter_case", {{"KERNEL32.DLL", {"readProcessMemory", "READPROCESSMEMORY"}}, {"User32.Dll", {"CALLMSGFILTER"}}}},
    {"second_descriptor",
     {{"kernel32.dll", {"ReadProcessMemory"}}, {"ntdll.dll", {"NtClose"}}, {"kernel32.dll", {"WriteProcessMemory"}}}},
    {"truncated", kAllFive, false, true, true},
};

}  // namespace

namespace ub::seeds {

bool WriteInspectorSeeds(const std::string& folder) {
    for (bool pe32Plus : {false, true}) {
        const std::string prefix = folder + "/" + (pe32Plus ? "pe64_" : "pe32_");
        for (const Seed& seed : kSeeds) {
            PeBuilder builder(pe32Plus);
            for (const PeImport& i : seed.imports) builder.Import(i.dll, i.functions);
            if (seed.noImportDirectory) builder.NoImportDirectory();
            PeLayout layout;
            std::vector<uint8_t> image = builder.BuildImage(&layout);
            size_t end = layout.importEnd;
            if (seed.truncated) end = layout.hintNames.back().back() + 6;
            image.resize(end);

            struct Output {
                std::string path;
                std::vector<uint8_t> bytes;
                std::vector<uint8_t> loaded;  // what the inspector sees
            };
            std::vector<Output> outputs = {{prefix + seed.name + ".img", image, image}};
            if (seed.file) {
                std::vector<uint8_t> file = builder.BuildFile();
                if (seed.truncated) file.resize(0x200 + (end - 0x1000));
                outputs.push_back({prefix + seed.name + ".file", file, ub::LayOutImage(file)});
            }
            for (const Output& o : outputs) {
                char note[32];
                std::snprintf(note, sizeof note, "flags 0x%08X", ub::InspectImage(o.loaded.data(), o.loaded.size(), 0));
                if (!WriteSeed(o.path, o.bytes, note)) return false;
            }
        }
    }
    return true;
}

}  // namespace ub::seeds

int main(int argc, char** argv) {
    bool ok = false;
    if (argc == 2) ok = ub::seeds::WriteInspectorSeeds(argv[1]);
    else if (argc == 3 && std::strcmp(argv[1], "--archive") == 0) ok = ub::seeds::WriteArchiveSeeds(argv[2]);
    else if (argc == 3 && std::strcmp(argv[1], "--merge") == 0) ok = ub::seeds::WriteMergeSeeds(argv[2]);
    else {
        std::fprintf(stderr, "usage: make_seeds [--archive | --merge] <folder>\n");
        return 2;
    }
    return ok ? 0 : 1;
}
