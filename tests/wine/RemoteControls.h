// Tree and list controls of the client's process, driven from the test
// through their messages: structures and texts travel in a buffer that is
// allocated in the client's memory, since a pointer into this process means
// nothing there.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace ub::wine {

// The tree control of another process: handles travel in messages as they
// are; item texts are read through a buffer in the client's memory.
class CRemoteTree {
public:
    ~CRemoteTree() { Release(); }
    // Also after a restart of the client: the old process's buffer goes.
    bool Attach(HWND tree) {
        Release();
        m_tree = tree;
        DWORD pid = 0;
        ::GetWindowThreadProcessId(tree, &pid);
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!m_process) return false;
        m_remote = static_cast<char*>(::VirtualAllocEx(m_process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
        return m_remote != nullptr;
    }
    HTREEITEM Next(HTREEITEM item, UINT code) const {
        return reinterpret_cast<HTREEITEM>(
            ::SendMessageA(m_tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    }
    HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
    HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
    HTREEITEM Parent(HTREEITEM item) const { return Next(item, TVGN_PARENT); }
    std::vector<HTREEITEM> Children(HTREEITEM parent) const {
        std::vector<HTREEITEM> kids;
        for (HTREEITEM k = Next(parent, TVGN_CHILD); k; k = Next(k, TVGN_NEXT)) kids.push_back(k);
        return kids;
    }
    std::string Text(HTREEITEM item) const {
        TVITEMA it{};
        it.mask = TVIF_TEXT;
        it.hItem = item;
        it.pszText = m_remote + 512;
        it.cchTextMax = 512;
        SIZE_T n = 0;
        if (!::WriteProcessMemory(m_process, m_remote, &it, sizeof it, &n)) return "<unwritable>";
        if (!::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(m_remote))) return "<no item>";
        char text[513] = "";
        ::ReadProcessMemory(m_process, m_remote + 512, text, 512, &n);
        return text;
    }
    std::vector<std::string> ChildTexts(HTREEITEM parent) const {
        std::vector<std::string> texts;
        for (HTREEITEM k : Children(parent)) texts.push_back(Text(k));
        return texts;
    }
    HTREEITEM Child(HTREEITEM parent, const std::string& text) const {
        for (HTREEITEM k : Children(parent))
            if (lstrcmpiA(Text(k).c_str(), text.c_str()) == 0) return k;
        return nullptr;
    }
    UINT State(HTREEITEM item) const {
        return UINT(::SendMessageA(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_BOLD | TVIS_CUT));
    }
    bool Select(HTREEITEM item) const {
        return ::SendMessageA(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
    }
    int Image(HTREEITEM item) const {
        TVITEMA it{};
        it.mask = TVIF_IMAGE;
        it.hItem = item;
        SIZE_T n = 0;
        if (!::WriteProcessMemory(m_process, m_remote, &it, sizeof it, &n) ||
            !::SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(m_remote)) ||
            !::ReadProcessMemory(m_process, m_remote, &it, sizeof it, &n))
            return -1;
        return it.iImage;
    }
    HIMAGELIST Images() const {
        return reinterpret_cast<HIMAGELIST>(::SendMessageA(m_tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    }

private:
    void Release() {
        if (m_remote) ::VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
        m_remote = nullptr;
        m_process = nullptr;
    }

    HWND m_tree = nullptr;
    HANDLE m_process = nullptr;
    char* m_remote = nullptr;
};

using Rows = std::vector<std::vector<std::string>>;

// The report-view list of a page in another process. Messages that carry a
// structure get it in a buffer in the client's memory: 0 holds the
// structure, kTextAt the text the control fills in.
class CRemoteList {
public:
    ~CRemoteList() {
        if (m_remote) ::VirtualFreeEx(m_process, m_remote, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
    }
    bool Attach(HWND list) {
        m_list = list;
        DWORD pid = 0;
        if (!list || !::GetWindowThreadProcessId(list, &pid)) return false;
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!m_process) return false;
        m_remote = static_cast<char*>(::VirtualAllocEx(m_process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
        return m_remote != nullptr;
    }
    HWND Window() const { return m_list; }

    int ColumnCount() const {
        HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER, 0, 0));
        return int(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    }
    // Heading and alignment of a column.
    std::string Heading(int column, int* format = nullptr) const {
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT | LVCF_FMT;
        c.pszText = m_remote + kTextAt;
        c.cchTextMax = kTextMax;
        if (!ClearText() || !Put(&c, sizeof c) || !Send(LVM_GETCOLUMNA, column, LPARAM(m_remote)) || !Get(&c, sizeof c))
            return "<no column>";
        if (format) *format = c.fmt;
        return Text();
    }
    int Width(int column) const { return int(Send(LVM_GETCOLUMNWIDTH, column, 0)); }
    DWORD ExtendedStyle() const { return DWORD(Send(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)); }
    HIMAGELIST SmallImages() const { return reinterpret_cast<HIMAGELIST>(Send(LVM_GETIMAGELIST, LVSIL_SMALL, 0)); }

    int Count() const { return int(Send(LVM_GETITEMCOUNT, 0, 0)); }
    std::string Cell(int row, int column) const {
        LVITEMA it{};
        it.iSubItem = column;
        it.pszText = m_remote + kTextAt;
        it.cchTextMax = kTextMax;
        if (!ClearText() || !Put(&it, sizeof it)) return "<unwritable>";
        Send(LVM_GETITEMTEXTA, row, LPARAM(m_remote));
        return Text();
    }
    std::vector<std::string> Row(int row) const {
        std::vector<std::string> cells;
        for (int c = 0, n = ColumnCount(); c < n; ++c) cells.push_back(Cell(row, c));
        return cells;
    }
    Rows AllRows() const {
        Rows rows;
        for (int r = 0, n = Count(); r < n; ++r) rows.push_back(Row(r));
        return rows;
    }
    // The row whose first column reads `text`, or -1.
    int Find(const std::string& text) const {
        for (int r = 0, n = Count(); r < n; ++r)
            if (Cell(r, 0) == text) return r;
        return -1;
    }
    int Image(int row) const {
        LVITEMA it{};
        it.mask = LVIF_IMAGE;
        it.iItem = row;
        if (!Put(&it, sizeof it) || !Send(LVM_GETITEMA, 0, LPARAM(m_remote)) || !Get(&it, sizeof it)) return -2;
        return it.iImage;
    }

    // The row's bounds in the list's client coordinates.
    bool ItemRect(int row, RECT* rect) const {
        RECT r{};
        r.left = LVIR_BOUNDS;
        return Put(&r, sizeof r) && Send(LVM_GETITEMRECT, WPARAM(row), LPARAM(m_remote)) && Get(rect, sizeof *rect);
    }
    int FirstSelected() const { return int(Send(LVM_GETNEXTITEM, WPARAM(-1), MAKELPARAM(LVNI_SELECTED, 0))); }
    int SelectedCount() const { return int(Send(LVM_GETSELECTEDCOUNT, 0, 0)); }
    bool SelectOnly(int row) const {
        return SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED) &&
               SetState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    bool SelectAll() const { return SetState(-1, LVIS_SELECTED, LVIS_SELECTED); }

    // A press and release in the middle of a column's heading: the header
    // tells the list, which tells the page, all inside the client.
    void ClickHeading(int column) const {
        HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER, 0, 0));
        int x = Width(column) / 2;
        for (int c = 0; c < column; ++c) x += Width(c);
        RECT r{};
        ::GetClientRect(header, &r);
        LPARAM at = MAKELPARAM(x, r.bottom / 2);
        ::SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageA(header, WM_LBUTTONUP, 0, at);
    }

private:
    static constexpr int kTextAt = 1024;
    static constexpr int kTextMax = 1024;

    LRESULT Send(UINT msg, WPARAM wp, LPARAM lp) const { return ::SendMessageA(m_list, msg, wp, lp); }
    bool Put(const void* data, size_t size) const {
        SIZE_T n = 0;
        return ::WriteProcessMemory(m_process, m_remote, data, size, &n) && n == size;
    }
    bool Get(void* data, size_t size) const {
        SIZE_T n = 0;
        return ::ReadProcessMemory(m_process, m_remote, data, size, &n) && n == size;
    }
    // The text the control wrote; the buffer is cleared before each use, so
    // a call that writes nothing reads as "".
    std::string Text() const {
        char text[kTextMax + 1] = "";
        SIZE_T n = 0;
        ::ReadProcessMemory(m_process, m_remote + kTextAt, text, kTextMax, &n);
        return text;
    }
    bool ClearText() const {
        SIZE_T n = 0;
        const char nothing = 0;
        return ::WriteProcessMemory(m_process, m_remote + kTextAt, &nothing, 1, &n) && n == 1;
    }
    bool SetState(int row, UINT state, UINT mask) const {
        LVITEMA it{};
        it.state = state;
        it.stateMask = mask;
        return Put(&it, sizeof it) && Send(LVM_SETITEMSTATE, WPARAM(row), LPARAM(m_remote)) != 0;
    }

    HWND m_list = nullptr;
    HANDLE m_process = nullptr;
    char* m_remote = nullptr;
};

}  // namespace ub::wine
