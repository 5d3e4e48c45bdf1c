// The bitmap button: takes over an owner-drawn button of a dialog and shows
// the bitmap resource named by the control's text, with a darker picture
// while pressed and a lighter one while the pointer is over it. Pure blue
// is transparent and outside the button: the mouse only hits the picture.
//
// Owner-drawn buttons send WM_DRAWITEM to their parent, so every dialog that
// holds bitmap buttons must route it from its dialog procedure:
//
//     case WM_DRAWITEM:
//         if (CKwBitmapButton::ReflectDrawItem(lp)) return TRUE;
//         break;
#pragma once

#include <windows.h>

#include "client/controls/win32/Window.h"

namespace ub {

class CKwBitmapButton : public win::CWindow {
public:
    enum class Image { Normal, Pressed, Hover };

    CKwBitmapButton() = default;
    ~CKwBitmapButton() override;

    // Takes over control `id` of `parentDialog`, loads the bitmap its text
    // names, builds the three pictures and the hit region, and sizes the
    // control to the bitmap without moving it. `parentSurface` is the
    // dialog's off-screen surface the background is copied from; it may be
    // null or hold no picture, then the background is white. Returns 1, or
    // 0 with the control left as it was. Once per control, before the
    // dialog positions it.
    int AutoLoad(int id, HDC parentSurface, HWND parentDialog);

    // Draws the button a WM_DRAWITEM (its lParam) is about, when that is a
    // bitmap button; false otherwise, so that the dialog does its default.
    static bool ReflectDrawItem(LPARAM drawItem);

    // Copies `src` onto `dst` except for pixels of colour `key`, stretching
    // to the destination size. False, drawing nothing, for an empty size.
    static bool DrawTransparent(HDC src, int srcX, int srcY, int srcW, int srcH, HDC dst, int dstX, int dstY,
                                int dstW, int dstH, COLORREF key);

    Image CurrentImage() const { return m_current; }
    // Whether a point in button coordinates is on a visible pixel.
    bool HitTest(POINT pt) const;
    SIZE ImageSize() const { return m_size; }
    // The off-screen surface that holds one of the pictures; null before a
    // successful AutoLoad.
    HDC Surface(Image image) const { return m_surfaces[Index(image)].dc; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnFinalMessage() override { FreeImages(); }
    // Background from the parent's surface, then the current picture.
    virtual void DrawItem(const DRAWITEMSTRUCT& dis);

private:
    struct Surface_ {
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ previous = nullptr;
    };
    static int Index(Image image) { return static_cast<int>(image); }

    bool BuildImages(const char* resourceName);
    void FreeImages();
    void SetImage(Image image);
    void Repaint();
    void OnMouseMove(WPARAM wp, POINT pt);

    Surface_ m_surfaces[3];
    Image m_current = Image::Normal;
    SIZE m_size{0, 0};
    HRGN m_region = nullptr;
    HDC m_parentSurface = nullptr;
    RECT m_rectInParent{0, 0, 0, 0};
    bool m_hover = false;
    bool m_pressed = false;
};

}  // namespace ub
