#!/usr/bin/env python3
# A web server on 127.0.0.1 that answers every request the way a hostile or
# broken one would; each connection in its own thread.
#
#   hostile_http.py PORT MODE
#
# drip-body        200 with a Content-Length of 1 MB, then 10 bytes every 0.1 s
# drip-headers     a status line, then a header line of 11 bytes every 0.1 s
# slow-file        200 with a body of 50 bytes, 10 of them every 0.1 s
# endless-headers  a status line, then header lines that never end, fast
# endless-list     a listing of song names that never ends, fast
# endless-line     one listed name that never ends
# breaks-list      a listing of 100,000 bare line breaks (empty names)
# nul-names        a short listing where some names hold a zero byte
# drip-handshake   for a client that begins TLS: a record header, then a
#                  byte of the handshake every 0.1 s
#
# Nothing dripping or endless goes on for more than 20 s, so that a client
# that never gives up cannot hold a test for ever.
import socket
import sys
import threading
import time

port, mode = int(sys.argv[1]), sys.argv[2]
LIMIT = 20.0


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return False
        data += chunk
    return True


def drip(conn, piece):
    end = time.monotonic() + LIMIT
    while time.monotonic() < end:
        conn.sendall(piece)
        time.sleep(0.1)


def endless(conn, piece):
    block = piece * max(1, 65536 // len(piece))
    end = time.monotonic() + LIMIT
    while time.monotonic() < end:
        conn.sendall(block)


def serve(conn):
    if mode == "drip-handshake":
        conn.sendall(b"\x16\x03\x03\x40\x00")
        drip(conn, b"\x02")
        return
    if not read_request(conn):
        return
    if mode == "drip-body":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n")
        drip(conn, b"0123456789")
    elif mode == "drip-headers":
        conn.sendall(b"HTTP/1.1 200 OK\r\n")
        drip(conn, b"X-Zeit: 1\r\n")
    elif mode == "endless-headers":
        conn.sendall(b"HTTP/1.1 200 OK\r\n")
        endless(conn, b"X-Mehr: 0123456789\r\n")
    elif mode == "slow-file":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n")
        for _ in range(5):
            time.sleep(0.1)
            conn.sendall(b"0123456789")
    elif mode == "endless-list":
        conn.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
        endless(conn, b"01 Lied.mp3<br>")
    elif mode == "breaks-list":
        body = b"\n" * 100000
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
    elif mode == "endless-line":
        conn.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
        endless(conn, b"a")
    elif mode == "nul-names":
        body = b"a.mp3<br>b\0c.mp3<br>\0<br>d.mp3\r\ne\0\nf.mp3"
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
    else:
        raise SystemExit("unknown mode " + mode)


def handle(conn):
    try:
        serve(conn)
    except OSError:
        pass
    conn.close()


server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(5)
while True:
    client, _ = server.accept()
    threading.Thread(target=handle, args=(client,), daemon=True).start()
