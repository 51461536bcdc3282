// Numbers as the C library reads and writes them in the "C" locale, without ever asking the
// process locale: the console and the booth control share one C runtime locale, so a single
// setlocale anywhere would otherwise put commas into every cost.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tlx::text {

// Reads like C's atoi: leading white space, optional sign, digits; 0 when there are none.
// Overflow wraps to 32 bits the way the two's-complement accumulation does.
std::int32_t AtoiC(std::string_view text);

// Reads like C's atof: leading white space, optional sign, digits with an optional '.',
// optional exponent; also hexadecimal, inf and nan forms. Reading stops at the first
// character that does not fit; no number gives 0.0.
double AtofC(std::string_view text);

// Writes like printf("%.*f", decimals, value), rounding included; a negative `decimals`
// means 6, as in printf.
std::string FormatFixed(double value, int decimals);

// Leading and trailing white space removed (the blanks AtoiC and AtofC skip).
std::string TrimBlanks(std::string_view text);

}  // namespace tlx::text
