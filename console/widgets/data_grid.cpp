#include "console/widgets/data_grid.h"

#include <commctrl.h>

#include "win32/text.h"

namespace tlx::console {

void DataGrid::Attach(HWND list, const std::vector<GridColumn>& columns) {
    list_ = tlx::win32::ListView(list);
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
    source_ = source;
    SetRowCount(source ? source->RowCount() : 0);
    // Every row may read differently now: one repaint of them all, when the thread is idle.
    InvalidateRect(list_.hwnd(), nullptr, TRUE);
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
    selecting_ = true;
    DefWindowProcA(list_.hwnd(), WM_SETREDRAW, FALSE, 0);
    list_.SetVirtualCount(rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    DefWindowProcA(list_.hwnd(), WM_SETREDRAW, TRUE, 0);
    selecting_ = false;
    RedrawWindow(list_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

std::string DataGrid::CellText(int row, int shown_column) {
    const auto at = static_cast<std::size_t>(shown_column);
    if (!source_ || at >= shown_.size()) return {};
    return source_->CellText(row, shown_[at]);
}

void DataGrid::Select(int row) {
    selecting_ = true;
    list_.SelectOnly(row, marked_);
    marked_ = row;
    selecting_ = false;
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
                lstrcpynA(item.pszText, CellText(item.iItem, item.iSubItem).c_str(),
                          item.cchTextMax);
            }
            return true;
        }
        case LVN_GETDISPINFOW: {
            auto& item =
                const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
            if ((item.mask & LVIF_TEXT) && item.cchTextMax > 0) {
                const std::wstring wide =
                    tlx::win32::WideFromAnsi(CellText(item.iItem, item.iSubItem));
                lstrcpynW(item.pszText, wide.c_str(), item.cchTextMax);
            }
            return true;
        }
        case LVN_ODCACHEHINT: {
            // Fetching the first row a view asks for reads its whole page at once.
            const auto& hint = reinterpret_cast<const NMLVCACHEHINT&>(header);
            if (source_) source_->Prefetch(hint.iFrom);
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
                const RowStyle style = source_->StyleOf(static_cast<int>(draw.nmcd.dwItemSpec));
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
