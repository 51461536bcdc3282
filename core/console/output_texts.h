// What the Bills page says around a bill shown on screen or saved as a PDF file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tlx::console::texts {

inline constexpr std::string_view kPreviewCaption = "Preview";
inline constexpr std::string_view kSavePdfCaption = "Save as PDF";
// The platform's save window: its title and the kind of file it offers.
inline constexpr std::string_view kSavePdfTitle = "Save bill as PDF";
inline constexpr std::string_view kPdfFiles = "PDF files (*.pdf)";

inline std::string BillTitle(std::uint32_t bill_id) {
    return "Bill " + std::to_string(bill_id);
}
inline std::string PdfFileName(std::uint32_t bill_id) {
    return BillTitle(bill_id) + ".pdf";
}
inline std::string PdfSaved(std::uint32_t bill_id, std::string_view path) {
    return BillTitle(bill_id) + " is saved as " + std::string(path) + ".";
}
inline std::string PdfNotSaved(std::uint32_t bill_id, std::string_view why) {
    return BillTitle(bill_id) + " was not saved as PDF: " + std::string(why) + ".";
}
inline std::string PreviewFailed(std::uint32_t bill_id, std::string_view why) {
    return BillTitle(bill_id) + " cannot be shown: " + std::string(why) + ".";
}

}  // namespace tlx::console::texts
