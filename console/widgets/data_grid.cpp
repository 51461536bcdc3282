#include "console/widgets/data_grid.h"

#include <commctrl.h>

#include <algorithm>

#include "win32/handles.h"
#include "win32/text.h"

namespace tlx::console {

namespace {

// Where a list's scroll bars and their thumbs are drawn.
struct BarPlaces {
    RECT bar[2]{};
    int thumb[4]{};
    DWORD state[2]{};

    static BarPlaces Of(HWND list) {
        BarPlaces places;
        const LONG which[2] = {OBJID_VSCROLL, OBJID_HSCROLL};
        for (int i = 0; i < 2; ++i) {
            SCROLLBARINFO info{};
            info.cbSize = sizeof info;
            if (!GetScrollBarInfo(list, which[i], &info)) {
                places.state[i] = ~DWORD{0};  // unknown: never taken as unmoved
                continue;
            }
            places.bar[i] = info.rcScrollBar;
            places.thumb[2 * i] = info.xyThumbTop;
            places.thumb[2 * i + 1] = info.xyThumbBottom;
            places.state[i] = info.rgstate[0];
        }
        return places;
    }
    bool operator==(const BarPlaces& o) const {
        for (int i = 0; i < 2; ++i) {
            if (!EqualRect(&bar[i], &o.bar[i]) || state[i] != o.state[i] || state[i] == ~DWORD{0} ||
                thumb[2 * i] != o.thumb[2 * i] || thumb[2 * i + 1] != o.thumb[2 * i + 1]) {
                return false;
            }
        }
        return true;
    }
};

// A row's mark lost with no other marked: told to the owner after the messages at hand.
UINT RowLeftMessage() {
    static const UINT message = RegisterWindowMessageA("Tellarix grid row left");
    return message;
}

}  // namespace

void DataGrid::Attach(HWND list, const std::vector<GridColumn>& columns) {
    list_ = tlx::win32::ListView(list);
    watch_ = tlx::win32::Subclass(list, this, &DataGrid::ListMessage);
    left_told_later_ = false;
    shown_.clear();
    list_.AddExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const GridColumn& c = columns[i];
        if (!c.shown) continue;
        // Widths are in the dialog's own units, so they grow with its font.
        RECT width{0, 0, c.width, 0};
        MapDialogRect(GetParent(list), &width);
        list_.InsertColumn(static_cast<int>(shown_.size()), c.caption, width.right);
        shown_.push_back(static_cast<int>(i));
    }
}

void DataGrid::SetDataSource(GridRows* source) {
    const bool again = source && source == source_;
    const int before = list_.Count();
    source_ = source;
    SetRowCount(source ? source->RowCount() : 0);
    // Repainting the whole list is what costs most on some systems; a new bill behind the
    // ones shown changes none of them.
    if (again) {
        RepaintChangedRows(before);
    } else {
        drawn_.clear();
        InvalidateRows();
    }
    Select(source ? source->CurrentRow() : -1);
    // Bound anew: the owner hears of the current row as after any change of it.
    if (on_row_changed_) on_row_changed_();
}

void DataGrid::SetRowCount(int rows) {
    if (rows == list_.Count()) return;
    // A new count redraws the scroll bars at once, outside any paint, which costs the window
    // server a round trip per bar on some systems. With the list marked hidden meanwhile, the
    // bars are drawn with the next paint instead; the list keeps its scroll position and
    // marks, and Select scrolls to the current row. A mark the list drops with rows that are
    // gone is not the operator's doing: the source's current row stays.
    const HWND list = list_.hwnd();
    const BarPlaces before = BarPlaces::Of(list);
    // Marking the list hidden drops the repaints it had pending on some systems: made again.
    tlx::win32::GdiObject<HRGN> pending(CreateRectRgn(0, 0, 0, 0));
    const bool had = pending && GetUpdateRgn(list, pending.Get(), FALSE) > NULLREGION;
    const HWND header = list_.Header();
    RECT header_pending{};
    const bool header_had = header && GetUpdateRect(header, &header_pending, FALSE);
    selecting_ = true;
    DefWindowProcA(list, WM_SETREDRAW, FALSE, 0);
    list_.SetVirtualCount(rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    DefWindowProcA(list, WM_SETREDRAW, TRUE, 0);
    selecting_ = false;
    if (had) InvalidateRgn(list, pending.Get(), TRUE);
    if (header_had) InvalidateRect(header, &header_pending, TRUE);
    // A row more among thousands seldom moves a bar's thumb by a pixel; then the bars stand.
    if (BarPlaces::Of(list) == before) return;
    // Only the frame, where the bars are: the rows that changed are the caller's to say.
    RECT outer{}, inner{};
    GetWindowRect(list, &outer);
    GetClientRect(list, &inner);
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&outer), 2);
    tlx::win32::GdiObject<HRGN> frame(CreateRectRgnIndirect(&outer));
    tlx::win32::GdiObject<HRGN> client(CreateRectRgnIndirect(&inner));
    if (frame && client && CombineRgn(frame.Get(), frame.Get(), client.Get(), RGN_DIFF) != ERROR) {
        RedrawWindow(list, nullptr, frame.Get(), RDW_INVALIDATE | RDW_FRAME);
    } else {
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }
}

void DataGrid::RepaintChangedRows(int rows_before) {
    const HWND list = list_.hwnd();
    const int rows = list_.Count();
    const int top = ListView_GetTopIndex(list);
    const int end = top + ListView_GetCountPerPage(list) + 1;  // with a part-shown last row
    // Rows gone from the screen leave blank space behind that only a whole repaint clears.
    bool all = rows < rows_before && rows < end;
    for (int row = top; !all && row < std::min(rows, end); ++row) {
        if (row < rows_before && ReadsAsDrawn(row)) continue;
        RECT place{};
        place.left = LVIR_BOUNDS;
        all = !SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&place)) ||
              !InvalidateRect(list, &place, TRUE);
    }
    if (all) {
        drawn_.clear();
        InvalidateRows();
    }
}

void DataGrid::InvalidateRows() {
    // The header stays as it is: drawing it is dearer than the rows on some systems.
    RECT rows = list_.ClientRect();
    if (const HWND header = list_.Header(); header && IsWindowVisible(header))
        rows.top = tlx::win32::Window(header).RectIn(list_.hwnd()).bottom;
    InvalidateRect(list_.hwnd(), &rows, TRUE);
}

bool DataGrid::ReadsAsDrawn(int row) {
    const auto drawn = drawn_.find(row);
    if (drawn == drawn_.end() || !drawn->second.styled ||
        drawn->second.style != source_->StyleOf(row) ||
        drawn->second.cells.size() != shown_.size()) {
        return false;
    }
    // A column scrolled out of sight is read when it is drawn.
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        const auto& cell = drawn->second.cells[i];
        if (cell && *cell != CellText(row, static_cast<int>(i))) return false;
    }
    return true;
}

std::string DataGrid::CellText(int row, int shown_column) {
    const auto at = static_cast<std::size_t>(shown_column);
    if (!source_ || at >= shown_.size()) return {};
    return source_->CellText(row, shown_[at]);
}

std::string DataGrid::DrawnText(int row, int shown_column) {
    std::string text = CellText(row, shown_column);
    Drawn& drawn = drawn_[row];
    drawn.cells.resize(shown_.size());
    if (static_cast<std::size_t>(shown_column) < shown_.size())
        drawn.cells[static_cast<std::size_t>(shown_column)] = text;
    return text;
}

void DataGrid::Select(int row) {
    selecting_ = true;
    list_.SelectOnly(row, marked_);
    marked_ = row;
    selecting_ = false;
}

LRESULT DataGrid::ListMessage(HWND list, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg != RowLeftMessage() || msg == 0) {
        return tlx::win32::Subclass::Next(list, msg, wparam, lparam);
    }
    left_told_later_ = false;
    if (source_ && source_->CurrentRow() < 0 && on_row_changed_) on_row_changed_();
    return 0;
}

void DataGrid::ShowSortMark(int column, bool ascending) {
    HWND header = list_.Header();
    for (int i = 0; i < static_cast<int>(shown_.size()); ++i) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, i, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (shown_[static_cast<std::size_t>(i)] == column) {
            item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        }
        Header_SetItem(header, i, &item);
    }
}

bool DataGrid::HandleNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != list_.hwnd()) return false;
    result = 0;
    switch (header.code) {
        case LVN_GETDISPINFOA: {
            // The list keeps no texts: each cell is read from the source as it is drawn.
            auto& item =
                const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)).item;
            if ((item.mask & LVIF_TEXT) && item.cchTextMax > 0) {
                lstrcpynA(item.pszText, DrawnText(item.iItem, item.iSubItem).c_str(),
                          item.cchTextMax);
            }
            return true;
        }
        case LVN_GETDISPINFOW: {
            auto& item =
                const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
            if ((item.mask & LVIF_TEXT) && item.cchTextMax > 0) {
                const std::wstring wide =
                    tlx::win32::WideFromAnsi(DrawnText(item.iItem, item.iSubItem));
                lstrcpynW(item.pszText, wide.c_str(), item.cchTextMax);
            }
            return true;
        }
        case LVN_ODCACHEHINT: {
            // Fetching the first row a view asks for reads its whole page at once.
            const auto& hint = reinterpret_cast<const NMLVCACHEHINT&>(header);
            if (source_) source_->Prefetch(hint.iFrom);
            // Scrolling far draws many rows; what the screen shows now is drawn again.
            if (drawn_.size() > 1024) drawn_.clear();
            return true;
        }
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (!source_ || selecting_ || !(change.uChanged & LVIF_STATE)) return true;
            // The row that gains the mark is the current one (asking the list which row is
            // marked walks the rows on some systems); losing the mark leaves none.
            int row = -1;
            if (change.iItem >= 0 && (change.uNewState & LVIS_SELECTED)) {
                row = change.iItem;
            } else if (list_.SelectedCount() > 0) {
                row = list_.Current();
            }
            marked_ = row;
            if (row == source_->CurrentRow()) return true;
            source_->MoveTo(row);
            // The operator moving to another row takes the mark off the old one first: the
            // page is refreshed for the new row alone, and for none only when none follows.
            if (row < 0 && RowLeftMessage() != 0 &&
                (left_told_later_ || (left_told_later_ = list_.Post(RowLeftMessage())))) {
                return true;
            }
            if (on_row_changed_) on_row_changed_();
            return true;
        }
        case NM_CUSTOMDRAW: {
            // Only the text's colour changes; the list draws everything else as usual.
            auto& draw =
                const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
            if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
                result = CDRF_NOTIFYITEMDRAW;
            } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && source_) {
                const int row = static_cast<int>(draw.nmcd.dwItemSpec);
                const RowStyle style = source_->StyleOf(row);
                drawn_[row].style = style;
                drawn_[row].styled = true;
                if (style == RowStyle::kMuted) draw.clrText = GetSysColor(COLOR_GRAYTEXT);
                if (style == RowStyle::kAlert) draw.clrText = RGB(192, 0, 0);
                result = style == RowStyle::kNormal ? CDRF_DODEFAULT : CDRF_NEWFONT;
            }
            return true;
        }
        case LVN_COLUMNCLICK: {
            const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
            if (on_column_click_ && click.iSubItem >= 0 &&
                static_cast<std::size_t>(click.iSubItem) < shown_.size()) {
                on_column_click_(shown_[static_cast<std::size_t>(click.iSubItem)]);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tlx::console
