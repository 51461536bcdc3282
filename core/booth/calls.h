// The calls of one booth as the counter sees them: states, row texts, total, removal and the
// text handed to the bill when the operator presses Print. The control's window only mirrors
// this into its list view.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::booth {

// The numbers are stored per call and decide every transition.
enum class CallState : std::int32_t {
    NoCharge = 0,   // ended with neither duration nor cost
    Dialing = 1,    // dialled, not yet answered
    Connected = 2,  // answered; the duration counts up every second
    Finished = 3,   // ended with a duration or a cost
    Rejected = 4,   // refused before it was answered
};

// Local wall-clock time as whole seconds since 1899-12-30 00:00:00; 0 is the "no time" date.
using LocalSeconds = std::int64_t;

struct CallRecord {
    CallState state = CallState::Dialing;
    double cost = 0.0;
    std::int32_t duration = 0;  // seconds
    LocalSeconds start = 0;     // when the call was answered
    LocalSeconds end = 0;       // start plus duration, once the call has ended with a charge
    std::string destination;
    std::string description;
    std::string rate;  // shown and billed as given, never read as a number
};

inline constexpr std::size_t kColumnCount = 7;
inline constexpr const char* kColumnTitles[kColumnCount] = {
    "Destination", "Duration", "Cost", "Start", "End", "Route description", "Rate"};
inline constexpr std::size_t kDestinationShown = 255;  // longest destination the row shows
using RowTexts = std::array<std::string, kColumnCount>;

// "%H:%M:%S" of a span: hours wrap at 24 as on a clock.
std::string FormatSpan(std::int64_t seconds);
// "%H:%M:%S" of the time of day of a local time.
std::string FormatTimeOfDay(LocalSeconds when);
// "%.2f" with a full stop whatever the process locale says; a free call is never "-0.00".
std::string FormatCost(double cost);

inline constexpr std::size_t kDurationColumn = 1;  // the one cell a second of the call changes
std::string DurationTextOf(const CallRecord& call);
RowTexts RowTextsOf(const CallRecord& call);
int RowImageOf(CallState state);  // index into the six state pictures

// Which list row the selection refers to; rows past the end of the vector count as unselected.
using Selection = std::vector<bool>;

// What a call event did, so the window can mirror it.
struct Effect {
    bool appended = false;          // a new last row exists
    std::vector<std::size_t> rows;  // existing rows whose texts/image changed
    bool start_timer = false;       // start the one-second duration timer
    bool stop_timer = false;        // stop it (whether or not it runs)
    bool refresh_total = false;     // the total line must be refreshed
    bool no_current_call = false;   // the event needed a call and the list is empty
};

class CallList {
  public:
    Effect Dial(std::string destination, std::string description, std::string rate);
    Effect Connect(LocalSeconds now);
    // The booth ends with `duration` seconds, carried as a signed 16-bit value (see .cpp).
    Effect Finish(std::int16_t duration, double cost);
    // Ends the current call with no duration and the cost read from text as atof reads it.
    Effect FinishWithCostText(std::string_view cost);
    Effect Reject();
    // One second passed for the answered call.
    Effect Tick();

    // Undo the row a Dial appended when the window could not show it.
    void DropLast();

    // Removes the selected calls that have ended; returns their rows, last first.
    std::vector<std::size_t> RemoveEnded(const Selection& selected);

    double Total(const Selection& selected) const;
    std::string TotalText(const Selection& selected, std::string_view currency) const;
    bool CanPrint() const { return !calls_.empty(); }
    // The booth print text of the selected finished calls, newest first; nothing when no row
    // is selected.
    std::optional<std::string> PrintText(std::string_view booth_name,
                                         const Selection& selected) const;

    const std::vector<CallRecord>& calls() const { return calls_; }
    std::size_t size() const { return calls_.size(); }
    bool empty() const { return calls_.empty(); }
    // The state of the current (last) call; an empty list counts as NoCharge.
    CallState current_state() const;

  private:
    Effect FinishCurrent(std::int32_t duration, double cost);

    std::vector<CallRecord> calls_;
};

}  // namespace tlx::booth
