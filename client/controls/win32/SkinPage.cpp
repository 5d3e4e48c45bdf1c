#include "client/controls/win32/SkinPage.h"

#include <algorithm>

#include "client/controls/PageLayouts.h"

namespace ub {
namespace {

HBRUSH WhiteBrush() { return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)); }

bool IsPicture(HWND control) {
    if (!control) return false;
    char cls[32] = "";
    ::GetClassNameA(control, cls, sizeof cls);
    return lstrcmpiA(cls, "Button") == 0 &&
           (::GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
}

}  // namespace

CSkinPage::~CSkinPage() {
    m_buttons.clear();
    if (m_surface) ::DeleteDC(m_surface);
}

CKwBitmapButton* CSkinPage::Button(int id) const {
    HWND control = ::GetDlgItem(m_hWnd, id);
    for (const auto& b : m_buttons)
        if (b->Handle() == control) return b.get();
    return nullptr;
}

bool CSkinPage::Skin(int id) {
    auto button = std::make_unique<CKwBitmapButton>();
    if (!button->AutoLoad(id, m_surface, m_hWnd)) return false;
    m_buttons.push_back(std::move(button));
    return true;
}

void CSkinPage::Place(int id, int x, int y, int cx, int cy) {
    ::SetWindowPos(::GetDlgItem(m_hWnd, id), nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSkinPage::Layout() {
    if (const PageLayout* layout = FindPageLayout(TemplateId())) {
        const bool sparse = layout->range == IdRange::Sparse;
        const int pictures = layout->PictureRectCount();
        int next = 0;
        for (int id = layout->firstId; id <= layout->lastId && next < pictures; ++id) {
            if (sparse && !::GetDlgItem(m_hWnd, id)) continue;  // uses no rectangle
            if (!Skin(id)) {
                if (sparse) continue;
                break;  // a closed range stops at the first failure
            }
            const LayoutRect& r = layout->rects[next++];
            Place(id, r.x, r.y, r.width, r.height);
        }
        // Edit fields take the rectangles after the last picture placed.
        for (int e = 0; e < layout->editCount && next < layout->rectCount; ++e) {
            const LayoutRect& r = layout->rects[next++];
            Place(layout->editIds[e], r.x, r.y, r.width, r.height);
        }
        for (int f = 0; f < layout->fixedCount; ++f) {
            const ControlPlacement& c = layout->fixed[f];
            if (IsPicture(::GetDlgItem(m_hWnd, c.id))) Skin(c.id);
            Place(c.id, c.rect.x, c.rect.y, c.rect.width, c.rect.height);
        }
        return;
    }
    // No table: the pictures are skinned where the template put them.
    std::vector<int> ids;
    for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (IsPicture(c)) ids.push_back(::GetDlgCtrlID(c));
    std::sort(ids.begin(), ids.end());
    for (int id : ids) Skin(id);
}

BOOL CSkinPage::OnInitDialog() {
    m_surface = ::CreateCompatibleDC(nullptr);
    Layout();
    return TRUE;
}

INT_PTR CSkinPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: {
            RECT r = ClientRect();
            ::FillRect(reinterpret_cast<HDC>(wp), &r, WhiteBrush());
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORDLG:
            ::SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
            return reinterpret_cast<INT_PTR>(WhiteBrush());
        case WM_DRAWITEM:
            if (CKwBitmapButton::ReflectDrawItem(lp)) return TRUE;
            break;
    }
    return CDialog::DialogProc(msg, wp, lp);
}

bool CSkinBox::OnCommand(int id, int code, HWND) {
    if (id != m_cancelId || code != BN_CLICKED) return false;
    EndDialog(IDCANCEL);
    return true;
}

}  // namespace ub
