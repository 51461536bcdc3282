// Text at the COM boundary: the console's ANSI strings become BSTRs and back here only.
#pragma once

// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <string>
#include <string_view>

namespace tellarix {

// An owned BSTR. Empty text can be asked to stay a null BSTR (a booth without a name).
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::string_view ansi, bool null_when_empty = false);
    ~Bstr() { SysFreeString(bstr_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* address() { return &bstr_; }
    BSTR get() const { return bstr_; }

  private:
    BSTR bstr_ = nullptr;
};

std::wstring WideFromAnsi(std::string_view ansi);
std::string AnsiFromWide(std::wstring_view wide);

}  // namespace tellarix
