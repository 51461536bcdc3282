#include "core/console/web_login.h"

#include <gtest/gtest.h>

#include <utility>

namespace tlx::console {
namespace {

// Nothing is put between the web address and the page: without a final slash it runs on.
TEST(WebLogin, AddressIsTheWebAddressThenTheLoginPage) {
    EXPECT_EQ(WebLoginAddress("http://shop:1805/", "anna", "secret"),
              "http://shop:1805/Login.aspx?login=anna&password=secret");
    EXPECT_EQ(WebLoginAddress("http://shop", "a", ""), "http://shopLogin.aspx?login=a&password=");
}

// Whatever would change the query's meaning, or not survive the trip, is sent as %XX;
// letters and digits go as they are, so accounts that worked before still do.
TEST(WebLogin, SpecialCharactersAreSentAsTyped) {
    const std::pair<const char*, const char*> cases[] = {
        {"&", "%26"}, {"=", "%3D"},    {"+", "%2B"},      {"%", "%25"},
        {" ", "%20"}, {"\x01", "%01"}, {"\xE9t", "%E9t"}, {"Az09-._~", "Az09-._~"}};
    for (const auto& [typed, sent] : cases) EXPECT_EQ(PercentEncode(typed), sent) << typed;
    EXPECT_EQ(WebLoginQuery("anna b", "p&w=1"), "login=anna%20b&password=p%26w%3D1");
}

}  // namespace
}  // namespace tlx::console
