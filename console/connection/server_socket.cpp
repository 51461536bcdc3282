#include "console/connection/server_socket.h"

#include <cstring>
#include <string>

#include "core/text/numbers.h"

namespace tlx::console {

ServerAddress::ServerAddress() {
    address_ = {};
    address_.sin_family = AF_INET;
}

void ServerAddress::SetFromText(std::string_view text, unsigned short default_port) {
    address_.sin_family = AF_INET;
    std::string host(text);
    unsigned short port = default_port;
    if (const auto colon = text.find(':'); !text.empty() && colon != std::string_view::npos) {
        port = static_cast<unsigned short>(tlx::text::AtoiC(text.substr(colon + 1)) & 0xFFFF);
        host = std::string(text.substr(0, colon));
    }
    address_.sin_port = htons(port);
    address_.sin_addr.s_addr = inet_addr(host.c_str());
    if (address_.sin_addr.s_addr == INADDR_NONE && !host.empty()) {
        if (const hostent* found = gethostbyname(host.c_str());
            found && found->h_addrtype == AF_INET && found->h_addr_list && found->h_addr_list[0]) {
            std::memcpy(&address_.sin_addr, found->h_addr_list[0], sizeof address_.sin_addr);
        }
    }
}

ServerSocket& TheServerSocket() {
    static ServerSocket socket;
    return socket;
}

bool ServerSocket::Create(int type) {
    Close();
    const SOCKET s = socket(AF_INET, type, 0);
    handle_ = s;
    return s != INVALID_SOCKET;
}

int ServerSocket::Connect(const ServerAddress& address) {
    return connect(handle_.load(), reinterpret_cast<const sockaddr*>(&address.address()),
                   sizeof(sockaddr_in)) == 0
               ? 0
               : -1;
}

void ServerSocket::Close() {
    const SOCKET s = handle_.exchange(0);
    if (s != 0) closesocket(s);
}

namespace {

// One wait on this socket alone: > 0 ready, 0 timed out, < 0 failed.
int WaitFor(SOCKET s, bool write, int seconds) {
    if (s == 0 || s == INVALID_SOCKET) return -1;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{seconds, 0};
    return select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &limit);
}

}  // namespace

int ServerSocket::SendOnce(const void* data, int length, int seconds) {
    const SOCKET s = handle_.load();
    if (WaitFor(s, true, seconds) <= 0) return -1;
    const int sent = send(s, static_cast<const char*>(data), length, 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int ServerSocket::SendAll(const void* data, int length, int seconds) {
    int sent = 0;
    do {
        const int r = SendOnce(static_cast<const char*>(data) + sent, length - sent, seconds);
        if (r <= 0) break;
        sent += r;
    } while (sent < length);
    return sent;
}

int ServerSocket::Receive(void* buffer, int capacity, int seconds) {
    const auto r = ReceiveSession(buffer, capacity, seconds);
    switch (r.kind) {
        case tlx::console::ReadResult::Kind::kData:
            return static_cast<int>(r.bytes);
        case tlx::console::ReadResult::Kind::kTimedOut:
        case tlx::console::ReadResult::Kind::kClosed:
            return 0;
        case tlx::console::ReadResult::Kind::kFailed:
            break;
    }
    return -1;
}

tlx::console::ReadResult ServerSocket::ReceiveSession(void* buffer, int capacity, int seconds) {
    using Kind = tlx::console::ReadResult::Kind;
    const SOCKET s = handle_.load();
    const int ready = WaitFor(s, false, seconds);
    if (ready < 0) return {Kind::kFailed, 0};
    if (ready == 0) return {Kind::kTimedOut, 0};
    const int n = recv(s, static_cast<char*>(buffer), capacity, 0);
    if (n > 0) return {Kind::kData, static_cast<std::size_t>(n)};
    // Readable yet nothing to read: the server closed the connection.
    return {n == 0 ? Kind::kClosed : Kind::kFailed, 0};
}

}  // namespace tlx::console
