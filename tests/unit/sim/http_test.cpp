// The web page the console opens after login: who may see it, and what it shows.
#include "http.h"

#include <gtest/gtest.h>

#include "link/message.h"

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
    const std::vector<Account> accounts = {{"anna", "p&w=1+"}, {"bob", ""}};
    const auto request = ParseRequestLine("GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(request.has_value());
    return HandleRequest(*request, accounts, shops);
}

TEST(WebInterface, LoginQueryDecidesAccess) {
    // The console does not escape the password; an escaped form reads the same.
    EXPECT_EQ(Get("/Login.aspx?login=anna&password=p%26w%3D1+").status, 200);
    EXPECT_EQ(Get("/login.ASPX?login=anna&password=p%26w%3d1%2B").status, 200);
    // Unescaped, '&' and '=' split the password: refused, as the console's query means it.
    EXPECT_EQ(Get("/Login.aspx?login=anna&password=p&w=1+").status, 403);
    EXPECT_EQ(Get("/Login.aspx?login=anna&password=p%26w%3D1%20").status, 403);
    EXPECT_EQ(Get("/Login.aspx?login=bob&password=").status, 200);
    EXPECT_EQ(Get("/Login.aspx?login=bob").status, 403);
    EXPECT_EQ(Get("/Login.aspx").status, 403);
    EXPECT_EQ(Get("/other").status, 404);
    const auto refused = Get("/Login.aspx?login=anna&password=no");
    EXPECT_NE(refused.bytes.find("HTTP/1.1 403 Forbidden\r\n"), std::string::npos);
    EXPECT_NE(refused.bytes.find("Login incorrect"), std::string::npos);

    const auto post =
        HandleRequest(*ParseRequestLine("POST /Login.aspx HTTP/1.1\r\n\r\n"), {}, OneShop());
    EXPECT_EQ(post.status, 405);
    EXPECT_FALSE(ParseRequestLine("garbage\r\n\r\n").has_value());
}

TEST(WebInterface, PageShowsCurrentCallsEscaped) {
    OneShop shops;
    shops.shop.Apply(link::kCallDialEvent, "<b>;0049<script>;Local & more;0.10");
    shops.shop.Apply(link::kCallConnectedEvent, "<b>");
    shops.shop.Apply(link::kCallDialEvent, "1;0123;Local;0.10");
    shops.shop.Apply(link::kCallRejectedEvent, "1");
    shops.shop.Apply(link::kCallDialEvent, "nobody;1;2;3");  // unknown booth: nothing
    const auto page = Get("/Login.aspx?login=anna&password=p%26w%3D1+", shops).bytes;
    EXPECT_NE(page.find("Booth &lt;b&gt;"), std::string::npos);
    EXPECT_NE(page.find("0049&lt;script&gt;"), std::string::npos);
    EXPECT_NE(page.find("Local &amp; more"), std::string::npos);
    EXPECT_NE(page.find("Connected"), std::string::npos);
    EXPECT_NE(page.find("Rejected"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    // Content-Length counts the body exactly.
    const auto body = page.find("\r\n\r\n") + 4;
    const auto len_at = page.find("Content-Length: ") + 16;
    EXPECT_EQ(std::stoul(page.substr(len_at)), page.size() - body);

    shops.shop.Apply(link::kCallFinishedEvent, "<b>;75;1.50");
    const auto finished = Get("/Login.aspx?login=anna&password=p%26w%3D1+", shops).bytes;
    EXPECT_NE(finished.find("<td>75 s</td><td>1.50</td>"), std::string::npos);
}

TEST(WebInterface, RequestHeadIsBounded) {
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nHost: x\r\n"), HeadStatus::kIncomplete);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\n\r\n"), HeadStatus::kComplete);
    EXPECT_EQ(CheckRequestHead(std::string(kMaxRequestHead, 'a')), HeadStatus::kTooLarge);
}

TEST(ShopState, KeepsABoundedHistoryPerBooth) {
    ShopState shop({"1"});
    for (int i = 0; i < 50; ++i)
        shop.Apply(link::kCallDialEvent, "1;" + std::to_string(i) + ";d;r");
    ASSERT_EQ(shop.booths()[0].calls.size(), ShopState::kRowsPerBooth);
    EXPECT_EQ(shop.booths()[0].calls.back().destination, "49");
    // A connect goes to the latest dialing call only.
    shop.Apply(link::kCallConnectedEvent, "1");
    shop.Apply(link::kCallFinishedEvent, "1;10;0.20");
    EXPECT_EQ(shop.booths()[0].calls.back().state, "Finished");
    EXPECT_EQ(shop.booths()[0].calls[ShopState::kRowsPerBooth - 2].state, "Dialing");
}

}  // namespace
}  // namespace tlx::sim
