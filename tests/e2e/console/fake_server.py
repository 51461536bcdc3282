#!/usr/bin/env python3
"""A call shop server that misbehaves on purpose during login, one way per connection.

Usage: fake_server.py PORTFILE MODE...   (prints nothing; writes its port to PORTFILE)
Modes, used in order for successive connections:
  close       read the login request, then close without answering
  already     answer the login request with AlreadyLoggedIn (type 20)
  unexpected  answer the login request with a type that has no place there (3)
  verdict-gone send a challenge, read the response, then close
Each received message type is appended to PORTFILE.log.
"""
import socket
import struct
import sys


def recv_exact(conn, n):
    data = b""
    while len(data) < n:
        part = conn.recv(n - len(data))
        if not part:
            break
        data += part
    return data


def record(path, conn_no, data):
    kind = struct.unpack("<i", data[:4])[0] if len(data) >= 4 else None
    with open(path, "a") as log:
        log.write(f"{conn_no} {kind} {len(data)}\n")


def main():
    portfile, modes = sys.argv[1], sys.argv[2:]
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    with open(portfile + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    import os
    os.replace(portfile + ".tmp", portfile)
    for number, mode in enumerate(modes, 1):
        conn, _ = listener.accept()
        conn.settimeout(20)
        record(portfile + ".log", number, recv_exact(conn, 259))
        if mode == "already":
            conn.sendall(struct.pack("<i", 20))
        elif mode == "unexpected":
            conn.sendall(struct.pack("<i", 3) + bytes(255))
        elif mode == "verdict-gone":
            conn.sendall(struct.pack("<i", 18) + bytes(range(16)) + bytes(239))
            record(portfile + ".log", number, recv_exact(conn, 259))
        if mode in ("already", "unexpected"):
            # The console ends a refused attempt by closing its side.
            try:
                gone = conn.recv(1) == b""
            except socket.timeout:
                gone = False
            with open(portfile + ".log", "a") as log:
                log.write(f"{number} {'console-closed' if gone else 'console-kept-open'}\n")
        # Every mode ends here: the connection goes away.
        conn.close()
    listener.close()


if __name__ == "__main__":
    main()
