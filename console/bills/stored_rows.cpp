#include "console/bills/stored_rows.h"

#include <windows.h>

#include "core/text/numbers.h"

namespace tlx::console {

namespace billing = tlx::billing;

namespace {

std::string LocaleText(LCTYPE what) {
    char buffer[16] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, what, buffer, sizeof buffer);
    return buffer;
}

}  // namespace

// Two decimals, with the regional separators.
std::string RegionalAmount(double value) {
    std::string decimal = LocaleText(LOCALE_SDECIMAL), thousand = LocaleText(LOCALE_STHOUSAND);
    NUMBERFMTA format{};
    format.NumDigits = 2;
    format.LeadingZero = 1;
    format.Grouping = 3;
    format.lpDecimalSep = decimal.data();
    format.lpThousandSep = thousand.data();
    format.NegativeOrder = 1;
    const std::string plain = tlx::text::FormatFixed(value, 2);
    char out[128] = {};
    return GetNumberFormatA(LOCALE_USER_DEFAULT, 0, plain.c_str(), &format, out, sizeof out) > 0
               ? out
               : plain;
}

std::string RegionalTime(const billing::LocalTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    char date[64] = {}, time[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time);
    return std::string(date) + " " + time;
}

namespace {

// A stored value as the grids show it; one that cannot be read shows as nothing.
std::string Shown(billing::FieldKind kind, const billing::Value& value) {
    switch (kind) {
        case billing::FieldKind::kKey: {
            const auto key = billing::AsInteger(value);
            return key ? std::to_string(*key) : std::string();
        }
        case billing::FieldKind::kTime: {
            const auto t = billing::AsTime(value);
            return t ? RegionalTime(*t) : std::string();
        }
        case billing::FieldKind::kAmount: {
            const auto n = billing::AsNumber(value);
            return n ? RegionalAmount(*n) : std::string();
        }
        case billing::FieldKind::kText:
            break;
    }
    return billing::AsText(value);
}

}  // namespace

StoredRows::StoredRows(billing::Recordset& recordset, const billing::StoreTable& table)
    : recordset_(recordset), table_(table) {
    for (const billing::Column& c : table_.columns)
        field_of_column_.push_back(recordset_.FieldIndex(c.name));
}

std::vector<GridColumn> StoredRows::Columns() const {
    std::vector<GridColumn> columns;
    for (const billing::Column& c : table_.columns)
        columns.push_back({c.caption, c.shown, c.width});
    return columns;
}

std::string StoredRows::CellText(int row, int column) {
    const auto at = static_cast<std::size_t>(column);
    if (at >= field_of_column_.size()) return {};
    const int field = field_of_column_[at];
    const billing::Row* values = recordset_.RowAt(row);
    if (!values || field < 0) return {};
    return Shown(table_.columns[at].kind, (*values)[static_cast<std::size_t>(field)]);
}

RowStyle StoredRows::StyleOf(int row) {
    if (!style_of_ || field_of_column_.empty() || field_of_column_.front() < 0) {
        return RowStyle::kNormal;
    }
    const billing::Row* values = recordset_.RowAt(row);
    if (!values) return RowStyle::kNormal;
    const auto key =
        billing::AsInteger((*values)[static_cast<std::size_t>(field_of_column_.front())]);
    if (!key) return RowStyle::kNormal;
    // Drawing asks again with every repaint; the store is asked once per bill.
    const auto known = styles_.find(*key);
    if (known != styles_.end()) return known->second;
    return styles_[*key] = style_of_(*key);
}

}  // namespace tlx::console
