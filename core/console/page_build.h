// The booth controls of a login are made a few at a time between the operator's messages, the
// page in view first, so the console answers while a hundred booths come up. A call for a booth
// whose control is not made yet waits for it, so no call is lost.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/console/booths.h"

namespace tlx::console {

// Which booth (by its place in key order) to make next.
class PageBuild {
  public:
    // `booths` booths, `per_page` (at least 1) on each page, none made yet.
    void Reset(int booths, int per_page);
    // The first booth not made yet of page `shown_page` (counting from 0; another number stands
    // for no booth page), else the first not made yet of all; -1 when every booth is made.
    int Next(int shown_page) const;
    void MarkBuilt(int index);
    bool IsBuilt(int index) const;
    // Every booth of page `page` is made (a page is shown only then, never half-filled).
    bool PageBuilt(int page) const;
    bool done() const { return left_ == 0; }

  private:
    std::vector<bool> built_;
    int per_page_ = 1;
    int left_ = 0;
};

// Calls held per booth, in the order they arrived.
class HeldCalls {
  public:
    void Hold(BoothCall call) { held_[call.key].push_back(std::move(call)); }
    // The booth's held calls, oldest first; they are held no longer.
    std::vector<BoothCall> Release(std::string_view key);
    void Clear() { held_.clear(); }
    bool empty() const { return held_.empty(); }

  private:
    std::map<std::string, std::vector<BoothCall>, BoothKeyLess> held_;
};

}  // namespace tlx::console
