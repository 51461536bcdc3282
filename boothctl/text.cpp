#include "text.h"

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
// clang-format on

#include <climits>

namespace tlx::boothctl {

std::string AnsiFromWide(const wchar_t* text, int length) {
    if (text == nullptr || length <= 0) return {};
    const int need = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return {};
    std::string out(static_cast<std::size_t>(need), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), need, nullptr, nullptr);
    return out;
}

std::string AnsiFromBstrRef(const BSTR* text) {
    if (text == nullptr || *text == nullptr) return {};
    const UINT length = SysStringLen(*text);
    return AnsiFromWide(*text, length > INT_MAX ? INT_MAX : static_cast<int>(length));
}

std::wstring WideFromAnsi(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int need = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (need <= 0) return {};
    std::wstring out(static_cast<std::size_t>(need), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), need);
    return out;
}

BSTR BstrFromAnsi(std::string_view text) {
    const std::wstring wide = WideFromAnsi(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace tlx::boothctl
