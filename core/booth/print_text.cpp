#include "core/booth/print_text.h"

#include "core/booth/calls.h"

namespace tlx::booth {

std::string PrintTextHead(std::string_view booth_name) {
    std::string text(booth_name);
    text += kFieldSeparator;
    return text;
}

void AppendCallLine(std::string& text, const PrintedCall& call) {
    for (const std::string_view field : {call.destination, call.start, call.end}) {
        text += field;
        text += kFieldSeparator;
    }
    text += std::to_string(call.duration);
    text += kFieldSeparator;
    text += FormatCost(call.cost);
    text += kFieldSeparator;
    text += call.rate;
    text += kCallEnd;
}

std::vector<std::string_view> CallPieces(std::string_view calls) {
    std::vector<std::string_view> pieces;
    while (!calls.empty()) {
        const auto end = calls.find(kCallEnd);
        const auto piece = calls.substr(0, end);
        if (!piece.empty()) pieces.push_back(piece);
        if (end == std::string_view::npos) break;
        calls.remove_prefix(end + 1);
    }
    return pieces;
}

std::string_view FieldReader::Take() const {
    const auto end = rest_.find(kFieldSeparator);
    return end == std::string_view::npos ? std::string_view() : rest_.substr(0, end);
}

void FieldReader::Drop() {
    const auto end = rest_.find(kFieldSeparator);
    if (end != std::string_view::npos) rest_.remove_prefix(end + 1);
}

}  // namespace tlx::booth
