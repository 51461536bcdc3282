#include "core/link/events.h"

#include <utility>

#include "core/link/fields.h"
#include "core/text/numbers.h"

namespace tlx::link {

using text::AtofC;
using text::AtoiC;
using text::TrimBlanks;

BoothListPayload ParseBoothList(std::string text) {
    BoothListPayload out;
    out.web_address = NextField(text);
    // A trailing ';' leaves the text empty and so adds no booth; ";;" adds an empty key.
    while (!text.empty()) out.keys.push_back(TrimBlanks(NextField(text)));
    return out;
}

CallDialFields ParseCallDial(std::string text) {
    CallDialFields out;
    out.key = NextField(text);
    DialRest rest = ParseDialRest(std::move(text));
    out.destination = std::move(rest.destination);
    out.description = std::move(rest.description);
    out.rate = std::move(rest.rate);
    return out;
}

DialRest ParseDialRest(std::string rest) {
    DialRest out;
    out.destination = NextField(rest);
    out.description = NextField(rest);
    out.rate = NextField(rest);
    return out;
}

CallFinishedFields ParseCallFinished(std::string text) {
    CallFinishedFields out;
    out.key = NextField(text);
    out.duration = AtoiC(NextField(text));
    out.cost = AtofC(text);  // the rest of the text; reading stops at any later ';'
    return out;
}

}  // namespace tlx::link
