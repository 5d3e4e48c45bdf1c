// The base of every page: a dialog from its template whose picture
// controls become bitmap buttons, with a white background and the page
// contract the frame and the refresh use. Enter and Escape do nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "client/controls/win32/KwBitmapButton.h"
#include "client/controls/win32/Window.h"

namespace ub {

class CSkinPage : public win::CDialog {
public:
    explicit CSkinPage(int templateId) : CDialog(templateId) {}
    ~CSkinPage() override;

    // The page contract; each result is ignored by the callers.
    virtual int ShowContext(uintptr_t parameter) {
        (void)parameter;
        return 0;
    }
    virtual int OnTablesChanged(int mode, uintptr_t parameter) {
        (void)mode, (void)parameter;
        return 0;
    }
    virtual int Reselect(uintptr_t value) {
        (void)value;
        return 0;
    }
    // A snapshot replaced every record and entry: the page lets go of the
    // ones it points to (its context, its rows' data).
    virtual void ForgetRecords() {}

    // The bitmap button of a control id, or null.
    CKwBitmapButton* Button(int id) const;

protected:
    INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

    // Makes one control a bitmap button; false when it cannot be one.
    bool Skin(int id);
    // The page's layout: by its table when it has one, otherwise every
    // owner-drawn control in id order stays where its template put it.
    virtual void Layout();
    // Places a control without changing the z-order.
    void Place(int id, int x, int y, int cx, int cy);

    HDC m_surface = nullptr;
    std::vector<std::unique_ptr<CKwBitmapButton>> m_buttons;
};

// A modal skinned box: Escape and its own Cancel picture end it.
class CSkinBox : public CSkinPage {
public:
    CSkinBox(int templateId, int cancelId) : CSkinPage(templateId), m_cancelId(cancelId) {}

protected:
    void OnCancel() override { EndDialog(IDCANCEL); }
    bool OnCommand(int id, int code, HWND control) override;

private:
    int m_cancelId;
};

}  // namespace ub
