// The client's small window layer: a window object owns one HWND and gets
// its messages through one virtual procedure; subclassed controls and
// dialogs (modeless pages and modal boxes) use the same object model.
// Classes dispatch in their WindowProc with a switch over the messages they
// handle and pass the rest to DefaultProc.
#pragma once

#include <windows.h>

namespace ub::win {

class CWindow {
public:
    CWindow() = default;
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;
    virtual ~CWindow();

    HWND Handle() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object of a window made or subclassed by this layer, else null.
    static CWindow* FromHandle(HWND hwnd);

    // Registers (once) a window class whose procedure is this layer's.
    static bool RegisterClass(const char* className, UINT style = 0, HICON icon = nullptr, HCURSOR cursor = nullptr,
                              HBRUSH background = nullptr);
    // Creates a window of a class registered above; the object receives
    // every message from WM_NCCREATE on.
    HWND Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                HWND parent, HMENU menuOrId);
    // Takes over an existing window (a dialog's control): its messages come
    // here first, DefaultProc passes them to the original procedure.
    bool Subclass(HWND hwnd);
    bool SubclassDlgItem(int id, HWND dialog) { return Subclass(::GetDlgItem(dialog, id)); }
    // Gives the window back to its original procedure.
    void Unsubclass();
    void Destroy();

    // Thin one-liners.
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_hWnd, msg, wp, lp); }
    BOOL Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageA(m_hWnd, msg, wp, lp); }
    BOOL Show(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL Move(int x, int y, int cx, int cy, BOOL repaint = TRUE) const {
        return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint);
    }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    RECT ClientRect() const {
        RECT r{};
        ::GetClientRect(m_hWnd, &r);
        return r;
    }

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) { return DefaultProc(msg, wp, lp); }
    // The original procedure of a subclassed window, else DefWindowProc.
    virtual LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
    // After WM_NCDESTROY; the handle is already detached.
    virtual void OnFinalMessage() {}

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Attach(HWND hwnd);
    void Detach();

    WNDPROC m_superProc = nullptr;
};

// A dialog from a template: modeless (a page) or modal. Messages reach
// DialogProc; returning FALSE lets the dialog manager do its default.
class CDialog : public CWindow {
public:
    explicit CDialog(int templateId) : m_templateId(templateId) {}
    int TemplateId() const { return m_templateId; }

    HWND CreateModeless(HWND parent);
    INT_PTR DoModal(HWND parent);
    void EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

protected:
    virtual INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp);
    virtual BOOL OnInitDialog() { return TRUE; }
    // Enter and Escape; a modal box ends, a page may override to stay.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_COMMAND other than OK and Cancel; true when handled.
    virtual bool OnCommand(int id, int code, HWND control) {
        (void)id, (void)code, (void)control;
        return false;
    }

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 0; }  // dialogs use DialogProc

    int m_templateId;
};

// The program's module, for resources.
HINSTANCE Instance();

}  // namespace ub::win
