#include "client/controls/win32/Window.h"

namespace ub::win {
namespace {

// The window's object, kept as a window property so that created,
// subclassed and dialog windows are found the same way.
const char kObjectProperty[] = "UbWindowObject";

}  // namespace

HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

CWindow::~CWindow() {
    if (m_hWnd) {
        // The object goes first: messages of the dying window must not reach it.
        Detach();
    }
}

CWindow* CWindow::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CWindow*>(::GetPropA(hwnd, kObjectProperty)) : nullptr;
}

void CWindow::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetPropA(hwnd, kObjectProperty, this);
}

void CWindow::Detach() {
    if (!m_hWnd) return;
    if (m_superProc) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
        m_superProc = nullptr;
    }
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

bool CWindow::RegisterClass(const char* className, UINT style, HICON icon, HCURSOR cursor, HBRUSH background) {
    WNDCLASSA existing;
    if (::GetClassInfoA(Instance(), className, &existing)) return true;
    WNDCLASSA wc{};
    wc.style = style;
    wc.lpfnWndProc = StaticProc;
    wc.hInstance = Instance();
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return ::RegisterClassA(&wc) != 0;
}

HWND CWindow::Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int cx,
                     int cy, HWND parent, HMENU menuOrId) {
    return ::CreateWindowExA(exStyle, className, title, style, x, y, cx, cy, parent, menuOrId, Instance(), this);
}

bool CWindow::Subclass(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandle(hwnd)) return false;
    Attach(hwnd);
    m_superProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticProc)));
    if (!m_superProc) {
        ::RemovePropA(hwnd, kObjectProperty);
        m_hWnd = nullptr;
        return false;
    }
    return true;
}

void CWindow::Unsubclass() { Detach(); }

void CWindow::Destroy() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

LRESULT CWindow::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (m_superProc) return ::CallWindowProcA(m_superProc, m_hWnd, msg, wp, lp);
    return ::DefWindowProcA(m_hWnd, msg, wp, lp);
}

LRESULT CALLBACK CWindow::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CWindow* self = FromHandle(hwnd);
    if (!self && msg == WM_NCCREATE) {
        self = static_cast<CWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        if (self) self->Attach(hwnd);
    }
    if (!self) return ::DefWindowProcA(hwnd, msg, wp, lp);
    // Nothing escapes into the system's code: a failed handler (out of
    // memory) leaves the message unhandled.
    LRESULT r = 0;
    try {
        r = self->WindowProc(msg, wp, lp);
    } catch (...) {
    }
    if (msg == WM_NCDESTROY) {
        if (self->m_hWnd == hwnd) self->Detach();
        self->OnFinalMessage();
    }
    return r;
}

HWND CDialog::CreateModeless(HWND parent) {
    return ::CreateDialogParamA(Instance(), MAKEINTRESOURCEA(m_templateId), parent, StaticDialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DoModal(HWND parent) {
    return ::DialogBoxParamA(Instance(), MAKEINTRESOURCEA(m_templateId), parent, StaticDialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
    (void)lp;
    switch (msg) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND: {
            int id = LOWORD(wp);
            if (id == IDOK) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
            return OnCommand(id, HIWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CDialog* self = static_cast<CDialog*>(FromHandle(hwnd));
    if (!self && msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        if (self) {
            self->m_hWnd = hwnd;
            ::SetPropA(hwnd, kObjectProperty, self);
        }
    }
    if (!self) return FALSE;
    INT_PTR r = FALSE;
    try {
        r = self->DialogProc(msg, wp, lp);
    } catch (...) {
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropA(hwnd, kObjectProperty);
        self->m_hWnd = nullptr;
        self->OnFinalMessage();
    }
    return r;
}

}  // namespace ub::win
