// The web page the console opens after login: who may see it, and what it shows.
#include "sim/http.h"

#include <gtest/gtest.h>

#include "core/link/message.h"

namespace tlx::sim {
namespace {

class OneShop : public ShopDirectory {
  public:
    ShopState shop{{"1", "<b>"}};
    const ShopState* ShopOf(const std::string& user) const override {
        return user == "anna" ? &shop : nullptr;
    }
};

HttpResponse Get(const std::string& target, const OneShop& shops = {}) {
    const std::vector<Account> accounts = {{"anna", "p&w=1+ #%"}, {"bob", ""}};
    const auto request = ParseRequestLine("GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(request.has_value());
    return HandleRequest(*request, accounts, shops);
}

// The console percent-encodes user name and password, so '&', '=', '+', '#', '%' and blanks in
// a password reach the account as typed; unescaped, '&' and '=' split the query and the login
// is refused. A '+' is no blank.
TEST(WebInterface, LoginQueryDecidesAccess) {
    const std::pair<const char*, int> cases[] = {
        {"/Login.aspx?login=anna&password=p%26w%3D1%2B%20%23%25", 200},
        {"/login.ASPX?login=%61nna&password=p%26w%3d1+%20%23%25", 200},
        {"/Login.aspx?login=anna&password=p&w=1+ #%", 403},
        {"/Login.aspx?login=anna&password=p%26w%3D1%2B+%23%25", 403},
        {"/Login.aspx?login=bob&password=", 200},
        {"/Login.aspx?login=bob", 403},
        {"/Login.aspx", 403},
        {"/other", 404}};
    for (const auto& [target, status] : cases) EXPECT_EQ(Get(target).status, status) << target;
    EXPECT_NE(Get("/Login.aspx?login=anna&password=no").bytes.find("Login incorrect"),
              std::string::npos);  // the status line is checked over the socket
    const auto post =
        HandleRequest(*ParseRequestLine("POST /Login.aspx HTTP/1.1\r\n\r\n"), {}, OneShop());
    EXPECT_EQ(post.status, 405);
    EXPECT_FALSE(ParseRequestLine("garbage\r\n\r\n").has_value());
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nHost: x\r\n"), HeadStatus::kIncomplete);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\n\r\n"), HeadStatus::kComplete);
    EXPECT_EQ(CheckRequestHead(std::string(kMaxRequestHead, 'a')), HeadStatus::kTooLarge);
}

TEST(WebInterface, PageShowsCurrentCallsEscaped) {
    const std::string anna = "/Login.aspx?login=anna&password=p%26w%3D1%2B%20%23%25";
    OneShop shops;
    shops.shop.Apply(link::kCallDialEvent, "<b>;0049<script>;Local & more;0.10");
    shops.shop.Apply(link::kCallConnectedEvent, "<b>");
    shops.shop.Apply(link::kCallDialEvent, "1;0123;Local;0.10");
    shops.shop.Apply(link::kCallRejectedEvent, "1");
    shops.shop.Apply(link::kCallDialEvent, "nobody;1;2;3");  // unknown booth: nothing
    const auto page = Get(anna, shops).bytes;
    for (const char* shown :
         {"Booth &lt;b&gt;", "0049&lt;script&gt;", "Local &amp; more", "Connected", "Rejected"})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    // Content-Length counts the body exactly.
    const auto body = page.find("\r\n\r\n") + 4;
    EXPECT_EQ(std::stoul(page.substr(page.find("Content-Length: ") + 16)), page.size() - body);

    shops.shop.Apply(link::kCallFinishedEvent, "<b>;75;1.50");
    const auto finished = Get(anna, shops).bytes;
    EXPECT_NE(finished.find("<td>75 s</td><td>1.50</td>"), std::string::npos);
}

TEST(ShopState, KeepsABoundedHistoryPerBooth) {
    ShopState shop({"1"});
    for (int i = 0; i < 50; ++i)
        shop.Apply(link::kCallDialEvent, "1;" + std::to_string(i) + ";d;r");
    const auto& calls = shop.booths()[0].calls;
    ASSERT_EQ(calls.size(), ShopState::kRowsPerBooth);
    EXPECT_EQ(calls.back().destination, "49");
    // A connect goes to the latest dialing call only.
    shop.Apply(link::kCallConnectedEvent, "1");
    shop.Apply(link::kCallFinishedEvent, "1;10;0.20");
    EXPECT_EQ(calls.back().state, "Finished");
    EXPECT_EQ(calls[ShopState::kRowsPerBooth - 2].state, "Dialing");
}

}  // namespace
}  // namespace tlx::sim
