// Windows path text, portable.
#pragma once

#include <string>

namespace ub {

// The folder part of a path: through its last backslash; empty when there
// is none.
inline std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace ub
