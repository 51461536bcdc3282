#include "win32/controls.h"

#include <vector>

namespace tlx::win32 {

std::string Window::Text() const {
    const int length = GetWindowTextLengthA(hwnd_);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int got = GetWindowTextA(hwnd_, text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void Window::SetText(std::string_view text) const {
    SetWindowTextA(hwnd_, std::string(text).c_str());
}

int ComboBox::Add(std::string_view text) const {
    const std::string copy(text);
    return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.c_str())));
}

std::string ComboBox::ItemText(int index) const {
    const auto length = Send(CB_GETLBTEXTLEN, index);
    if (length < 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const auto got = Send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

int TabControl::Append(std::string_view title) const {
    std::string copy(title);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = copy.data();
    return static_cast<int>(Send(TCM_INSERTITEMA, Count(), reinterpret_cast<LPARAM>(&item)));
}

bool ListView::InsertColumn(int index, std::string_view title, int width, int format) const {
    std::string copy(title);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = copy.data();
    column.iSubItem = index;
    return Send(LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)) == index;
}

int ListView::InsertRow(int index, std::string_view text, int image) const {
    std::string copy(text);
    LVITEMA item{};
    item.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = index;
    item.pszText = copy.data();
    item.iImage = image;
    return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::SetCell(int row, int column, std::string_view text) const {
    std::string copy(text);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = copy.data();
    Send(LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

std::string ListView::Cell(int row, int column) const {
    // The list copies at most the buffer's size; grow until the text fits.
    std::vector<char> buffer(256);
    for (;;) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto got =
            static_cast<std::size_t>(Send(LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (got + 1 < buffer.size() || buffer.size() >= 65536)
            return std::string(buffer.data(), got);
        buffer.resize(buffer.size() * 4);
    }
}

int ListView::Image(int row) const {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    return Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.iImage : -1;
}

void ListView::SetImage(int row, int image) const {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ListView::SelectOnly(int row, int marked) const {
    // Asking which rows carry a mark, or which one has the focus, walks the rows one by one
    // on some systems, and an owner-data list may hold a million. The marked row is nearly
    // always the one the caller last marked (`marked`), else the focused one; the walk is
    // left for the marks neither accounts for.
    if (marked < 0 || !State(marked)) marked = Next(-1, LVNI_FOCUSED);
    if (marked >= 0 && marked != row) SetState(marked, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (SelectedCount() > (row >= 0 && (State(row) & LVIS_SELECTED) ? 1 : 0)) {
        for (int i = Next(-1, LVNI_SELECTED); i >= 0; i = Next(i, LVNI_SELECTED)) {
            if (i != row) SetState(i, 0, LVIS_SELECTED);
        }
    }
    if (row < 0) return;
    SetState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EnsureVisible(row);
}

}  // namespace tlx::win32
