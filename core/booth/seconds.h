// When each talking booth's next second comes, for booths that share one clock: every booth
// counts its seconds from its own call's answer, whenever the shared clock looks.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace tlx::booth {

class SecondsSchedule {
  public:
    using Millis = std::uint64_t;
    static constexpr Millis kSecond = 1000;

    // The booth's next second is one from `now` (a new answered call starts afresh).
    void Start(const void* booth, Millis now);
    void Stop(const void* booth);
    bool empty() const { return next_.empty(); }
    // The booths whose second has come by `now`, each once; each one's next second is one
    // later, so a clock that looked late catches up a second per look.
    std::vector<const void*> Due(Millis now);

  private:
    std::vector<std::pair<const void*, Millis>> next_;
};

}  // namespace tlx::booth
