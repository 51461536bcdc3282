// Thin typed views of the controls the pages use: a value type over an HWND each, with one-line
// members over the controls' messages. They own nothing; the dialog owns its controls. Texts
// are ANSI, as everywhere in the console.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>
#include <string_view>

namespace tlx::win32 {

class Window {
  public:
    Window(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    HWND hwnd() const { return hwnd_; }
    operator HWND() const { return hwnd_; }
    explicit operator bool() const { return hwnd_ != nullptr; }

    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) const {
        return SendMessageA(hwnd_, msg, w, l);
    }
    bool Post(UINT msg, WPARAM w = 0, LPARAM l = 0) const {
        return PostMessageA(hwnd_, msg, w, l) != FALSE;
    }

    std::string Text() const;
    void SetText(std::string_view text) const;
    void Show(bool shown) const { ShowWindow(hwnd_, shown ? SW_SHOW : SW_HIDE); }
    bool Visible() const { return IsWindowVisible(hwnd_) != FALSE; }
    void Enable(bool enabled) const { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
    bool Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
    void SetFont(HFONT font, bool redraw = true) const {
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }
    void SetRedraw(bool on) const { Send(WM_SETREDRAW, on ? TRUE : FALSE); }
    RECT ClientRect() const {
        RECT r{};
        GetClientRect(hwnd_, &r);
        return r;
    }
    // The window's rectangle in the client coordinates of `other` (the screen for null).
    RECT RectIn(HWND other) const {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        MapWindowPoints(nullptr, other, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    bool Place(HWND after, int x, int y, int w, int h, UINT flags) const {
        return SetWindowPos(hwnd_, after, x, y, w, h, flags) != FALSE;
    }

  private:
    HWND hwnd_;
};

class Button : public Window {
  public:
    using Window::Window;
    bool Checked() const { return Send(BM_GETCHECK) == BST_CHECKED; }
    void SetChecked(bool on) const { Send(BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED); }
};

class Edit : public Window {
  public:
    using Window::Window;
    void LimitText(std::size_t chars) const { Send(EM_LIMITTEXT, chars); }
    void Select(int from, int to) const { Send(EM_SETSEL, from, to); }
};

class ComboBox : public Window {
  public:
    using Window::Window;
    int Add(std::string_view text) const;
    int Count() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    int Selected() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    void Select(int index) const { Send(CB_SETCURSEL, index); }
    std::string ItemText(int index) const;
    void Clear() const { Send(CB_RESETCONTENT); }
};

class TabControl : public Window {
  public:
    using Window::Window;
    int Count() const { return TabCtrl_GetItemCount(hwnd()); }
    int Selected() const { return TabCtrl_GetCurSel(hwnd()); }
    void Select(int index) const { TabCtrl_SetCurSel(hwnd(), index); }
    // Adds a tab after the last one.
    int Append(std::string_view title) const;
    void Clear() const { TabCtrl_DeleteAllItems(hwnd()); }
    // The page area inside the tabs, in the tab control's client coordinates.
    RECT DisplayArea() const {
        RECT r = ClientRect();
        TabCtrl_AdjustRect(hwnd(), FALSE, &r);
        return r;
    }
};

class ListView : public Window {
  public:
    using Window::Window;
    void AddExtendedStyle(DWORD style) const {
        ListView_SetExtendedListViewStyleEx(hwnd(), style, style);
    }
    bool InsertColumn(int index, std::string_view title, int width, int format = LVCFMT_LEFT) const;
    HWND Header() const { return ListView_GetHeader(hwnd()); }
    void SetImageList(HIMAGELIST images, int which = LVSIL_SMALL) const {
        ListView_SetImageList(hwnd(), images, which);
    }

    int Count() const { return ListView_GetItemCount(hwnd()); }
    // Owner-data lists: how many rows the list shows; the rows' texts are asked for when drawn.
    void SetVirtualCount(int rows, DWORD flags = LVSICF_NOINVALIDATEALL) const {
        ListView_SetItemCountEx(hwnd(), rows, flags);
    }
    // Returns the row's index, -1 when the list refused it.
    int InsertRow(int index, std::string_view text, int image = -1) const;
    void SetCell(int row, int column, std::string_view text) const;
    std::string Cell(int row, int column) const;
    int Image(int row) const;
    void SetImage(int row, int image) const;
    bool DeleteRow(int row) const { return ListView_DeleteItem(hwnd(), row) != FALSE; }
    void Clear() const { ListView_DeleteAllItems(hwnd()); }

    int Next(int after, UINT flags) const { return ListView_GetNextItem(hwnd(), after, flags); }
    int SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(hwnd())); }
    // The focused row, else the first selected one; -1 when there is none.
    int Current() const {
        const int focused = Next(-1, LVNI_FOCUSED);
        return focused >= 0 ? focused : Next(-1, LVNI_SELECTED);
    }
    UINT State(int row, UINT mask = LVIS_SELECTED | LVIS_FOCUSED) const {
        return ListView_GetItemState(hwnd(), row, mask);
    }
    void SetState(int row, UINT state, UINT mask) const {
        ListView_SetItemState(hwnd(), row, state, mask);
    }
    // Makes `row` the one selected and focused row (-1: none) and scrolls it into view.
    void SelectOnly(int row, int marked = -1) const;
    void EnsureVisible(int row) const { ListView_EnsureVisible(hwnd(), row, FALSE); }
    void Scroll(int dx, int dy) const { ListView_Scroll(hwnd(), dx, dy); }
};

}  // namespace tlx::win32
