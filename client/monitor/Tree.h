// The small tree interface the tree controller drives. The client's window
// implements it over a SysTreeView32; tests use an in-memory tree.
#pragma once

#include <cstdint>
#include <functional>

namespace ub {

using TreeItem = uintptr_t;
constexpr TreeItem kNoItem = 0;  // also "the top level" as a parent

// Item state bits.
enum : uint32_t {
    TREE_BOLD = 0x1,
    TREE_CUT = 0x2,
};

// Orders two items by their item data: negative, 0 or positive.
using TreeCompare = std::function<int(uintptr_t a, uintptr_t b)>;

class ITree {
public:
    virtual ~ITree() = default;
    // Appends an item as the last child of parent (kNoItem: top level) with
    // the same image selected and not; kNoItem on failure.
    virtual TreeItem InsertItem(TreeItem parent, const char* text, int image, uintptr_t data, uint32_t state) = 0;
    // Deletes an item and its children.
    virtual void DeleteItem(TreeItem item) = 0;
    virtual TreeItem FirstChild(TreeItem parent) = 0;
    virtual TreeItem NextSibling(TreeItem item) = 0;
    virtual TreeItem Parent(TreeItem item) = 0;
    virtual uintptr_t ItemData(TreeItem item) = 0;
    // Sets the image and the selected image.
    virtual void SetImage(TreeItem item, int image) = 0;
    virtual void SetState(TreeItem item, uint32_t state) = 0;
    virtual void SortChildren(TreeItem parent, const TreeCompare& compare) = 0;
    virtual void Expand(TreeItem item) = 0;
    virtual void EnsureVisible(TreeItem item) = 0;
    // Selects an item; a change of selection raises the owner's selection
    // handling as a click does. False when the item cannot be selected.
    virtual bool SelectItem(TreeItem item) = 0;
    virtual TreeItem SelectedItem() = 0;
};

// The first child of parent whose item data is data, or kNoItem.
TreeItem FindChildByData(ITree& tree, TreeItem parent, uintptr_t data);
void DeleteChildren(ITree& tree, TreeItem parent);
bool HasChildren(ITree& tree, TreeItem parent);

}  // namespace ub
