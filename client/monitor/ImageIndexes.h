// Where the client's icon resources landed in the tree's image list, shared
// by the tree and the list pages that show the same icons.
#pragma once

#include <map>

namespace ub {

// Image-list indexes of the client's icon resources; an icon without a
// recorded index uses its resource number (as the in-memory tree does).
class CImageIndexes {
public:
    void Set(int icon, int index) { m_index[icon] = index; }
    int Of(int icon) const {
        auto it = m_index.find(icon);
        return it == m_index.end() ? icon : it->second;
    }

private:
    std::map<int, int> m_index;
};

}  // namespace ub
