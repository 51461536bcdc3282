// A property grid: rows of a caption and a text value under bold category rows, each value
// edited in place. It behaves as Windows users expect of one: a click on a value (or F2, Enter
// or simply typing) opens the editor, Enter keeps the text, Escape drops it, Tab and the arrow
// keys go on to the next row, and the line between the columns can be dragged.
//
// Dialog templates name it by its class (PropertyGrid::kClassName, registered once with
// Register). A changed value is told to the parent as WM_NOTIFY with code kValueChanged.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <optional>
#include <string>
#include <string_view>

#include "win32/controls.h"

namespace tlx::widgets {

// What the parent gets with kValueChanged: the row the operator changed.
struct PropertyChange {
    NMHDR header;
    int row;
};

// A view of a grid window, like the toolkit's control views. Texts are ANSI.
class PropertyGrid : public tlx::win32::Window {
  public:
    static constexpr const char* kClassName = "TellarixPropertyGrid";
    static constexpr UINT kValueChanged = 1;
    // Registers the window class in this module; once is enough, more calls do nothing.
    static bool Register();

    using Window::Window;

    void AddCategory(std::string_view caption) const;
    // An editable row; programs find it by its name, the operator sees its caption.
    void AddRow(std::string_view name, std::string_view caption, std::string_view value = {}) const;
    // False when no row has that name.
    bool SetValue(std::string_view name, std::string_view value) const;
    // The value as last kept (not what an open editor holds); none when no row has that name.
    std::optional<std::string> Value(std::string_view name) const;
    // Closes an open editor, keeping its text (telling the parent of a change) or not.
    void EndEditing(bool keep) const;
};

}  // namespace tlx::widgets
