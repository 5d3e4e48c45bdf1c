#include "client/controls/win32/KwBitmapButton.h"

#include <cstring>
#include <vector>

#include "client/controls/BitmapMaths.h"

namespace ub {
namespace {

POINT PointOf(LPARAM lp) {
    // Signed: a captured pointer left or above the button gives negative values.
    return POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
}

// A scratch memory surface and bitmap, released in reverse on every path.
struct ScratchSurface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    ~ScratchSurface() {
        if (dc && previous) ::SelectObject(dc, previous);
        if (bitmap) ::DeleteObject(bitmap);
        if (dc) ::DeleteDC(dc);
    }
    // Takes `bmp` (also when it is null) and selects it into a new surface.
    bool Make(HDC compatible, HBITMAP bmp) {
        bitmap = bmp;
        dc = ::CreateCompatibleDC(compatible);
        if (!dc || !bitmap) return false;
        previous = ::SelectObject(dc, bitmap);
        return previous != nullptr;
    }
};

// The parent's surface has a picture to copy from only when a bitmap larger
// than the stock 1x1 one of a fresh memory surface is selected into it.
bool HasPicture(HDC surface) {
    if (!surface) return false;
    HGDIOBJ bmp = ::GetCurrentObject(surface, OBJ_BITMAP);
    BITMAP info{};
    if (!bmp || ::GetObjectA(bmp, sizeof info, &info) != sizeof info) return false;
    return info.bmWidth > 1 || info.bmHeight > 1;
}

}  // namespace

CKwBitmapButton::~CKwBitmapButton() { FreeImages(); }

int CKwBitmapButton::AutoLoad(int id, HDC parentSurface, HWND parentDialog) {
    if (!SubclassDlgItem(id, parentDialog)) return 0;
    char name[256] = {};
    bool ok = ::GetWindowTextA(m_hWnd, name, sizeof name) > 0 && BuildImages(name) &&
              ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_size.cx, m_size.cy,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    if (!ok) {
        // Leave an ordinary control: nothing of ours draws or answers for it.
        FreeImages();
        Unsubclass();
        return 0;
    }
    RECT self{}, parent{};
    ::GetWindowRect(m_hWnd, &self);
    ::GetWindowRect(parentDialog, &parent);
    ::OffsetRect(&self, -parent.left, -parent.top);
    m_rectInParent = self;
    m_parentSurface = parentSurface;
    m_current = Image::Normal;
    m_hover = m_pressed = false;
    return 1;
}

bool CKwBitmapButton::BuildImages(const char* resourceName) {
    FreeImages();
    for (Surface_& s : m_surfaces) {
        s.dc = ::CreateCompatibleDC(nullptr);
        if (!s.dc) return false;
    }
    // As a DIB section the pixels stay exactly as stored, whatever the
    // screen's depth.
    HBITMAP loaded = static_cast<HBITMAP>(
        ::LoadImageA(win::Instance(), resourceName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded) return false;
    // GetDIBits reads through a surface but wants the bitmap selected in none.
    ScratchSurface reader;
    reader.bitmap = loaded;
    reader.dc = ::CreateCompatibleDC(nullptr);
    if (!reader.dc) return false;

    // Room for the colour masks or table some formats put after the header.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header.biSize = sizeof info.header;
    if (!::GetDIBits(reader.dc, loaded, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS))
        return false;
    const int width = info.header.biWidth;
    const int height = info.header.biHeight < 0 ? -info.header.biHeight : info.header.biHeight;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFOHEADER& h = info.header;
    h.biHeight = height;  // bottom-up
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(width) * DWORD(height) * 4;
    h.biClrUsed = h.biClrImportant = 0;
    const size_t pixelCount = size_t(width) * size_t(height);
    std::vector<uint8_t> pixels(pixelCount * 4);
    if (::GetDIBits(reader.dc, loaded, 0, UINT(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                    DIB_RGB_COLORS) != height)
        return false;

    std::vector<uint8_t> derived(pixels.size());
    for (Image image : {Image::Normal, Image::Pressed, Image::Hover}) {
        const uint8_t* bits = pixels.data();
        if (image == Image::Pressed) DerivePressedImage(pixels.data(), derived.data(), pixelCount);
        if (image == Image::Hover) DeriveHoverImage(pixels.data(), derived.data(), pixelCount);
        if (image != Image::Normal) bits = derived.data();
        void* section = nullptr;
        Surface_& s = m_surfaces[Index(image)];
        s.bitmap = ::CreateDIBSection(s.dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &section,
                                      nullptr, 0);
        if (!s.bitmap || !section) return false;
        std::memcpy(section, bits, pixels.size());
        s.previous = ::SelectObject(s.dc, s.bitmap);
        if (!s.previous) return false;
    }
    m_size = SIZE{width, height};

    // Runs read from the hover picture, which is left in `derived`; its key
    // pixels are those of the others.
    m_region = ::CreateRectRgn(0, 0, 0, 0);
    HRGN row = ::CreateRectRgn(0, 0, 0, 0);
    bool ok = m_region && row;
    for (const PixelRun& r : VisibleRuns(derived.data(), width, height, true)) {
        if (!ok) break;
        ok = ::SetRectRgn(row, r.xStart, r.y, r.xEnd, r.y + 1) &&
             ::CombineRgn(m_region, m_region, row, RGN_OR) != ERROR;
    }
    if (row) ::DeleteObject(row);
    return ok;
}

void CKwBitmapButton::FreeImages() {
    for (Surface_& s : m_surfaces) {
        if (s.dc && s.previous) ::SelectObject(s.dc, s.previous);
        if (s.bitmap) ::DeleteObject(s.bitmap);
        if (s.dc) ::DeleteDC(s.dc);
        s = Surface_{};
    }
    if (m_region) ::DeleteObject(m_region);
    m_region = nullptr;
    m_size = SIZE{0, 0};
}

bool CKwBitmapButton::HitTest(POINT pt) const { return m_region && ::PtInRegion(m_region, pt.x, pt.y); }

void CKwBitmapButton::SetImage(Image image) {
    m_current = image;
    Repaint();
}

void CKwBitmapButton::Repaint() {
    // The drawing covers the whole button: no erasing, no flicker.
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool CKwBitmapButton::ReflectDrawItem(LPARAM drawItem) {
    const DRAWITEMSTRUCT* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
    if (!dis || dis->CtlType != ODT_BUTTON) return false;
    CKwBitmapButton* button = dynamic_cast<CKwBitmapButton*>(FromHandle(dis->hwndItem));
    if (!button) return false;
    button->DrawItem(*dis);
    return true;
}

void CKwBitmapButton::DrawItem(const DRAWITEMSTRUCT& dis) {
    const int w = dis.rcItem.right - dis.rcItem.left, h = dis.rcItem.bottom - dis.rcItem.top;
    if (HasPicture(m_parentSurface)) {
        ::BitBlt(dis.hDC, 0, 0, w, h, m_parentSurface, m_rectInParent.left, m_rectInParent.top, SRCCOPY);
    } else {
        RECT all{0, 0, w, h};
        ::FillRect(dis.hDC, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    // The picture keeps its own size even when the dialog made the button larger.
    DrawTransparent(Surface(m_current), 0, 0, m_size.cx, m_size.cy, dis.hDC, 0, 0, m_size.cx, m_size.cy,
                    kKeyColorRef);
}

bool CKwBitmapButton::DrawTransparent(HDC src, int srcX, int srcY, int srcW, int srcH, HDC dst, int dstX, int dstY,
                                      int dstW, int dstH, COLORREF key) {
    if (!src || !dst || srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return false;
    ScratchSurface mask, copy;
    if (!mask.Make(dst, ::CreateBitmap(srcW, srcH, 1, 1, nullptr))) return false;
    // The copy has the source's format, so its colours stay exact.
    if (!copy.Make(src, ::CreateCompatibleBitmap(src, srcW, srcH))) return false;

    // Colour to one bit: pixels of the source's background colour become 1.
    COLORREF oldSrcBk = ::SetBkColor(src, key);
    bool ok = ::BitBlt(mask.dc, 0, 0, srcW, srcH, src, srcX, srcY, SRCCOPY);
    ::SetBkColor(src, oldSrcBk);

    // The copy with key pixels black: one bit to colour turns 1 into the
    // background colour (black) and 0 into the text colour (white), then AND.
    ok = ok && ::BitBlt(copy.dc, 0, 0, srcW, srcH, src, srcX, srcY, SRCCOPY);
    ::SetBkColor(copy.dc, RGB(0, 0, 0));
    ::SetTextColor(copy.dc, RGB(255, 255, 255));
    ok = ok && ::BitBlt(copy.dc, 0, 0, srcW, srcH, mask.dc, 0, 0, SRCAND);

    // Onto the destination: the mask as white over key pixels and black
    // elsewhere, ANDed, clears where the picture goes; the copy ORed fills it.
    COLORREF oldBk = ::SetBkColor(dst, RGB(255, 255, 255));
    COLORREF oldText = ::SetTextColor(dst, RGB(0, 0, 0));
    int oldMode = ::SetStretchBltMode(dst, COLORONCOLOR);
    ok = ok && ::StretchBlt(dst, dstX, dstY, dstW, dstH, mask.dc, 0, 0, srcW, srcH, SRCAND);
    ok = ok && ::StretchBlt(dst, dstX, dstY, dstW, dstH, copy.dc, 0, 0, srcW, srcH, SRCPAINT);
    if (oldMode) ::SetStretchBltMode(dst, oldMode);
    ::SetTextColor(dst, oldText);
    ::SetBkColor(dst, oldBk);
    return ok;
}

void CKwBitmapButton::OnMouseMove(WPARAM wp, POINT pt) {
    if (!HitTest(pt)) {
        // The pointer left: give up the capture taken on entry.
        ::ReleaseCapture();
        m_hover = false;
        SetImage(Image::Normal);
        return;
    }
    if (m_hover) return;
    m_hover = true;
    if (!(wp & MK_LBUTTON)) {
        // Captured, the button sees the first move outside and turns back.
        ::SetCapture(m_hWnd);
        SetImage(Image::Hover);
    } else if (m_pressed) {
        SetImage(Image::Pressed);
    } else {
        Repaint();
    }
}

LRESULT CKwBitmapButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_MOUSEMOVE: {
            LRESULT r = DefaultProc(msg, wp, lp);
            OnMouseMove(wp, PointOf(lp));
            return r;
        }
        case WM_LBUTTONDOWN:
            // Off the picture the press is not the button's: no capture, no click.
            if (!HitTest(PointOf(lp))) return 0;
            m_pressed = true;
            SetImage(Image::Pressed);
            break;
        case WM_LBUTTONUP:
            m_pressed = false;
            SetImage(HitTest(PointOf(lp)) ? Image::Hover : Image::Normal);
            break;
        case WM_GETDLGCODE:
            // Keyboard navigation: the pointer's highlight goes.
            if (m_hover) {
                m_hover = false;
                SetImage(Image::Normal);
            }
            break;
    }
    return DefaultProc(msg, wp, lp);
}

}  // namespace ub
