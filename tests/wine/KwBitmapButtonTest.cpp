#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "client/controls/win32/KwBitmapButton.h"
#include "tests/wine/fixtures/controls_test.h"

// The pictures (fixtures/make_control_bitmaps.py), '.' transparent, '#'
// colour kFace, 'n' the near-key blue 0,0,254:
//
//     ROUNDBUTTON 16x10      ALLKEY 8x6, all transparent
//     ....n#######....
//     ..############..
//     .##############.
//     ################
//     #######..#######
//     ################
//     ################
//     .##############.
//     .##############.
//     ...##########...

namespace ub {
namespace {

using Image = CKwBitmapButton::Image;

const COLORREF kFace = RGB(64, 200, 128);
const COLORREF kFacePressed = RGB(36, 181, 97);  // 1.4 gamma: 128 -> 97
const COLORREF kFaceHover = RGB(84, 209, 146);   // 0.8 gamma: 128 -> 146
const COLORREF kKey = RGB(0, 0, 255);
const COLORREF kNearKey = RGB(0, 0, 254);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kWhite = RGB(255, 255, 255);

// A page-like dialog: every picture control made a bitmap button when it
// initialises, drawing routed to the buttons, clicks recorded.
class CTestDialog : public win::CDialog {
public:
    explicit CTestDialog(HDC surface) : CDialog(IDD_CONTROLS_TEST), m_surface(surface) {}

    CKwBitmapButton round, allKey, missing;
    int roundLoaded = -1, allKeyLoaded = -1, missingLoaded = -1;
    std::vector<int> clicks;

protected:
    BOOL OnInitDialog() override {
        roundLoaded = round.AutoLoad(IDC_ROUND, m_surface, m_hWnd);
        allKeyLoaded = allKey.AutoLoad(IDC_ALL_KEY, m_surface, m_hWnd);
        missingLoaded = missing.AutoLoad(IDC_MISSING, m_surface, m_hWnd);
        return TRUE;
    }
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_DRAWITEM && CKwBitmapButton::ReflectDrawItem(lp)) return TRUE;
        return CDialog::DialogProc(msg, wp, lp);
    }
    bool OnCommand(int id, int code, HWND) override {
        if (code == BN_CLICKED) clicks.push_back(id);
        return true;
    }
    void OnOK() override {}
    void OnCancel() override {}

private:
    HDC m_surface;
};

// A 32-bit memory surface filled with one colour.
class Canvas {
public:
    Canvas(int w, int h, COLORREF fill) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = ::CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_previous = ::SelectObject(m_dc, m_bitmap);
        Fill(fill);
    }
    ~Canvas() {
        ::SelectObject(m_dc, m_previous);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    void Fill(COLORREF c) {
        BITMAP info{};
        ::GetObjectA(m_bitmap, sizeof info, &info);
        RECT all{0, 0, info.bmWidth, info.bmHeight};
        HBRUSH brush = ::CreateSolidBrush(c);
        ::FillRect(m_dc, &all, brush);
        ::DeleteObject(brush);
    }
    HDC dc() const { return m_dc; }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc, x, y); }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
};

class KwBitmapButtonTest : public ::testing::Test {
protected:
    // A page's surface: a plain memory surface without a picture.
    void SetUp() override { Open(::CreateCompatibleDC(nullptr)); }
    void TearDown() override {
        if (dialog && dialog->Handle()) ::DestroyWindow(*dialog);
        if (surface) ::DeleteDC(surface);
    }
    void Open(HDC parentSurface) {
        surface = parentSurface;
        dialog = std::make_unique<CTestDialog>(surface);
        ASSERT_TRUE(dialog->CreateModeless(nullptr)) << ::GetLastError();
    }
    static LRESULT Mouse(CKwBitmapButton& button, UINT msg, int x, int y, WPARAM keys = 0) {
        return button.Send(msg, keys, MAKELPARAM(WORD(short(x)), WORD(short(y))));
    }
    // The pointer far away and nothing held: no hover, no capture.
    void Leave(CKwBitmapButton& button) {
        Mouse(button, WM_MOUSEMOVE, 200, 200);
        ::ReleaseCapture();
    }
    // The control's rectangle in the dialog's client area, in pixels.
    RECT ClientRectOf(int id) const {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(*dialog, id), &r);
        ::MapWindowPoints(nullptr, *dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // Where the dialog template puts a control, in pixels; the dialog
    // manager converts position and size each on its own.
    RECT TemplateRect(int x, int y, int w, int h) const {
        RECT r{x, y, w, h};
        ::MapDialogRect(*dialog, &r);
        return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
    }

    HDC surface = nullptr;
    std::unique_ptr<CTestDialog> dialog;
};

TEST_F(KwBitmapButtonTest, AutoLoadSizesTheControlToItsPictureInPlace) {
    struct Case {
        const char* name;
        int id;
        int loaded;
        CKwBitmapButton* button;
        RECT expected;  // client coordinates of the dialog
    } cases[] = {
        {"round", IDC_ROUND, dialog->roundLoaded, &dialog->round, {0, 0, 16, 10}},
        {"all key", IDC_ALL_KEY, dialog->allKeyLoaded, &dialog->allKey, {0, 0, 8, 6}},
    };
    const RECT roundAt = TemplateRect(20, 15, 60, 30), allKeyAt = TemplateRect(100, 15, 40, 20);
    ::OffsetRect(&cases[0].expected, roundAt.left, roundAt.top);
    ::OffsetRect(&cases[1].expected, allKeyAt.left, allKeyAt.top);
    for (const Case& c : cases) {
        EXPECT_EQ(c.loaded, 1) << c.name;
        EXPECT_EQ(c.button->Handle(), ::GetDlgItem(*dialog, c.id)) << c.name;
        const RECT at = ClientRectOf(c.id);
        EXPECT_TRUE(::EqualRect(&c.expected, &at)) << c.name;
        EXPECT_EQ(c.button->ImageSize().cx, c.expected.right - c.expected.left) << c.name;
        EXPECT_EQ(c.button->ImageSize().cy, c.expected.bottom - c.expected.top) << c.name;
        for (Image image : {Image::Normal, Image::Pressed, Image::Hover})
            EXPECT_NE(c.button->Surface(image), nullptr) << c.name;
    }

    // No picture of that name: 0, and the control stays an ordinary one
    // where and as large as the template has it.
    EXPECT_EQ(dialog->missingLoaded, 0);
    EXPECT_EQ(dialog->missing.Handle(), nullptr);
    EXPECT_EQ(win::CWindow::FromHandle(::GetDlgItem(*dialog, IDC_MISSING)), nullptr);
    EXPECT_EQ(dialog->missing.Surface(Image::Normal), nullptr);
    const RECT missingAt = TemplateRect(20, 60, 40, 20), at = ClientRectOf(IDC_MISSING);
    EXPECT_TRUE(::EqualRect(&missingAt, &at));
}

TEST_F(KwBitmapButtonTest, AutoLoadOnAControlThatDoesNotExistOrTwiceFails) {
    CKwBitmapButton none, again;
    EXPECT_EQ(none.AutoLoad(4242, surface, *dialog), 0);
    EXPECT_EQ(none.Handle(), nullptr);
    // Already a bitmap button: the first one keeps it.
    EXPECT_EQ(again.AutoLoad(IDC_ROUND, surface, *dialog), 0);
    EXPECT_EQ(win::CWindow::FromHandle(::GetDlgItem(*dialog, IDC_ROUND)), &dialog->round);
}

TEST_F(KwBitmapButtonTest, HitTestFollowsTheVisiblePixels) {
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {
        {0, 0, false},  {1, 1, false}, {2, 1, true},  // transparent corner; one pixel inside the edge
        {3, 0, false},  {4, 0, true},                 // near-key blue is visible
        {11, 0, true},  {12, 0, false},               //
        {0, 2, false},  {0, 3, true},  {0, 8, false}, {1, 8, true},   // top and bottom differ
        {2, 9, false},  {3, 9, true},  {12, 9, true}, {13, 9, false},
        {6, 4, true},   {7, 4, false}, {8, 4, false}, {9, 4, true},   // the hole
        {15, 5, true},  {16, 5, false}, {-1, 5, false}, {8, 10, false}, {8, -1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dialog->round.HitTest(POINT{c.x, c.y}), c.inside) << c.x << "," << c.y;

    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_FALSE(dialog->allKey.HitTest(POINT{x, y})) << x << "," << y;
}

TEST_F(KwBitmapButtonTest, MouseSequences) {
    const Image N = Image::Normal, P = Image::Pressed, H = Image::Hover;
    struct Step {
        UINT msg;
        int x, y;
        WPARAM keys;
        Image after;
    };
    struct Case {
        const char* name;
        CKwBitmapButton CTestDialog::*button;
        int id;
        std::vector<Step> steps;
        size_t clicks;
    } cases[] = {
        {"click inside",
         &CTestDialog::round,
         IDC_ROUND,
         {{WM_MOUSEMOVE, 8, 5, 0, H}, {WM_LBUTTONDOWN, 8, 5, MK_LBUTTON, P}, {WM_LBUTTONUP, 8, 5, 0, H}},
         1},
        {"click one pixel inside the edge",
         &CTestDialog::round,
         IDC_ROUND,
         {{WM_LBUTTONDOWN, 2, 1, MK_LBUTTON, P}, {WM_LBUTTONUP, 2, 1, 0, H}},
         1},
        {"click on the transparent corner",
         &CTestDialog::round,
         IDC_ROUND,
         {{WM_LBUTTONDOWN, 0, 0, MK_LBUTTON, N}, {WM_LBUTTONUP, 0, 0, 0, N}},
         0},
        {"drag off and release outside",
         &CTestDialog::round,
         IDC_ROUND,
         {{WM_MOUSEMOVE, 8, 5, 0, H},
          {WM_LBUTTONDOWN, 8, 5, MK_LBUTTON, P},
          {WM_MOUSEMOVE, 40, 5, MK_LBUTTON, N},
          {WM_LBUTTONUP, 40, 5, 0, N}},
         0},
        {"drag off and back on",
         &CTestDialog::round,
         IDC_ROUND,
         {{WM_LBUTTONDOWN, 8, 5, MK_LBUTTON, P},
          {WM_MOUSEMOVE, -3, 5, MK_LBUTTON, N},
          {WM_MOUSEMOVE, 8, 5, MK_LBUTTON, P},
          {WM_MOUSEMOVE, 9, 5, MK_LBUTTON, P},
          {WM_LBUTTONUP, 8, 5, 0, H}},
         0},  // leaving gave up the capture, and with it the press
        {"entering with the button held from elsewhere",
         &CTestDialog::round,
         IDC_ROUND,
         {{WM_MOUSEMOVE, 8, 5, MK_LBUTTON, N}, {WM_LBUTTONUP, 8, 5, 0, H}},
         0},
        {"keyboard navigation ends the hover",
         &CTestDialog::round,
         IDC_ROUND,
         {{WM_MOUSEMOVE, 8, 5, 0, H}, {WM_GETDLGCODE, 0, 0, 0, N}},
         0},
        {"all-key picture",
         &CTestDialog::allKey,
         IDC_ALL_KEY,
         {{WM_MOUSEMOVE, 3, 3, 0, N}, {WM_LBUTTONDOWN, 3, 3, MK_LBUTTON, N}, {WM_LBUTTONUP, 3, 3, 0, N}},
         0},
    };
    for (const Case& c : cases) {
        CKwBitmapButton& button = (*dialog).*(c.button);
        dialog->clicks.clear();
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            Mouse(button, s.msg, s.x, s.y, s.keys);
            EXPECT_EQ(button.CurrentImage(), s.after) << c.name << ", step " << i;
        }
        EXPECT_EQ(dialog->clicks, std::vector<int>(c.clicks, c.id)) << c.name;
        Leave(button);
        EXPECT_EQ(button.CurrentImage(), N) << c.name;
    }
}

TEST_F(KwBitmapButtonTest, HoverCapturesThePointerUntilItLeaves) {
    CKwBitmapButton& round = dialog->round;
    Mouse(round, WM_MOUSEMOVE, 8, 5);
    EXPECT_EQ(round.CurrentImage(), Image::Hover);
    EXPECT_EQ(::GetCapture(), round.Handle());
    // A transparent pixel inside the rectangle is outside the button.
    Mouse(round, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(round.CurrentImage(), Image::Normal);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(KwBitmapButtonTest, PicturesDarkenedAndLightenedExceptTheKey) {
    struct Case {
        Image image;
        COLORREF face, nearKey;
    } cases[] = {
        {Image::Normal, kFace, kNearKey},
        {Image::Pressed, kFacePressed, RGB(0, 0, 253)},
        {Image::Hover, kFaceHover, kNearKey},  // 254 stays 254 at 0.8
    };
    for (const Case& c : cases) {
        HDC dc = dialog->round.Surface(c.image);
        ASSERT_NE(dc, nullptr);
        const int i = static_cast<int>(c.image);
        EXPECT_EQ(::GetPixel(dc, 8, 5), c.face) << i;
        EXPECT_EQ(::GetPixel(dc, 15, 4), c.face) << i;
        EXPECT_EQ(::GetPixel(dc, 4, 0), c.nearKey) << i;  // top row stays on top
        EXPECT_EQ(::GetPixel(dc, 0, 0), kKey) << i;
        EXPECT_EQ(::GetPixel(dc, 15, 9), kKey) << i;
        EXPECT_EQ(::GetPixel(dc, 8, 4), kKey) << i;
    }
}

TEST_F(KwBitmapButtonTest, DrawTransparentLeavesKeyPixelsUnchanged) {
    HDC src = dialog->round.Surface(Image::Normal);
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    struct Case {
        const char* name;
        int srcW;        // of the picture's 16x10
        int x, y, w, h;  // destination
        bool drawn;
        std::vector<Probe> probes;
    } cases[] = {
        {"same size",
         16, 0, 0, 16, 10, true,
         {{0, 0, kGreen}, {3, 0, kGreen}, {4, 0, kNearKey}, {8, 4, kGreen}, {8, 5, kFace}, {15, 9, kGreen},
          {16, 5, kGreen}}},
        {"twice the size",
         16, 10, 10, 32, 20, true,
         {{10, 10, kGreen}, {17, 10, kGreen}, {18, 10, kNearKey}, {26, 20, kFace}, {41, 29, kGreen}, {42, 20, kGreen}}},
        {"zero destination width", 16, 0, 0, 0, 10, false, {{8, 5, kGreen}}},
        {"negative destination height", 16, 0, 0, 16, -10, false, {{8, 5, kGreen}}},
        {"zero source width", 0, 0, 0, 16, 10, false, {{8, 5, kGreen}}},
    };
    for (const Case& c : cases) {
        Canvas canvas(48, 32, kGreen);
        EXPECT_EQ(CKwBitmapButton::DrawTransparent(src, 0, 0, c.srcW, 10, canvas.dc(), c.x, c.y, c.w, c.h,
                                                   RGB(0, 0, 255)),
                  c.drawn)
            << c.name;
        for (const Probe& p : c.probes) EXPECT_EQ(canvas.At(p.x, p.y), p.colour) << c.name << " " << p.x << "," << p.y;
    }
}

// WM_PRINTCLIENT makes the button paint as for WM_PAINT, into a surface of
// ours: the draw goes through the dialog's WM_DRAWITEM to the button.
TEST_F(KwBitmapButtonTest, DrawsTheCurrentPictureOverAWhiteBackground) {
    CKwBitmapButton& round = dialog->round;
    Canvas canvas(16, 10, kGreen);
    round.Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    EXPECT_EQ(canvas.At(0, 0), kWhite);
    EXPECT_EQ(canvas.At(8, 5), kFace);
    EXPECT_EQ(canvas.At(4, 0), kNearKey);

    Mouse(round, WM_LBUTTONDOWN, 8, 5, MK_LBUTTON);
    canvas.Fill(kGreen);
    round.Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    EXPECT_EQ(canvas.At(0, 0), kWhite);
    EXPECT_EQ(canvas.At(8, 5), kFacePressed);
    Mouse(round, WM_LBUTTONUP, 8, 5);
    canvas.Fill(kGreen);
    round.Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    EXPECT_EQ(canvas.At(8, 5), kFaceHover);
    Leave(round);

    // Draw requests that are not a bitmap button's are left to the dialog.
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.hwndItem = ::GetDlgItem(*dialog, IDC_MISSING);
    dis.hDC = canvas.dc();
    dis.rcItem = RECT{0, 0, 16, 10};
    canvas.Fill(kGreen);
    EXPECT_FALSE(CKwBitmapButton::ReflectDrawItem(reinterpret_cast<LPARAM>(&dis)));
    dis.hwndItem = round.Handle();
    dis.CtlType = ODT_LISTBOX;
    EXPECT_FALSE(CKwBitmapButton::ReflectDrawItem(reinterpret_cast<LPARAM>(&dis)));
    EXPECT_EQ(canvas.At(0, 0), kGreen);
}

// A parent surface with a picture: the background is the part of it that
// the button covers, over the whole button even when the button was made
// larger than its picture.
TEST_F(KwBitmapButtonTest, BackgroundComesFromTheParentsPicture) {
    ::DestroyWindow(*dialog);
    ::DeleteDC(surface);
    surface = nullptr;
    // Each pixel's red and green tell where it is.
    Canvas parent(256, 256, kGreen);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) ::SetPixelV(parent.dc(), x, y, RGB(x, y, 77));
    dialog = std::make_unique<CTestDialog>(parent.dc());
    ASSERT_TRUE(dialog->CreateModeless(nullptr));
    CKwBitmapButton& round = dialog->round;
    ASSERT_EQ(dialog->roundLoaded, 1);

    RECT self{}, whole{};
    ::GetWindowRect(round, &self);
    ::GetWindowRect(*dialog, &whole);
    const int left = self.left - whole.left, top = self.top - whole.top;
    ASSERT_LT(left + 20, 256);
    ASSERT_LT(top + 12, 256);

    ::SetWindowPos(round, nullptr, 0, 0, 20, 12, SWP_NOMOVE | SWP_NOZORDER);
    Canvas canvas(20, 12, kGreen);
    round.Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    EXPECT_EQ(canvas.At(0, 0), RGB(left, top, 77));
    EXPECT_EQ(canvas.At(19, 11), RGB(left + 19, top + 11, 77));
    EXPECT_EQ(canvas.At(16, 5), RGB(left + 16, top + 5, 77));
    EXPECT_EQ(canvas.At(8, 5), kFace);
    EXPECT_EQ(canvas.At(4, 0), kNearKey);
    ::DestroyWindow(*dialog);  // before the surface goes
}

TEST_F(KwBitmapButtonTest, DestroyingTheDialogReleasesTheButtons) {
    const HWND window = *dialog;
    EXPECT_EQ(win::CWindow::FromHandle(window), dialog.get());
    ::DestroyWindow(window);
    EXPECT_EQ(dialog->Handle(), nullptr);
    for (CKwBitmapButton* b : {&dialog->round, &dialog->allKey}) {
        EXPECT_EQ(b->Handle(), nullptr);
        for (Image image : {Image::Normal, Image::Pressed, Image::Hover}) EXPECT_EQ(b->Surface(image), nullptr);
        EXPECT_FALSE(b->HitTest(POINT{8, 5}));
    }
}

}  // namespace
}  // namespace ub
