// ubscan: runs the import inspector over PE files laid out as images, or
// (on Windows) one scan round over the live processes.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client/monitor/WarningLevel.h"
#include "service/ImportInspector.h"
#include "tools/ubscan/ImageLayout.h"

#include "tools/ubscan/ProcessScan.h"
#ifdef _WIN32
#include "service/win32/Win32ProcessSource.h"
#include "tools/ubscan/ChannelClient.h"
#endif

namespace {

const char* LevelColumn(uint32_t flags) {
    ub::WarningLevel level = ub::WarningLevelOf(flags);
    return level == ub::WarningLevel::None ? "----" : ub::WarningLevelText(level);
}

bool ReadFile(const char* path, std::vector<uint8_t>* bytes, std::string* error) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        *error = std::strerror(errno);
        return false;
    }
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = std::ferror(f) != 0;
    if (failed) *error = errno ? std::strerror(errno) : "read error";
    std::fclose(f);
    return !failed;
}

int ScanFiles(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<uint8_t> file;
        std::string error;
        if (!ReadFile(argv[i], &file, &error)) {
            std::fprintf(stderr, "ubscan: cannot read %s: %s\n", argv[i], error.c_str());
            status = 1;
            continue;
        }
        std::vector<uint8_t> image = ub::LayOutImage(file);
        uint32_t flags = ub::InspectImage(image.data(), image.size(), 0);
        std::printf("0x%08X\t%s\t%s\n", unsigned(flags), LevelColumn(flags), argv[i]);
    }
    return status;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: ubscan FILE...\n"
#ifdef _WIN32
                 "       ubscan --processes\n"
                 "       ubscan --channel [SECONDS]\n"
#endif
    );
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return 2;
    }
    if (std::strcmp(argv[1], "--processes") == 0) {
#ifdef _WIN32
        if (argc != 2) {
            Usage();
            return 2;
        }
        ub::CWin32ProcessSource source;
        ub::CScanTables tables(source);
        if (!ub::RunScanRound(source, tables, ub::kRescanAll, true)) {
            std::fprintf(stderr, "ubscan: cannot enumerate processes\n");
            return 1;
        }
        ub::PrintTables(stdout, tables, LevelColumn);
        tables.ReleaseTables();
        return 0;
#else
        std::fprintf(stderr, "ubscan: --processes needs Windows\n");
        return 2;
#endif
    }
    if (std::strcmp(argv[1], "--channel") == 0) {
#ifdef _WIN32
        if (argc > 3) {
            Usage();
            return 2;
        }
        unsigned seconds = argc == 3 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 60;
        return ub::RunChannelClient(stdout, LevelColumn, seconds * 1000);
#else
        std::fprintf(stderr, "ubscan: --channel needs Windows\n");
        return 2;
#endif
    }
    if (std::strcmp(argv[1], "--") == 0) {
        --argc;
        ++argv;
    }
    return ScanFiles(argc, argv);
}
