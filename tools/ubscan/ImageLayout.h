// Lays a PE file out as the loader would map it: the headers, each
// section's raw data at its virtual address, the rest zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ub {

constexpr size_t kMaxLayoutSize = size_t(512) << 20;

// Returns the image as mapped. When the headers do not describe a layout
// (no MZ/PE headers, an image size of 0 or over 512 MiB, headers larger
// than the image, a section starting outside the image) the file's raw
// bytes are returned instead and `*laidOut` is false. Raw data that the
// file does not hold is left zero.
std::vector<uint8_t> LayOutImage(const std::vector<uint8_t>& file, bool* laidOut = nullptr);

}  // namespace ub
