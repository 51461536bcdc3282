#include "core/console/currency.h"

namespace tlx::console {

CurrencyButton ButtonForUnit(std::string_view unit) {
    if (unit == kDollarSign) return CurrencyButton::kDollar;
    if (unit == kEuroSign) return CurrencyButton::kEuro;
    return CurrencyButton::kOther;
}

std::string UnitForButton(CurrencyButton button, std::string_view other_text) {
    switch (button) {
        case CurrencyButton::kDollar:
            return std::string(kDollarSign);
        case CurrencyButton::kEuro:
            return std::string(kEuroSign);
        case CurrencyButton::kOther:
            break;
    }
    return std::string(other_text);
}

}  // namespace tlx::console
