// The console's one connection to the call shop server, over Windows Sockets.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstddef>
#include <string_view>

#include "core/console/session.h"

namespace tlx::console {

// An IPv4 socket address taken from the configured server text.
class ServerAddress {
  public:
    ServerAddress();
    // "host" or "host:port". The port is read the way atoi reads it (so "a:b:c" is host a,
    // port 0, and 70000 keeps only its low 16 bits); without ':' the default port is used.
    // A host that is neither a dotted address nor a known name gives 255.255.255.255, so
    // the connect that follows fails.
    void SetFromText(std::string_view text, unsigned short default_port);
    const sockaddr_in& address() const { return address_; }

  private:
    sockaddr_in address_;
};

class ServerSocket {
  public:
    ServerSocket() = default;
    ~ServerSocket() { Close(); }
    ServerSocket(const ServerSocket&) = delete;
    ServerSocket& operator=(const ServerSocket&) = delete;

    // A new stream socket; the previous one, if any, is closed first.
    bool Create(int type);
    int Connect(const ServerAddress& address);
    // Closes once; later calls do nothing. Safe from the operator's thread while the
    // receiving thread waits on the socket: its wait then fails.
    void Close();

    // -1 when the wait fails or times out, else what one send accepted (or -1).
    int SendOnce(const void* data, int length, int seconds);
    // Total accepted, 0 to length.
    int SendAll(const void* data, int length, int seconds);
    // -1 on failure, 0 when the wait timed out or the server closed, else the bytes read.
    int Receive(void* buffer, int capacity, int seconds);
    // The same read, telling a time-out from the server closing the connection.
    tlx::console::ReadResult ReceiveSession(void* buffer, int capacity, int seconds);

  private:
    std::atomic<SOCKET> handle_{0};
};

// The program's single connection.
ServerSocket& TheServerSocket();

}  // namespace tlx::console
