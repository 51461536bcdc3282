// The ';'-separated field grammar of every server text payload. Its numbers are read with
// "text/numbers.h".
#pragma once

#include <string>

namespace tlx::link {

// Takes the text before the first ';' off the front of `text`, together with the ';'.
// No ';': the whole text is the field and `text` becomes empty.
std::string NextField(std::string& text);

}  // namespace tlx::link
