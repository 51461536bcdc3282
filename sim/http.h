// The call shop server's web interface: one page behind a login query.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/config.h"
#include "sim/shop.h"

namespace tlx::sim {

inline constexpr std::size_t kMaxRequestHead = 8192;

enum class HeadStatus { kIncomplete, kComplete, kTooLarge };
// Whether the buffer holds a whole request head (ended by an empty line).
HeadStatus CheckRequestHead(std::string_view buffer);

struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    std::string line;  // the request line as received, for the log
};
std::optional<HttpRequest> ParseRequestLine(std::string_view head);

// name=value pairs split at '&' and '='; %XX is decoded, so the console's percent-encoded user
// name and password read as typed. '+' stays a '+': the console sends a blank as %20, and older
// consoles put a '+' of a password into the query as it was.
std::map<std::string, std::string> ParseQuery(std::string_view query);

std::string HtmlEscape(std::string_view text);

struct HttpResponse {
    int status = 200;
    std::string bytes;  // whole response, head and body
};

class ShopDirectory {
  public:
    virtual ~ShopDirectory() = default;
    virtual const ShopState* ShopOf(const std::string& user) const = 0;
};

HttpResponse HandleRequest(const HttpRequest& request, const std::vector<Account>& accounts,
                           const ShopDirectory& shops);
// For a head that could not be read as a request.
HttpResponse BadRequest(std::string_view why);

}  // namespace tlx::sim
