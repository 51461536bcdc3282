// The currency unit every booth shows, as the settings page offers it: three buttons, the
// last with a box for any other unit.
#pragma once

#include <string>
#include <string_view>

namespace tlx::console {

inline constexpr std::string_view kDollarSign = "$";
// The euro sign is one byte in the console's code page (Windows-1252).
inline constexpr std::string_view kEuroSign = "\x80";

enum class CurrencyButton { kEuro, kDollar, kOther };

// The button a saved unit checks: anything but the two signs (an empty unit too) is "Other:",
// with the unit in its box.
CurrencyButton ButtonForUnit(std::string_view unit);

// The unit to save: the button's sign, or for "Other:" what the box holds.
std::string UnitForButton(CurrencyButton button, std::string_view other_text);

}  // namespace tlx::console
