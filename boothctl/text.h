// The one place where the control's texts cross between the console's UTF-16 strings and the
// control's 8-bit ANSI texts.
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <string>
#include <string_view>

namespace tlx::boothctl {

// A missing pointer or string reads as empty text.
std::string AnsiFromBstrRef(const BSTR* text);
std::string AnsiFromWide(const wchar_t* text, int length);
// A fresh BSTR the caller owns; nullptr only when memory runs out.
BSTR BstrFromAnsi(std::string_view text);
std::wstring WideFromAnsi(std::string_view text);

}  // namespace tlx::boothctl
