// The booth print text, the one text a booth's print request carries: the booth's name and
// ";", then one line per billed call, "destination;start;end;duration;cost;rate|". Written by
// the booth, read by billing; nothing in it is escaped, so a ";" or "|" inside a name,
// destination or rate moves the fields of the reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::booth {

inline constexpr char kFieldSeparator = ';';
inline constexpr char kCallEnd = '|';

struct PrintedCall {
    std::string_view destination;
    std::string_view start;  // "%H:%M:%S"
    std::string_view end;    // "%H:%M:%S"
    std::uint32_t duration = 0;
    double cost = 0.0;  // written with a full stop and two decimals
    std::string_view rate;
};

// The head of the text: the booth's name and its separator.
std::string PrintTextHead(std::string_view booth_name);
void AppendCallLine(std::string& text, const PrintedCall& call);

// The reading side. The non-empty pieces between "|" (runs of "|" give nothing), in order.
std::vector<std::string_view> CallPieces(std::string_view calls);

// The fields of one piece. Take gives the text before the first ";" of what is left (empty
// when there is none) and leaves it there; Drop removes everything up to and including the
// first ";" (nothing when there is none); Rest is what is left.
class FieldReader {
  public:
    explicit FieldReader(std::string_view piece) : rest_(piece) {}
    std::string_view Take() const;
    void Drop();
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

}  // namespace tlx::booth
