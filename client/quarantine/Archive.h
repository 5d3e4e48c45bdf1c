// The byte format of the archive file "UBqa.dat": a version word, then the
// authentic records and the quarantine records, each list behind its count.
// Pure functions over bytes; reading and writing the file is the caller's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/quarantine/Entries.h"

namespace ub {

constexpr uint32_t kArchiveVersion = 0x00010001;

// Converts a UTF-16LE string of the wide string form to the ANSI code page.
// The default keeps ASCII and writes '?' for everything else.
using WideToAnsiFn = std::string (*)(const std::u16string& text);
std::string WideToAsciiFallback(const std::u16string& text);

std::vector<uint8_t> EncodeArchive(const AuthenticList& authentic, const QuarantineList& quarantine);

enum class ArchiveLoad {
    Loaded,      // every record read
    Empty,       // zero-length file: nothing to read
    BadVersion,  // not our format: nothing loaded
    PastEnd,     // the data ends inside a count or a record
};

// Appends the archive's records to the lists (module links none). On
// PastEnd the complete records read before the end stay appended. Counts
// and string lengths are never trusted beyond the bytes there are.
ArchiveLoad DecodeArchive(const std::vector<uint8_t>& bytes, AuthenticList* authentic, QuarantineList* quarantine,
                          WideToAnsiFn wideToAnsi = WideToAsciiFallback);

// The length prefix and text of one string, as the writer makes it.
void AppendArchiveString(std::vector<uint8_t>* out, const std::string& text);

}  // namespace ub
