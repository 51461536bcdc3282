// What the console says to the operator, word for word, in one place. The dialog templates
// keep their own captions and labels.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tlx::console::texts {

inline constexpr std::string_view kAppCaption = "Tellarix";

// The login window's status line.
inline constexpr std::string_view kStatusPrompt = "Please enter your Login and Password...";
inline constexpr std::string_view kStatusConnecting = "Please wait while connecting to server...";
inline constexpr std::string_view kStatusVerifying = "Veryfiying username and password...";
inline constexpr std::string_view kStatusCannotConnect = "Can't connect to server !!!";
inline constexpr std::string_view kStatusNoAnswer = "Can't connect to the server!";
inline constexpr std::string_view kStatusIncorrect = "Login incorrect !!!";
inline constexpr std::string_view kStatusAlreadyIn = "User already logged in!!!";
inline constexpr std::string_view kStatusLost = "Communication with server lost!";

// Tabs of the main window after the booth pages ("Booths #1", "Booths #2", ...).
inline constexpr std::string_view kBoothTabPrefix = "Booths #";
inline constexpr std::string_view kWebTab = "Web Page";
inline constexpr std::string_view kSettingsTab = "Settings";
inline constexpr std::string_view kBillsTab = "Bills";

// Message boxes.
inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kCannotCreateBooths =
    "Cannot create cabines!!! Probably Tellarix.dll is not properly registered!";
inline constexpr std::string_view kUnexpectedProblem =
    "The console met an unexpected problem and has to close.";

// The settings page, asked when it closes with changes not saved.
inline constexpr std::string_view kWarningCaption = "Warning";
inline constexpr std::string_view kSaveChanges = "Save changes ?";

// The web page, in place of the server's pages where the system has no web browser control.
inline constexpr std::string_view kNoWebBrowser = "This system has no web browser control.";

// The bills store and printing.
inline constexpr std::string_view kDatabaseErrorCaption = "Database error";
inline constexpr std::string_view kInformationCaption = "Information";
inline constexpr std::string_view kNoDatabase =
    "Cannot connect to database. Probably connection string is invalid or database doesn't "
    "exist. Please create connection string  and / or database.";
inline constexpr std::string_view kPrintFailedCaption = "Printing";
inline std::string PrintFailed(std::uint32_t bill_id, std::string_view why) {
    return "Bill " + std::to_string(bill_id) + " was not printed: " + std::string(why) + ".";
}

// The store's start-up check and voids on the Bills page.
inline constexpr std::string_view kBillsStoreCaption = "Bills store";
inline std::string StoreChecked(std::string_view result) {
    return "Bills store checked at start-up: " + std::string(result);
}
inline constexpr std::string_view kStoreNotUpgraded =
    "Bills store not upgraded at start-up: no seals, no voids.";
inline constexpr std::string_view kVoidCaption = "Void";
inline constexpr std::string_view kVoidNeedsReason = "Please enter why the bill is voided.";
inline std::string ConfirmVoid(std::int64_t bill_id, std::string_view total_with_taxes) {
    return "Void bill " + std::to_string(bill_id) + " (total incl. taxes " +
           std::string(total_with_taxes) +
           ")? A new bill with the amounts negated is stored and printed.";
}
// The selected bill's state under the grids, before " - reason" (the page writes a dash).
inline std::string VoidedBy(std::int64_t void_id, std::string_view when) {
    return "Voided by bill " + std::to_string(void_id) + " on " + std::string(when);
}
inline std::string VoidOf(std::int64_t original_id, std::string_view when) {
    return "Void of bill " + std::to_string(original_id) + " on " + std::string(when);
}

// Around a bill shown on screen or saved as a PDF file.
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
