// What the console says to the operator, word for word, in one place. The dialog templates
// keep their own captions and labels.
#pragma once

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

}  // namespace tlx::console::texts
