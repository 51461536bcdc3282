#include "console/web_login.h"

#include <gtest/gtest.h>

#include <utility>

namespace tlx::console {
namespace {

TEST(WebLogin, AddressIsTheWebAddressThenTheLoginPage) {
    EXPECT_EQ(WebLoginAddress("http://shop:1805/", "anna", "secret"),
              "http://shop:1805/Login.aspx?login=anna&password=secret");
    // Nothing is put between: without a final slash the page name runs on.
    EXPECT_EQ(WebLoginAddress("http://shop", "a", "b"), "http://shopLogin.aspx?login=a&password=b");
    EXPECT_EQ(WebLoginAddress("", "anna", "secret"), "Login.aspx?login=anna&password=secret");
    EXPECT_EQ(WebLoginQuery("", "pw"), "login=&password=pw");
    EXPECT_EQ(WebLoginQuery("", ""), "login=&password=");
}

// Whatever would change the query's meaning, or not survive the trip, is sent as %XX;
// letters and digits go as they are, so accounts that worked before still do.
TEST(WebLogin, SpecialCharactersAreSentAsTyped) {
    const std::pair<const char*, const char*> cases[] = {
        {"&", "%26"},          {"=", "%3D"},
        {"#", "%23"},          {"+", "%2B"},
        {"%", "%25"},          {" ", "%20"},
        {"?", "%3F"},          {"/", "%2F"},
        {"\x80", "%80"},       {"\xE9t\xE9", "%E9t%E9"},
        {"\x01", "%01"},       {"Az09-._~", "Az09-._~"},
        {"a&b=c", "a%26b%3Dc"}};
    for (const auto& [typed, sent] : cases) EXPECT_EQ(PercentEncode(typed), sent) << typed;
    EXPECT_EQ(WebLoginQuery("anna b", "p&w=1"), "login=anna%20b&password=p%26w%3D1");
}

}  // namespace
}  // namespace tlx::console
