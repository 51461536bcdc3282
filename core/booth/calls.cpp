#include "core/booth/calls.h"

#include <limits>

#include "core/booth/print_text.h"
#include "core/text/numbers.h"

namespace tlx::booth {
namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

std::string TwoDigitClock(std::int64_t seconds_of_day) {
    const auto h = static_cast<int>(seconds_of_day / 3600);
    const auto m = static_cast<int>(seconds_of_day / 60 % 60);
    const auto s = static_cast<int>(seconds_of_day % 60);
    std::string out = "00:00:00";
    out[0] = static_cast<char>('0' + h / 10);
    out[1] = static_cast<char>('0' + h % 10);
    out[3] = static_cast<char>('0' + m / 10);
    out[4] = static_cast<char>('0' + m % 10);
    out[6] = static_cast<char>('0' + s / 10);
    out[7] = static_cast<char>('0' + s % 10);
    return out;
}

bool IsSelected(const Selection& selected, std::size_t row) {
    return row < selected.size() && selected[row];
}

bool HasEnded(CallState s) {
    return s == CallState::NoCharge || s == CallState::Finished || s == CallState::Rejected;
}

}  // namespace

std::string FormatSpan(std::int64_t seconds) {
    if (seconds < 0) {
        // Never produced by the counter itself; shown signed rather than as a wrapped clock.
        std::string out(1, '-');
        out += TwoDigitClock(-(seconds % kSecondsPerDay));
        return out;
    }
    return TwoDigitClock(seconds % kSecondsPerDay);
}

std::string FormatTimeOfDay(LocalSeconds when) {
    std::int64_t of_day = when % kSecondsPerDay;
    if (of_day < 0) of_day += kSecondsPerDay;
    return TwoDigitClock(of_day);
}

std::string FormatCost(double cost) {
    if (cost == 0.0) cost = 0.0;  // no "-0.00" for a free call
    return text::FormatFixed(cost, 2);
}

std::string DurationTextOf(const CallRecord& call) {
    return call.state == CallState::Dialing ? "Connecting" : FormatSpan(call.duration);
}

RowTexts RowTextsOf(const CallRecord& call) {
    RowTexts t;
    t[0] = call.destination.substr(0, kDestinationShown);
    t[kDurationColumn] = DurationTextOf(call);
    t[2] = FormatCost(call.cost);
    const bool answered = call.state == CallState::Connected || call.state == CallState::Finished;
    t[3] = answered ? FormatTimeOfDay(call.start) : "---";
    t[4] = call.state == CallState::Finished ? FormatTimeOfDay(call.end) : "---";
    t[5] = call.description;
    t[6] = call.rate;
    return t;
}

int RowImageOf(CallState state) {
    const auto n = static_cast<int>(state);
    return n >= 0 && n <= 4 ? n : 5;  // 5 is the empty picture
}

CallState CallList::current_state() const {
    return calls_.empty() ? CallState::NoCharge : calls_.back().state;
}

Effect CallList::FinishCurrent(std::int32_t duration, double cost) {
    Effect e;
    e.stop_timer = true;
    CallRecord& call = calls_.back();
    call.cost = cost;
    call.duration = duration;
    if (duration != 0 || cost != 0.0) {
        call.end = call.start + duration;
        call.state = CallState::Finished;
    } else {
        call.state = CallState::NoCharge;
    }
    e.rows.push_back(calls_.size() - 1);
    e.refresh_total = true;
    return e;
}

Effect CallList::Dial(std::string destination, std::string description, std::string rate) {
    Effect e;
    const CallState now = current_state();
    if (now == CallState::Connected) return e;  // the booth is busy: the new call is ignored
    if (now == CallState::Dialing) e = FinishCurrent(0, 0.0);  // the unanswered call gave up
    CallRecord call;
    call.destination = std::move(destination);
    call.description = std::move(description);
    call.rate = std::move(rate);
    calls_.push_back(std::move(call));
    e.appended = true;
    e.refresh_total = true;
    return e;
}

Effect CallList::Connect(LocalSeconds now) {
    Effect e;
    if (current_state() != CallState::Dialing || calls_.empty()) return e;
    CallRecord& call = calls_.back();
    call.state = CallState::Connected;
    call.start = now;
    call.duration = 0;
    e.rows.push_back(calls_.size() - 1);
    e.start_timer = true;
    e.refresh_total = true;
    return e;
}

Effect CallList::Finish(std::int16_t duration, double cost) {
    if (calls_.empty()) return {};
    switch (calls_.back().state) {
        case CallState::Dialing:
            return FinishCurrent(0, 0.0);  // never answered: nothing to charge
        case CallState::Connected: {
            // The console hands over only the low 16 bits of the server's count. A call cannot
            // last a negative time, so a negative value is the top of a call of 9 to 18 hours.
            const std::int32_t seconds = duration < 0 ? duration + 65536 : duration;
            return FinishCurrent(seconds, cost);
        }
        default:
            return {};
    }
}

Effect CallList::FinishWithCostText(std::string_view cost) {
    Effect e;
    if (calls_.empty()) {
        e.no_current_call = true;
        return e;
    }
    if (calls_.back().state == CallState::Connected) return e;
    return FinishCurrent(0, text::AtofC(cost));
}

Effect CallList::Reject() {
    Effect e;
    if (current_state() != CallState::Dialing || calls_.empty()) return e;
    CallRecord& call = calls_.back();
    call.state = CallState::Rejected;
    call.duration = 0;
    e.rows.push_back(calls_.size() - 1);
    e.refresh_total = true;
    return e;
}

Effect CallList::Tick() {
    Effect e;
    // Only an answered call counts; a stray tick must not lengthen a call that has been billed.
    if (current_state() != CallState::Connected) return e;
    CallRecord& call = calls_.back();
    if (call.duration < std::numeric_limits<std::int32_t>::max()) ++call.duration;
    e.rows.push_back(calls_.size() - 1);
    return e;
}

void CallList::DropLast() {
    if (!calls_.empty()) calls_.pop_back();
}

std::vector<std::size_t> CallList::RemoveEnded(const Selection& selected) {
    std::vector<std::size_t> removed;
    for (std::size_t row = calls_.size(); row-- > 0;) {
        if (IsSelected(selected, row) && HasEnded(calls_[row].state)) {
            calls_.erase(calls_.begin() + static_cast<std::ptrdiff_t>(row));
            removed.push_back(row);
        }
    }
    return removed;
}

double CallList::Total(const Selection& selected) const {
    double total = 0.0;
    for (std::size_t row = 0; row < calls_.size(); ++row) {
        const CallState s = calls_[row].state;
        if (IsSelected(selected, row) && (s == CallState::Finished || s == CallState::Rejected))
            total += calls_[row].cost;
    }
    return total;
}

std::string CallList::TotalText(const Selection& selected, std::string_view currency) const {
    if (calls_.empty()) return "No calls";
    std::string text = FormatCost(Total(selected));
    text += ' ';
    text += currency;
    return text;
}

std::optional<std::string> CallList::PrintText(std::string_view booth_name,
                                               const Selection& selected) const {
    std::optional<std::string> text;
    for (std::size_t row = calls_.size(); row-- > 0;) {
        if (!IsSelected(selected, row)) continue;
        if (!text) text = PrintTextHead(booth_name);
        const CallRecord& call = calls_[row];
        if (call.state != CallState::Finished) continue;
        AppendCallLine(*text,
                       {call.destination, FormatTimeOfDay(call.start), FormatTimeOfDay(call.end),
                        static_cast<std::uint32_t>(call.duration), call.cost, call.rate});
    }
    return text;
}

}  // namespace tlx::booth
