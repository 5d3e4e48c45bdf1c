// The seed writers of make_seeds, one per fuzz target.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace ub::seeds {

// Writes one seed file and prints its name and size; false when it cannot.
inline bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes, const std::string& note = "") {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%-48s %5zu bytes  %s\n", path.c_str(), bytes.size(), note.c_str());
    return true;
}

bool WriteInspectorSeeds(const std::string& folder);
bool WriteArchiveSeeds(const std::string& folder);
bool WriteMergeSeeds(const std::string& folder);

}  // namespace ub::seeds
