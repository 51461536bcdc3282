// The address the web page opens after a login: the server's web address, its login page and
// the operator's user name and password as a query.
#pragma once

#include <string>
#include <string_view>

namespace tlx::console {

// Every byte but letters, digits and "-._~" as %XX (upper-case hex), so a password holding
// "&", "=", "#", "+", "%" or a blank reaches the server as typed. Bytes are passed as they
// are, in the console's code page: the server knows the account by those bytes.
std::string PercentEncode(std::string_view bytes);

// "login=USER&password=PASSWORD", both encoded.
std::string WebLoginQuery(std::string_view user, std::string_view password);

// web address + "Login.aspx?" + query. Nothing goes in between: the server announces its
// address with the final slash.
std::string WebLoginAddress(std::string_view web_address, std::string_view user,
                            std::string_view password);

}  // namespace tlx::console
