// ASCII letter-case folding, as every comparison of paths and import names
// in both programs uses it.
#pragma once

#include <cstring>
#include <string>

namespace ub {

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Whole strings equal without regard to ASCII letter case.
inline bool EqualIgnoreCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (FoldAscii(*a) != FoldAscii(*b)) return false;
    return *a == *b;
}

// Three-way order of two strings with ASCII letter case ignored, by the
// folded characters' unsigned values.
inline int CompareIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(FoldAscii(*a));
        unsigned char y = static_cast<unsigned char>(FoldAscii(*b));
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
}

// The folded form of at most `maxLength` characters: a lookup key.
inline std::string FoldedKey(const char* s, size_t maxLength) {
    std::string key(s, strnlen(s, maxLength));
    for (char& c : key) c = FoldAscii(c);
    return key;
}

}  // namespace ub
