// Robustness over a folder of unusual and malformed PE files: every file is
// inspected raw and as laid out; nothing may crash or read outside its
// buffer (the sanitizer build checks the reads).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/SharedFormat.h"
#include "service/ImportInspector.h"
#include "tools/ubscan/ImageLayout.h"

#ifndef UB_PE_CORPUS
#define UB_PE_CORPUS "../shared/corpus/pe"
#endif

namespace ub {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kInspectorFlags = MF_BAD_IMAGE | MF_READ_PROCESS_MEMORY | MF_CALL_MSG_FILTER |
                                     MF_WRITE_PROCESS_MEMORY | MF_DEBUG_ACTIVE_PROCESS |
                                     MF_SET_WINDOWS_HOOK_EX;

// The folder from the environment variable UB_PE_CORPUS when set, else the
// one the build was configured with.
fs::path CorpusFolder() {
    const char* env = std::getenv("UB_PE_CORPUS");
    return fs::path(env && *env ? env : UB_PE_CORPUS);
}

// The whole file in a buffer of exactly its size.
std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(fs::file_size(path));
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    EXPECT_TRUE(in) << path;
    return bytes;
}

TEST(PeCorpus, InspectsEveryFile) {
    const fs::path folder = CorpusFolder();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) GTEST_SKIP() << "PE corpus folder is absent: " << folder;

    size_t files = 0, laidOutCount = 0, flagged = 0, bad = 0, findings = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().string());
        const std::vector<uint8_t> file = ReadFile(entry.path());
        bool laidOut = false;
        const std::vector<uint8_t> image = LayOutImage(file, &laidOut);
        const uint32_t flags = InspectImage(image.data(), image.size(), 0);
        const uint32_t rawFlags = InspectImage(file.data(), file.size(), 0);
        EXPECT_EQ(flags & ~kInspectorFlags, 0u);
        EXPECT_EQ(rawFlags & ~kInspectorFlags, 0u);
        ++files;
        laidOutCount += laidOut;
        flagged += flags != 0;
        bad += (flags & MF_BAD_IMAGE) != 0;
        findings += (flags & ~MF_BAD_IMAGE) != 0;
    }
    std::cout << "PE corpus " << folder.string() << ": " << files << " files, " << laidOutCount
              << " laid out, " << flagged << " flagged (" << bad << " bad image, " << findings
              << " with import findings)\n";
    EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace ub
