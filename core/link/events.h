// Payloads of the server's text messages, parsed as the console reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tlx::link {

struct BoothListPayload {
    std::string web_address;
    std::vector<std::string> keys;  // trimmed, in the order sent, repeats kept
};
BoothListPayload ParseBoothList(std::string text);

// key;destination;description;rate — missing fields are empty, extra fields ignored.
struct CallDialFields {
    std::string key;
    std::string destination;
    std::string description;
    std::string rate;
};
CallDialFields ParseCallDial(std::string text);
// The receiving thread splits the key off; the handler parses the rest.
struct DialRest {
    std::string destination;
    std::string description;
    std::string rate;
};
DialRest ParseDialRest(std::string rest);

// key;duration;cost — duration read as atoi, cost as atof in the C locale.
struct CallFinishedFields {
    std::string key;
    std::int32_t duration = 0;
    double cost = 0.0;
};
CallFinishedFields ParseCallFinished(std::string text);

}  // namespace tlx::link
