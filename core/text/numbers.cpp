#include "core/text/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tlx::text {
namespace {

// isspace in the C locale, whatever the process locale says.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (Lower(text[i]) != word[i]) return false;
    }
    return true;
}

// Length of the run of characters at `pos` that satisfy `pred`.
template <typename Pred>
std::size_t Run(std::string_view s, std::size_t pos, Pred pred) {
    std::size_t n = 0;
    while (pos + n < s.size() && pred(s[pos + n])) ++n;
    return n;
}

// The longest prefix of `s` (sign and blanks already taken off) that strtod would read in
// the C locale, and whether it is hexadecimal. Returns 0 when there is no number.
struct NumberSpan {
    std::size_t length = 0;
    bool hex = false;
    // Rough power of the radix of the value: > 0 means it is large, <= 0 small. Only used
    // to tell overflow from underflow.
    long long magnitude = 0;
};

// Reads an exponent ("e+12", "p-3") at `pos`; returns its length (0 when incomplete).
std::size_t ExponentLength(std::string_view s, std::size_t pos, char marker, long long& value) {
    if (pos >= s.size() || Lower(s[pos]) != marker) return 0;
    std::size_t i = pos + 1;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const std::size_t digits = Run(s, i, IsDigit);
    if (digits == 0) return 0;
    long long v = 0;
    for (std::size_t k = 0; k < digits; ++k) {
        if (v < 1'000'000'000LL) v = v * 10 + (s[i + k] - '0');  // far beyond any double
    }
    value = negative ? -v : v;
    return i + digits - pos;
}

NumberSpan Significand(std::string_view s, std::size_t start, bool hex) {
    auto digit = hex ? IsHexDigit : IsDigit;
    NumberSpan out;
    out.hex = hex;
    std::size_t i = start;
    const std::size_t int_digits = Run(s, i, digit);
    std::size_t leading_zeros = Run(s, i, [](char c) { return c == '0'; });
    i += int_digits;
    std::size_t frac_digits = 0;
    std::size_t frac_zeros = 0;
    if (i < s.size() && s[i] == '.') {
        frac_digits = Run(s, i + 1, digit);
        if (leading_zeros == int_digits)
            frac_zeros = Run(s, i + 1, [](char c) { return c == '0'; });
        if (int_digits + frac_digits > 0) i += 1 + frac_digits;
    }
    if (int_digits + frac_digits == 0) return {};
    long long exponent = 0;
    i += ExponentLength(s, i, hex ? 'p' : 'e', exponent);
    out.length = i;
    const long long per_digit = hex ? 4 : 1;  // hex exponents count powers of two
    const long long significant = static_cast<long long>(int_digits - leading_zeros);
    out.magnitude =
        (significant > 0 ? significant : -static_cast<long long>(frac_zeros)) * per_digit +
        exponent;
    return out;
}

NumberSpan ScanNumber(std::string_view s) {
    if (s.size() >= 2 && s[0] == '0' && Lower(s[1]) == 'x') {
        NumberSpan h = Significand(s, 2, true);
        if (h.length > 0) return h;
        // "0x" with no hex digit: strtod reads just the "0".
        return NumberSpan{1, false, 0};
    }
    return Significand(s, 0, false);
}

}  // namespace

std::int32_t AtoiC(std::string_view text) {
    std::size_t i = Run(text, 0, IsBlank);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

double AtofC(std::string_view text) {
    std::size_t i = Run(text, 0, IsBlank);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::string_view rest = text.substr(i);
    const auto sign = [negative](double v) { return negative ? -v : v; };

    if (StartsWithNoCase(rest, "inf")) return sign(std::numeric_limits<double>::infinity());
    if (StartsWithNoCase(rest, "nan")) return sign(std::numeric_limits<double>::quiet_NaN());

    const NumberSpan number = ScanNumber(rest);
    if (number.length == 0) return 0.0;
    const char* first = rest.data() + (number.hex ? 2 : 0);
    const char* last = rest.data() + number.length;
    double value = 0.0;
    const auto result = std::from_chars(
        first, last, value, number.hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // strtod gives HUGE_VAL on overflow and zero when the value underflows entirely.
        value = number.magnitude > 0 ? HUGE_VAL : 0.0;
    } else if (result.ec != std::errc{}) {
        value = 0.0;
    }
    return sign(value);
}

std::string FormatFixed(double value, int decimals) {
    if (decimals < 0) decimals = 6;
    // Sign, the 309 digits of the largest double, the point and the decimals.
    std::string out(312 + static_cast<std::size_t>(decimals), '\0');
    const auto result = std::to_chars(out.data(), out.data() + out.size(), value,
                                      std::chars_format::fixed, decimals);
    out.resize(static_cast<std::size_t>(result.ptr - out.data()));
    return out;
}

std::string TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

}  // namespace tlx::text
