#include "console/connection/server_socket.h"

#include <gtest/gtest.h>

#include <array>

namespace tlx::console {
namespace {

class Winsock : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    }
    static void TearDownTestSuite() { WSACleanup(); }
};

std::pair<unsigned long, unsigned short> Parsed(std::string_view text, unsigned short fallback) {
    ServerAddress address;
    address.SetFromText(text, fallback);
    return {ntohl(address.address().sin_addr.s_addr), ntohs(address.address().sin_port)};
}

TEST_F(Winsock, ServerTextGivesAddressAndPort) {
    EXPECT_EQ(Parsed("192.168.0.7:1804", 0), std::pair(0xC0A80007ul, std::uint16_t{1804}));
    EXPECT_EQ(Parsed("192.168.0.7", 0), std::pair(0xC0A80007ul, std::uint16_t{0}));
    EXPECT_EQ(Parsed("192.168.0.7", 1804).second, 1804);
    EXPECT_EQ(Parsed("10.0.0.1:", 1804).second, 0) << "a bare ':' means port 0";
    EXPECT_EQ(Parsed("10.0.0.1:70000", 0).second, 4464) << "only the low 16 bits count";
    EXPECT_EQ(Parsed("10.0.0.1: 12abc", 0).second, 12) << "read the way atoi reads";
    EXPECT_EQ(Parsed("127.0.0.1:b:c", 9).second, 0);
    EXPECT_EQ(Parsed("no-such-host.invalid:1804", 0).first, 0xFFFFFFFFul);
    EXPECT_EQ(Parsed(":1804", 0).first, 0xFFFFFFFFul) << "an empty host is no host";
}

// A loopback listener the socket under test connects to.
struct Peer {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    SOCKET accepted = INVALID_SOCKET;
    unsigned short port = 0;
    Peer() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener, 1);
        int len = sizeof a;
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    void Accept() { accepted = accept(listener, nullptr, nullptr); }
    ~Peer() {
        if (accepted != INVALID_SOCKET) closesocket(accepted);
        closesocket(listener);
    }
};

TEST_F(Winsock, ReadsTellTimeOutFromTheServerClosing) {
    Peer peer;
    ServerSocket s;
    ServerAddress address;
    address.SetFromText("127.0.0.1", peer.port);
    ASSERT_TRUE(s.Create(SOCK_STREAM));
    ASSERT_EQ(s.Connect(address), 0);
    peer.Accept();
    std::array<char, 259> buffer{};
    using Kind = tlx::console::ReadResult::Kind;
    EXPECT_EQ(s.ReceiveSession(buffer.data(), 259, 0).kind, Kind::kTimedOut);
    EXPECT_EQ(s.Receive(buffer.data(), 259, 0), 0);

    send(peer.accepted, "abcd", 4, 0);
    const auto got = s.ReceiveSession(buffer.data(), 259, 5);
    EXPECT_EQ(got.kind, Kind::kData);
    EXPECT_EQ(got.bytes, 4u);

    closesocket(peer.accepted);
    peer.accepted = INVALID_SOCKET;
    EXPECT_EQ(s.ReceiveSession(buffer.data(), 259, 5).kind, Kind::kClosed);
    EXPECT_EQ(s.Receive(buffer.data(), 259, 5), 0) << "the login still sees no answer";

    s.Close();
    s.Close();  // once only; the second does nothing
    EXPECT_EQ(s.ReceiveSession(buffer.data(), 259, 0).kind, Kind::kFailed);
    EXPECT_EQ(s.SendOnce("x", 1, 0), -1);
    EXPECT_EQ(s.SendAll("xyz", 3, 0), 0);
}

TEST_F(Winsock, ConnectToNobodyFails) {
    unsigned short port;
    {
        Peer gone;  // a port that was free a moment ago and is closed again
        port = gone.port;
    }
    ServerSocket s;
    ServerAddress address;
    address.SetFromText("127.0.0.1", port);
    ASSERT_TRUE(s.Create(SOCK_STREAM));
    EXPECT_EQ(s.Connect(address), -1);
    ServerAddress nowhere;
    nowhere.SetFromText("no-such-host.invalid", 1804);
    ASSERT_TRUE(s.Create(SOCK_STREAM));
    EXPECT_EQ(s.Connect(nowhere), -1);
}

}  // namespace
}  // namespace tlx::console
