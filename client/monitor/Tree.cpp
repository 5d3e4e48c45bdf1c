#include "client/monitor/Tree.h"

namespace ub {

TreeItem FindChildByData(ITree& tree, TreeItem parent, uintptr_t data) {
    for (TreeItem item = tree.FirstChild(parent); item != kNoItem; item = tree.NextSibling(item))
        if (tree.ItemData(item) == data) return item;
    return kNoItem;
}

void DeleteChildren(ITree& tree, TreeItem parent) {
    for (TreeItem item = tree.FirstChild(parent); item != kNoItem;) {
        TreeItem next = tree.NextSibling(item);
        tree.DeleteItem(item);
        item = next;
    }
}

bool HasChildren(ITree& tree, TreeItem parent) { return tree.FirstChild(parent) != kNoItem; }

}  // namespace ub
