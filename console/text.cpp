#include "text.h"

#include <new>

namespace tellarix {

std::wstring WideFromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    }
    return wide;
}

std::string AnsiFromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                            nullptr, nullptr);
    }
    return ansi;
}

Bstr::Bstr(std::string_view ansi, bool null_when_empty) {
    if (ansi.empty() && null_when_empty) return;
    const std::wstring wide = WideFromAnsi(ansi);
    bstr_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!bstr_) throw std::bad_alloc();
}

}  // namespace tellarix
