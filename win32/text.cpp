#include "win32/text.h"

#include <climits>
#include <memory>
#include <new>

namespace tlx::win32 {
namespace {

std::wstring ToWide(UINT page, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int need = MultiByteToWideChar(page, 0, text.data(), length, nullptr, 0);
    if (need <= 0) return {};
    std::wstring out(static_cast<std::size_t>(need), L'\0');
    MultiByteToWideChar(page, 0, text.data(), length, out.data(), need);
    return out;
}

std::string FromWide(UINT page, std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int need =
        WideCharToMultiByte(page, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return {};
    std::string out(static_cast<std::size_t>(need), '\0');
    WideCharToMultiByte(page, 0, text.data(), length, out.data(), need, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring WideFromAnsi(std::string_view ansi) {
    return ToWide(CP_ACP, ansi);
}
std::string AnsiFromWide(std::wstring_view wide) {
    return FromWide(CP_ACP, wide);
}
std::wstring WideFromUtf8(std::string_view utf8) {
    return ToWide(CP_UTF8, utf8);
}
std::string Utf8FromWide(std::wstring_view wide) {
    return FromWide(CP_UTF8, wide);
}

std::string AnsiFromBstr(const BSTR* text) {
    if (text == nullptr || *text == nullptr) return {};
    return AnsiFromWide(std::wstring_view(*text, SysStringLen(*text)));
}

std::string LastErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    const std::unique_ptr<char, decltype(&LocalFree)> owned(text, &LocalFree);
    std::string out = length && text ? std::string(text, length) : "error " + std::to_string(code);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

Bstr::Bstr(std::wstring_view wide) {
    if (wide.size() > UINT_MAX / 2) throw std::bad_alloc();
    b_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!b_) throw std::bad_alloc();
}

Bstr Bstr::FromAnsi(std::string_view ansi, bool null_when_empty) {
    if (ansi.empty() && null_when_empty) return {};
    return Bstr(WideFromAnsi(ansi));
}

}  // namespace tlx::win32
