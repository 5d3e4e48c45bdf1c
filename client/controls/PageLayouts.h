// Pixel layouts of the client's dialog templates: the rectangles that a page
// gives its picture controls, and the edit fields that follow them, when it
// initialises. Portable; the pages apply them to their controls.
//
// Placements that depend on the page's size (list controls and the buttons
// under them, the header's logos) are computed by the page code; the logo
// rule is here because it needs nothing but the header's width.
#pragma once

namespace ub {

struct LayoutRect {
    int x, y, width, height;
};

inline bool operator==(const LayoutRect& a, const LayoutRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}
inline bool operator!=(const LayoutRect& a, const LayoutRect& b) { return !(a == b); }

// How a page walks its picture controls, from firstId to lastId.
enum class IdRange {
    Closed,  // every id is expected; the walk stops at the first control that cannot be skinned
    Sparse,  // an id that the template does not have is skipped and uses no rectangle
};

struct ControlPlacement {
    int id;
    LayoutRect rect;
};

struct PageLayout {
    int templateId;
    IdRange range;
    int firstId;  // first picture control
    int lastId;   // last picture control
    // The table: one rectangle per picture control in id order (for a sparse
    // range, per control that the template has), then one per edit field.
    // When a closed walk stops early, the edit fields take the rectangles
    // that follow the last picture placed.
    const LayoutRect* rects;
    int rectCount;
    // Sparse ranges: the picture controls of the template, in id order.
    const int* presentIds;
    int presentCount;
    // Edit fields placed from the table after the pictures, in order.
    const int* editIds;
    int editCount;
    // Controls placed at fixed spots after the table, in order.
    const ControlPlacement* fixed;
    int fixedCount;

    int PictureRectCount() const { return rectCount - editCount; }
};

// The layout of a dialog template; nullptr for a template without one.
const PageLayout* FindPageLayout(int templateId);

// The overview pages take their rectangles from one shared list, with one
// position that every overview page advances as it skins its controls and
// that is never reset. The list is written for the order in which the frame
// initialises them: templates 125, 117, 126, 115, 128, 113, 103, 107, 110,
// 119. Each overview layout's rects point into this list.
constexpr int kOverviewRectCount = 91;
const LayoutRect* OverviewRects();
constexpr int kOverviewInitOrder[] = {125, 117, 126, 115, 128, 113, 103, 107, 110, 119};

// Header bar: the logos, one per page index, all at one spot that follows
// the header's width.
constexpr int kHeaderLogoFirst = 2160;
constexpr int kHeaderLogoLast = 2173;
inline LayoutRect HeaderLogoRect(int headerWidth) { return {headerWidth - 68, 1, 48, 48}; }

}  // namespace ub
