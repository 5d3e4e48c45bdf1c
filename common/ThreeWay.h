// Three-way comparison of two ordered values: negative, 0 or positive.
#pragma once

namespace ub {

template <typename T>
int ThreeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace ub
