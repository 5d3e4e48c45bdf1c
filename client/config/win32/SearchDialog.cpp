#include "client/config/win32/SearchDialog.h"

#include <cstring>
#include <string>

#include "client/res/resource.h"

namespace ub {
namespace {

constexpr int kWidth = 400, kHeight = 180;

// CharUpperBuffA works in place, so the length stays.
std::string LocaleUpper(const char* text, size_t length) {
    std::string upper(text, length);
    if (length) ::CharUpperBuffA(&upper[0], DWORD(length));
    return upper;
}

}  // namespace

SearchRules LocaleSearchRules() {
    SearchRules rules;
    rules.upperCase = [](const std::string& text) { return LocaleUpper(text.data(), text.size()); };
    // Letter case is ignored by the rule that upper-cased the text: the name
    // is upper-cased the same way, then compared byte for byte.
    rules.sameName = [](const std::string& upperText, const char* name) {
        size_t length = std::strlen(name);
        return length == upperText.size() && LocaleUpper(name, length) == upperText;
    };
    return rules;
}

CSearchDialog::CSearchDialog(CTreeController& controller, TreeItem processes)
    : CSkinBox(IDD_SEARCH, IDC_SEARCH_CANCEL),
      m_controller(controller),
      m_search(controller.Tree(), processes, m_prompt, LocaleSearchRules()) {}

BOOL CSearchDialog::OnInitDialog() {
    m_prompt.SetOwner(m_hWnd);
    return CSkinBox::OnInitDialog();
}

void CSearchDialog::Layout() {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CSkinPage::Layout();
}

bool CSearchDialog::OnCommand(int id, int code, HWND control) {
    if (id == IDC_SEARCH_OK && code == BN_CLICKED) {
        Search();
        return true;
    }
    return CSkinBox::OnCommand(id, code, control);
}

void CSearchDialog::Search() {
    // Not inside a refresh or a list operation (a click in one of their
    // boxes): the tree's records may be freed until it is over.
    if (m_controller.Busy()) return;
    HWND edit = Item(IDC_SEARCH_TEXT);
    std::string text(size_t(::GetWindowTextLengthA(edit)) + 1, '\0');
    text.resize(size_t(::GetWindowTextA(edit, &text[0], int(text.size()))));
    m_search.FindNext(text);
}

}  // namespace ub
