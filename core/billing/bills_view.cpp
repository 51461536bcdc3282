#include "core/billing/bills_view.h"

#include <cstdint>

namespace tlx::billing {

FieldKind KindOf(std::string_view field) {
    if (field == "id_bill" || field == "id_call") return FieldKind::kKey;
    if (field == "issued_date") return FieldKind::kTime;
    for (std::string_view amount : {"total_cost", "total_taxes", "total_cost_taxes", "rate",
                                    "call_taxes", "call_cost", "call_cost_taxes"}) {
        if (field == amount) return FieldKind::kAmount;
    }
    return FieldKind::kText;
}

namespace {

const Value kNull{};

const Value& FieldOf(const Row* row, int index) {
    return row && index >= 0 && static_cast<std::size_t>(index) < row->size()
               ? (*row)[static_cast<std::size_t>(index)]
               : kNull;
}

}  // namespace

Bill StoredBill(Recordset& bills, Recordset& calls) {
    Bill bill;
    const Row* row = bills.current() >= 0 ? bills.RowAt(bills.current()) : nullptr;
    auto field = [&](std::string_view name) -> const Value& {
        return FieldOf(row, bills.FieldIndex(name));
    };
    bill.id = static_cast<std::int32_t>(AsInteger(field("id_bill")).value_or(0));
    bill.issued = AsTime(field("issued_date"));
    bill.operator_name = AsText(field("operator"));
    bill.cabin = AsText(field("cabin_number"));
    bill.total_cost = AsNumber(field("total_cost")).value_or(0.0);
    bill.total_cost_with_tax = AsNumber(field("total_cost_taxes")).value_or(0.0);
    bill.total_tax = AsNumber(field("total_taxes")).value_or(0.0);

    const std::int64_t n = calls.RecordCount();
    bill.calls.resize(static_cast<std::size_t>(n));
    const int destination = calls.FieldIndex("destination"),
              duration = calls.FieldIndex("duration"), end = calls.FieldIndex("end_date"),
              rate = calls.FieldIndex("rate"), cost = calls.FieldIndex("call_cost"),
              tax = calls.FieldIndex("call_taxes"), with_tax = calls.FieldIndex("call_cost_taxes");
    for (std::int64_t i = 0; i < n; ++i) {
        const Row* c = calls.RowAt(i);
        BillCall& call = bill.calls[static_cast<std::size_t>(i)];
        call.destination = AsText(FieldOf(c, destination));
        call.duration = AsText(FieldOf(c, duration));
        call.end_time = AsText(FieldOf(c, end));
        call.rate = AsNumber(FieldOf(c, rate)).value_or(0.0);
        call.cost = AsNumber(FieldOf(c, cost)).value_or(0.0);
        call.tax = AsNumber(FieldOf(c, tax)).value_or(0.0);
        call.cost_with_tax = AsNumber(FieldOf(c, with_tax)).value_or(0.0);
    }
    return bill;
}

}  // namespace tlx::billing
