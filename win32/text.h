// Text at the system boundaries. Both deliverables keep their texts as 8-bit strings in the
// system's ANSI code page; they become UTF-16 only for COM and the system's wide functions,
// and UTF-8 only for the bills store. These are the one place where that happens.
#pragma once

// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <string>
#include <string_view>
#include <utility>

namespace tlx::win32 {

std::wstring WideFromAnsi(std::string_view ansi);
std::string AnsiFromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
// A BSTR handed in by reference (as the booth's methods get them); a null pointer or a null
// BSTR reads as empty text.
std::string AnsiFromBstr(const BSTR* text);
// The system's words for an error code (GetLastError's), without the line break it ends with;
// "error N" when the system has none.
std::string LastErrorText(DWORD code);

// An owned BSTR.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::wstring_view wide);
    // Empty text can stay a null BSTR (a booth without a name is told so).
    static Bstr FromAnsi(std::string_view ansi, bool null_when_empty = false);
    static Bstr Adopt(BSTR owned) {
        Bstr b;
        b.b_ = owned;
        return b;
    }
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        std::swap(b_, o.b_);
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }

    BSTR Get() const { return b_; }
    // Where a method taking BSTR* reads (or an out parameter writes) the text.
    BSTR* Address() { return &b_; }
    BSTR Detach() { return std::exchange(b_, nullptr); }
    std::string Ansi() const { return AnsiFromBstr(&b_); }

  private:
    BSTR b_ = nullptr;
};

}  // namespace tlx::win32
