#include "core/billing/bills_view.h"

#include <array>
#include <cstdint>

namespace tlx::billing {
namespace {

const Value kNull{};

const Value& FieldOf(const Row* row, int index) {
    return row && index >= 0 && static_cast<std::size_t>(index) < row->size()
               ? (*row)[static_cast<std::size_t>(index)]
               : kNull;
}

// Where each column of `table` is among the recordset's fields (-1: not there).
template <std::size_t N>
std::array<int, N> FieldsOf(const Recordset& recordset, const StoreTable& table) {
    std::array<int, N> at{};
    for (std::size_t c = 0; c < N && c < table.columns.size(); ++c)
        at[c] = recordset.FieldIndex(table[c]);
    return at;
}

}  // namespace

Bill StoredBill(Recordset& bills, Recordset& calls) {
    Bill bill;
    const Row* row = bills.current() >= 0 ? bills.RowAt(bills.current()) : nullptr;
    const auto b = FieldsOf<kBillsColumnCount>(bills, kBillsTable);
    auto field = [&](BillsColumn c) -> const Value& { return FieldOf(row, b[c]); };
    bill.id = static_cast<std::int32_t>(AsInteger(field(kBillId)).value_or(0));
    bill.issued = AsTime(field(kBillIssued));
    bill.operator_name = AsText(field(kBillOperator));
    bill.cabin = AsText(field(kBillCabin));
    bill.total_cost = AsNumber(field(kBillTotalCost)).value_or(0.0);
    bill.total_cost_with_tax = AsNumber(field(kBillTotalWithTax)).value_or(0.0);
    bill.total_tax = AsNumber(field(kBillTotalTax)).value_or(0.0);

    const std::int64_t n = calls.RecordCount();
    bill.calls.resize(static_cast<std::size_t>(n));
    const auto c = FieldsOf<kCallsColumnCount>(calls, kCallsTable);
    for (std::int64_t i = 0; i < n; ++i) {
        const Row* r = calls.RowAt(i);
        auto value = [&](CallsColumn column) -> const Value& { return FieldOf(r, c[column]); };
        BillCall& call = bill.calls[static_cast<std::size_t>(i)];
        call.destination = AsText(value(kCallDestination));
        call.duration = AsText(value(kCallDuration));
        call.end_time = AsText(value(kCallEnd));
        call.rate = AsNumber(value(kCallRate)).value_or(0.0);
        call.cost = AsNumber(value(kCallCost)).value_or(0.0);
        call.tax = AsNumber(value(kCallTax)).value_or(0.0);
        call.cost_with_tax = AsNumber(value(kCallWithTax)).value_or(0.0);
    }
    return bill;
}

}  // namespace tlx::billing
