// The ';'-separated field grammar of every server text payload, and the C-library number
// readings the protocol is defined by, done without the process locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tlx::link {

// Takes the text before the first ';' off the front of `text`, together with the ';'.
// No ';': the whole text is the field and `text` becomes empty.
std::string NextField(std::string& text);

// Reads like C's atoi: leading white space, optional sign, digits; 0 when there are none.
// Overflow wraps to 32 bits the way the two's-complement accumulation does.
std::int32_t AtoiC(std::string_view text);

// Reads like C's atof in the "C" locale, whatever the process locale is: leading white
// space, optional sign, digits with an optional '.', optional exponent; also inf/nan forms.
// Reading stops at the first character that does not fit; no number gives 0.0.
double AtofC(std::string_view text);

// Leading and trailing white space removed (isspace in the C locale).
std::string TrimBlanks(std::string_view text);

}  // namespace tlx::link
