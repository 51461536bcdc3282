#include "console/widgets/property_grid.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "core/console/property_rows.h"
#include "win32/handles.h"
#include "win32/module.h"
#include "win32/subclass.h"
#include "win32/window.h"

namespace tlx::widgets {

namespace {

using tlx::win32::GdiObject;
using tlx::win32::MemoryDc;
using tlx::win32::Selection;
using Row = tlx::console::PropertyRow;
using tlx::console::GridKey;
using tlx::console::kGridGutter;
using tlx::console::kGridTextInset;

constexpr UINT_PTR kEditorId = 1;

// Dialog templates name the grid by its class: each of its windows owns a Grid.
constexpr tlx::win32::WindowClass kGridClass{PropertyGrid::kClassName,
                                             CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW};

// The state of one grid window, made with the window and gone with it.
class Grid : public tlx::win32::Wnd {
  public:
    // The state behind a view, or null when the window is no grid.
    static Grid* OfView(HWND hwnd) { return Wnd::Of<Grid>(hwnd); }

    void Add(Row row) {
        rows_.Add(std::move(row));
        MeasureCaptions();
        UpdateScroll();
        InvalidateRect(hwnd(), nullptr, FALSE);
    }
    int Find(std::string_view name) const { return rows_.Find(name); }
    bool SetValue(int row, std::string_view value) {
        if (row < 0) return false;
        if (row == editing_) EndEdit(false);
        rows_[row].value = value;
        InvalidateRect(hwnd(), nullptr, FALSE);
        return true;
    }
    std::optional<std::string> Value(int row) const {
        if (row < 0) return std::nullopt;
        return rows_[row].value;
    }
    void EndEdit(bool keep, bool refocus);
    void EndEdit(bool keep) { EndEdit(keep, editing_ >= 0 && GetFocus() == editor_); }

  protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnCreate() override;
    void OnPaint(HDC dc, const PAINTSTRUCT&) override;
    void OnSize(int, int) override {
        UpdateScroll();
        PlaceEditor();
    }

  private:
    LRESULT EditorMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    bool EditorKey(UINT vk);

    int Width() const { return tlx::win32::Window(hwnd()).ClientRect().right; }
    int VisibleRows() const {
        return tlx::console::VisibleRows(tlx::win32::Window(hwnd()).ClientRect().bottom,
                                         row_height_);
    }
    int Count() const { return rows_.Count(); }
    bool Editable(int row) const { return rows_.Editable(row); }
    int Split() const { return tlx::console::SplitAt(split_, Width(), widest_caption_); }
    int RowTop(int row) const { return (row - top_) * row_height_; }
    int RowAt(int y) const { return tlx::console::RowAt(y, top_, row_height_, Count()); }
    bool NearSplit(int x) const { return tlx::console::NearSplit(x, Split()); }
    void SelectFor(GridKey key) {
        Select(tlx::console::RowForKey(key, selected_, Count(), VisibleRows()));
    }

    void SetFont(HFONT font);
    void MeasureCaptions();
    void PaintRow(HDC dc, int row, int width) const;
    void Select(int row);
    void ScrollTo(int top);
    void UpdateScroll();
    void PlaceEditor() const;
    void BeginEdit(int row);
    // Closes the editor and opens it on the next editable row in `step`'s direction (the same
    // row at either end).
    void EditNext(int step);
    void Notify(int row) const;

    HWND editor_ = nullptr;
    tlx::win32::Subclass editor_keys_;
    tlx::console::PropertyRows rows_;
    HFONT font_ = nullptr;
    GdiObject<HFONT> bold_;
    int row_height_ = 16;
    int selected_ = -1;
    int top_ = 0;
    int editing_ = -1;
    int split_ = -1;  // -1 until the operator drags it
    int widest_caption_ = 0;
    bool dragging_ = false;
};

bool Grid::OnCreate() {
    editor_ =
        CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 0, 0, hwnd(),
                        reinterpret_cast<HMENU>(kEditorId), tlx::win32::ThisModule(), nullptr);
    if (!editor_) return false;
    editor_keys_ = tlx::win32::Subclass(editor_, this, &Grid::EditorMessage);
    SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    return true;
}

LRESULT Grid::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SETFONT:
            SetFont(reinterpret_cast<HFONT>(wp));
            if (LOWORD(lp)) InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_SETFOCUS:
            // Coming in by keyboard, the first value is where the operator starts.
            if (selected_ < 0) Select(rows_.NextEditable(-1, 1));
            [[fallthrough]];
        case WM_KILLFOCUS:
        case WM_ENABLE:
            InvalidateRect(hwnd(), nullptr, FALSE);
            return 0;
        case WM_GETDLGCODE: {
            // Arrows and typing are the grid's; Enter too when it opens an editor.
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            const MSG* m = reinterpret_cast<const MSG*>(lp);
            if (m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN && Editable(selected_))
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_KEYDOWN:
            switch (wp) {
                case VK_UP:
                    SelectFor(GridKey::kUp);
                    return 0;
                case VK_DOWN:
                    SelectFor(GridKey::kDown);
                    return 0;
                case VK_PRIOR:
                    SelectFor(GridKey::kPageUp);
                    return 0;
                case VK_NEXT:
                    SelectFor(GridKey::kPageDown);
                    return 0;
                case VK_HOME:
                    SelectFor(GridKey::kHome);
                    return 0;
                case VK_END:
                    SelectFor(GridKey::kEnd);
                    return 0;
                case VK_F2:
                case VK_RETURN:
                    BeginEdit(selected_);
                    return 0;
                default:
                    break;
            }
            break;
        case WM_CHAR:
            // Typing on a row starts its editor with what was typed.
            if (tlx::console::StartsEditing(static_cast<unsigned>(wp)) && Editable(selected_)) {
                BeginEdit(selected_);
                const char typed[2] = {static_cast<char>(wp), '\0'};
                SetWindowTextA(editor_, typed);
                tlx::win32::Edit(editor_).Select(1, 1);
            }
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
            SetFocus(hwnd());  // keeps what an open editor holds
            if (NearSplit(x)) {
                dragging_ = true;
                SetCapture(hwnd());
                return 0;
            }
            const int row = RowAt(y);
            if (row < 0) return 0;
            Select(row);
            if (x > Split() || msg == WM_LBUTTONDBLCLK) {
                BeginEdit(row);
                // The click goes on to the editor, so the caret lands where it was.
                if (editing_ == row && x > Split()) {
                    RECT r{};
                    GetWindowRect(editor_, &r);
                    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
                    SendMessageA(editor_, WM_LBUTTONDOWN, wp, MAKELPARAM(x - r.left, y - r.top));
                }
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            if (dragging_) {
                split_ = tlx::console::DraggedSplit(GET_X_LPARAM(lp), Width());
                PlaceEditor();
                InvalidateRect(hwnd(), nullptr, FALSE);
            }
            return 0;
        case WM_LBUTTONUP:
            if (dragging_) ReleaseCapture();
            return 0;
        case WM_CAPTURECHANGED:
            dragging_ = false;
            return 0;
        case WM_SETCURSOR: {
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(hwnd(), &p);
            if (LOWORD(lp) == HTCLIENT && (dragging_ || NearSplit(p.x))) {
                SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
                return TRUE;
            }
            break;
        }
        case WM_VSCROLL: {
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_ALL;
            GetScrollInfo(hwnd(), SB_VERT, &info);
            const int page = VisibleRows();
            switch (LOWORD(wp)) {
                case SB_LINEUP:
                    ScrollTo(top_ - 1);
                    break;
                case SB_LINEDOWN:
                    ScrollTo(top_ + 1);
                    break;
                case SB_PAGEUP:
                    ScrollTo(top_ - page);
                    break;
                case SB_PAGEDOWN:
                    ScrollTo(top_ + page);
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    ScrollTo(info.nTrackPos);
                    break;
                case SB_TOP:
                    ScrollTo(0);
                    break;
                case SB_BOTTOM:
                    ScrollTo(Count());
                    break;
                default:
                    break;
            }
            return 0;
        }
        case WM_MOUSEWHEEL:
            ScrollTo(top_ - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA);
            return 0;
        default:
            break;
    }
    return Wnd::OnMessage(msg, wp, lp);
}

LRESULT Grid::EditorMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    using tlx::win32::Subclass;
    switch (msg) {
        case WM_GETDLGCODE:
            // Enter, Escape, Tab and the arrows end or move the edit, not the dialog.
            return Subclass::Next(hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
            if (EditorKey(static_cast<UINT>(wp))) return 0;
            break;
        case WM_CHAR:
            if (wp == '\r' || wp == '\t' || wp == 0x1B) return 0;  // no beep
            break;
        case WM_KILLFOCUS:
            EndEdit(true, false);
            break;
        default:
            break;
    }
    return Subclass::Next(hwnd, msg, wp, lp);
}

bool Grid::EditorKey(UINT vk) {
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (vk) {
        case VK_RETURN:
        case VK_ESCAPE:
            EndEdit(vk == VK_RETURN, true);
            return true;
        case VK_TAB:
            EditNext(shift ? -1 : 1);
            return true;
        case VK_UP:
        case VK_DOWN:
            EditNext(vk == VK_UP ? -1 : 1);
            return true;
        default:
            return false;
    }
}

void Grid::MeasureCaptions() {
    widest_caption_ = 0;
    HDC screen = GetDC(hwnd());
    if (!screen) return;
    {
        Selection font(screen, font_);
        for (const Row& row : rows_) {
            SIZE size{};
            if (!row.category && GetTextExtentPoint32A(screen, row.caption.data(),
                                                       static_cast<int>(row.caption.size()), &size))
                widest_caption_ = std::max(widest_caption_, static_cast<int>(size.cx));
        }
    }
    ReleaseDC(hwnd(), screen);
}

void Grid::SetFont(HFONT font) {
    font_ = font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA bold{};
    GetObjectA(font_, sizeof bold, &bold);
    bold.lfWeight = FW_BOLD;
    bold_.Reset(CreateFontIndirectA(&bold));
    if (HDC screen = GetDC(hwnd())) {
        Selection chosen(screen, font_);
        TEXTMETRICA metrics{};
        GetTextMetricsA(screen, &metrics);
        row_height_ = metrics.tmHeight + metrics.tmExternalLeading + 3;
        ReleaseDC(hwnd(), screen);
    }
    MeasureCaptions();
    SendMessageA(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageA(editor_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(kGridTextInset - 1, 1));
    UpdateScroll();
    PlaceEditor();
}

void Grid::OnPaint(HDC dc, const PAINTSTRUCT&) {
    const RECT client = tlx::win32::Window(hwnd()).ClientRect();
    // Drawn aside and copied in one go, so nothing flickers while rows change.
    MemoryDc memory(CreateCompatibleDC(dc));
    GdiObject<HBITMAP> picture(CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (memory && picture) {
        Selection canvas(memory.Get(), picture.Get());
        FillRect(memory.Get(), &client, GetSysColorBrush(COLOR_WINDOW));
        const RECT gutter{0, 0, kGridGutter, client.bottom};
        FillRect(memory.Get(), &gutter, GetSysColorBrush(COLOR_3DFACE));
        SetBkMode(memory.Get(), TRANSPARENT);
        const int last = std::min(Count(), top_ + VisibleRows() + 1);
        for (int row = top_; row < last; ++row) PaintRow(memory.Get(), row, client.right);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
    }
}

void Grid::PaintRow(HDC dc, int index, int width) const {
    const Row& row = rows_[index];
    const int top = RowTop(index), bottom = top + row_height_;
    const bool enabled = IsWindowEnabled(hwnd()) != FALSE;
    const bool selected = index == selected_;
    const bool focused = GetFocus() == hwnd() || GetFocus() == editor_;
    const UINT text_format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
    SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    if (row.category) {
        RECT band{0, top, width, bottom};
        FillRect(dc, &band, GetSysColorBrush(selected && focused ? COLOR_HIGHLIGHT : COLOR_3DFACE));
        if (selected && focused) SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        band.left = kGridTextInset;
        Selection bold(dc, bold_.Get());
        DrawTextA(dc, row.caption.data(), static_cast<int>(row.caption.size()), &band, text_format);
        return;
    }
    const int split = Split();
    RECT caption{kGridGutter, top, split, bottom - 1};
    if (selected) {
        FillRect(dc, &caption, GetSysColorBrush(focused ? COLOR_HIGHLIGHT : COLOR_3DFACE));
        if (focused) SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    caption.left += kGridTextInset;
    caption.right -= 1;
    Selection font(dc, font_);
    DrawTextA(dc, row.caption.data(), static_cast<int>(row.caption.size()), &caption, text_format);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    RECT value{split + kGridTextInset, top, width - 1, bottom - 1};
    DrawTextA(dc, row.value.data(), static_cast<int>(row.value.size()), &value, text_format);
    // The grid's lines: under the row, and between the columns.
    const RECT under{kGridGutter, bottom - 1, width, bottom};
    const RECT between{split, top, split + 1, bottom};
    FillRect(dc, &under, GetSysColorBrush(COLOR_3DFACE));
    FillRect(dc, &between, GetSysColorBrush(COLOR_3DFACE));
}

void Grid::Select(int row) {
    if (row < 0 || row >= Count()) return;
    if (editing_ >= 0 && editing_ != row) EndEdit(true);
    selected_ = row;
    if (const int top = tlx::console::TopShowing(row, top_, VisibleRows()); top != top_)
        ScrollTo(top);
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void Grid::ScrollTo(int top) {
    top = tlx::console::ClampTop(top, Count(), VisibleRows());
    if (top == top_) return;
    EndEdit(true);
    top_ = top;
    UpdateScroll();
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void Grid::UpdateScroll() {
    top_ = tlx::console::ClampTop(top_, Count(), VisibleRows());
    // A page as large as the rows hides the bar.
    SCROLLINFO info{sizeof info,
                    SIF_RANGE | SIF_PAGE | SIF_POS,
                    0,
                    std::max(0, Count() - 1),
                    static_cast<UINT>(VisibleRows()),
                    top_,
                    0};
    SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
}

void Grid::PlaceEditor() const {
    if (editing_ < 0) return;
    const int split = Split();
    SetWindowPos(editor_, nullptr, split + 1, RowTop(editing_) + 1, Width() - split - 2,
                 row_height_ - 2, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Grid::BeginEdit(int row) {
    if (!Editable(row) || !IsWindowEnabled(hwnd())) return;
    if (editing_ != row) EndEdit(true, false);
    Select(row);
    editing_ = row;
    SetWindowTextA(editor_, rows_[row].value.c_str());
    PlaceEditor();
    ShowWindow(editor_, SW_SHOW);
    SetFocus(editor_);
    tlx::win32::Edit(editor_).Select(0, -1);
}

void Grid::EndEdit(bool keep, bool refocus) {
    if (editing_ < 0) return;
    // Marked closed first: taking the focus away below comes back here.
    const int row = std::exchange(editing_, -1);
    std::string text = tlx::win32::Window(editor_).Text();
    if (refocus) SetFocus(hwnd());
    ShowWindow(editor_, SW_HIDE);
    if (!keep || text == rows_[row].value) return;
    rows_[row].value = std::move(text);
    InvalidateRect(hwnd(), nullptr, FALSE);
    Notify(row);
}

void Grid::EditNext(int step) {
    const int target = rows_.EditTarget(editing_, step);
    EndEdit(true, true);
    BeginEdit(target);
}

void Grid::Notify(int row) const {
    PropertyChange change{};
    change.header.hwndFrom = hwnd();
    change.header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd()));
    change.header.code = PropertyGrid::kValueChanged;
    change.row = row;
    SendMessageA(GetParent(hwnd()), WM_NOTIFY, change.header.idFrom,
                 reinterpret_cast<LPARAM>(&change));
}

}  // namespace

bool PropertyGrid::Register() {
    return tlx::win32::Wnd::Register<Grid>(kGridClass);
}

void PropertyGrid::AddCategory(std::string_view caption) const {
    if (Grid* grid = Grid::OfView(hwnd())) grid->Add({true, {}, std::string(caption), {}});
}

void PropertyGrid::AddRow(std::string_view name, std::string_view caption,
                          std::string_view value) const {
    if (Grid* grid = Grid::OfView(hwnd()))
        grid->Add({false, std::string(name), std::string(caption), std::string(value)});
}

bool PropertyGrid::SetValue(std::string_view name, std::string_view value) const {
    Grid* grid = Grid::OfView(hwnd());
    return grid && grid->SetValue(grid->Find(name), value);
}

std::optional<std::string> PropertyGrid::Value(std::string_view name) const {
    const Grid* grid = Grid::OfView(hwnd());
    return grid ? grid->Value(grid->Find(name)) : std::nullopt;
}

void PropertyGrid::EndEditing(bool keep) const {
    if (Grid* grid = Grid::OfView(hwnd())) grid->EndEdit(keep);
}

}  // namespace tlx::widgets
