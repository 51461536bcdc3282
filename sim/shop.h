// What a call shop's booths are doing, as far as the events sent to its console tell;
// shown by the web interface.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tlx::sim {

struct CallRow {
    std::string destination;
    std::string description;
    std::string rate;
    std::string state;  // "Dialing", "Connected", "Finished", "Rejected"
    std::int32_t seconds = 0;
    std::string cost;
};

class ShopState {
  public:
    static constexpr std::size_t kRowsPerBooth = 20;  // the oldest rows go first

    explicit ShopState(std::vector<std::string> booths);
    // Applies a call event as the console would; other types and unknown booths change nothing.
    void Apply(std::int32_t type, const std::string& text);
    void Clear();

    struct Booth {
        std::string key;
        std::deque<CallRow> calls;
    };
    const std::vector<Booth>& booths() const { return booths_; }

  private:
    Booth* Find(const std::string& key);
    CallRow* Latest(Booth& booth, const char* state);
    std::vector<Booth> booths_;
};

}  // namespace tlx::sim
