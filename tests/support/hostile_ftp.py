#!/usr/bin/env python3
# A scripted FTP server on 127.0.0.1 that answers the way a hostile one
# would, one client at a time.
#
#   hostile_ftp.py PORT LOG [size=TEXT] [decoy] [greeting=MODE] [retr=drip]
#                  [nlst=MODE]
#
# size=TEXT         SIZE of a name ending in ".mp3" is answered "213 TEXT"
#                   (others get 550, so there is no "tunrax.copy").
# decoy             EPSV is refused; the PASV reply names 127.0.0.2, where a
#                   decoy listens on the same port as the real data socket.
# greeting=drip     one "220-" line every 0.2 s, for ever.
# greeting=endless  "220-" lines as fast as they go, for ever.
# greeting=wait     "120 gleich" every 0.1 s, for ever (each a whole reply).
# auth=drip         AUTH TLS is answered 234, then the start of a TLS
#                   handshake comes one byte every 0.2 s, for ever.
# auth=inject       AUTH TLS is answered 234 with a "230" reply right behind
#                   it in clear text, as a man in the middle would add it.
#                   (Without auth=, AUTH gets "502 unbekannt".)
# retr=drip         RETR sends one byte every 0.2 s, for ever.
# stor=drip         STOR reads one byte every 0.2 s.
# slow              every reply after the greeting comes 0.2 s late.
# nlst=endless      NLST lists names as fast as they go, for ever.
# nlst=longline     NLST sends one name that never ends.
# nlst=odd          NLST lists "ok.mp3", "crlfdir<CR>SIZE inj", "a<LF>b.mp3"
#                   and "nul<NUL>x.mp3" (lines end with CR LF).
#
# Commands end at a CR or an LF, as a lax server reads them, so that a name
# smuggled into an argument shows in LOG as a command of its own.
# LOG gets "<- COMMAND ARG" per command, "data connection" per connection on
# a real data socket and "decoy connection" per connection to a decoy.
# RETR sends the 5 bytes "hallo"; STOR reads to the end and keeps nothing.
import re
import socket
import sys
import threading
import time

port, log_path = int(sys.argv[1]), sys.argv[2]
size_text = None
decoy = False
modes = {}
for option in sys.argv[3:]:
    if option.startswith("size="):
        size_text = option[5:]
    elif option == "decoy":
        decoy = True
    else:
        key, _, value = option.partition("=")
        modes[key] = value

log_lock = threading.Lock()
decoys = []


def log(line):
    with log_lock, open(log_path, "a") as out:
        out.write(line + "\n")


def watch(listener):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        log("decoy connection")
        conn.close()


# The real data socket; with decoy also one on 127.0.0.2 with its port.
def data_listener():
    for _ in range(50):
        real = socket.socket()
        real.bind(("127.0.0.1", 0))
        real.listen(1)
        if not decoy:
            return real
        fake = socket.socket()
        try:
            fake.bind(("127.0.0.2", real.getsockname()[1]))
        except OSError:
            real.close()
            fake.close()
            continue
        fake.listen(5)
        decoys.append(fake)
        threading.Thread(target=watch, args=(fake,), daemon=True).start()
        return real
    raise RuntimeError("no port for a decoy")


def commands(conn):
    pending = b""
    while True:
        pieces = re.split(rb"[\r\n]", pending, maxsplit=1)
        if len(pieces) == 2:
            pending = pieces[1]
            if pieces[0]:
                yield pieces[0].decode("latin-1")
            continue
        more = conn.recv(4096)
        if not more:
            return
        pending += more


def send_listing(data):
    mode = modes.get("nlst")
    if mode == "endless":
        number = 0
        while True:
            data.sendall(b"".join(b"n%09d.mp3\r\n" % (number + i) for i in range(1000)))
            number += 1000
    elif mode == "longline":
        while True:
            data.sendall(b"a" * 65536)
    elif mode == "odd":
        data.sendall(b"ok.mp3\r\ncrlfdir\rSIZE inj\r\na\nb.mp3\r\nnul\0x.mp3\r\n")
    else:
        data.sendall(b"a.mp3\r\n")


def serve(conn):
    def reply(text):
        conn.sendall((text + "\r\n").encode())

    if modes.get("greeting") == "drip":
        while True:
            reply("220-")
            time.sleep(0.2)
    elif modes.get("greeting") == "wait":
        while True:
            reply("120 gleich")
            time.sleep(0.1)
    elif modes.get("greeting") == "endless":
        line = ("220-" + "x" * 70 + "\r\n").encode() * 1000
        while True:
            conn.sendall(line)
    reply("220 bereit")
    listener = None
    for line in commands(conn):
        if "slow" in modes:
            time.sleep(0.2)
        command, _, argument = line.partition(" ")
        command = command.upper()
        log("<- " + line)
        if command == "AUTH" and modes.get("auth") == "drip":
            reply("234 weiter")
            # A TLS record header of a ServerHello, then a byte at a time.
            for byte in b"\x16\x03\x03\x10\x00\x02" + b"\x00" * 4096:
                conn.sendall(bytes([byte]))
                time.sleep(0.2)
            return
        elif command == "AUTH" and modes.get("auth") == "inject":
            conn.sendall(b"234 weiter\r\n230 angemeldet\r\n")
        elif command == "USER":
            reply("331 Passwort bitte")
        elif command == "PASS":
            reply("230 angemeldet")
        elif command in ("TYPE", "CWD"):
            reply("200 ok")
        elif command == "SIZE":
            if size_text is not None and argument.endswith(".mp3"):
                reply("213 " + size_text)
            elif size_text is None and argument.endswith(".mp3"):
                reply("213 5")
            else:
                reply("550 keine Datei")
        elif command == "EPSV" and decoy:
            reply("500 EPSV unbekannt")
        elif command == "EPSV":
            listener = data_listener()
            reply("229 Passiv (|||%d|)" % listener.getsockname()[1])
        elif command == "PASV":
            listener = data_listener()
            p = listener.getsockname()[1]
            host = "127,0,0,2" if decoy else "127,0,0,1"
            reply("227 Passiv (%s,%d,%d)" % (host, p >> 8, p & 255))
        elif command in ("RETR", "STOR", "NLST"):
            if listener is None:
                reply("425 erst PASV")
                continue
            reply("150 Daten folgen")
            listener.settimeout(3)
            try:
                data, _ = listener.accept()
            except OSError:
                listener.close()
                listener = None
                reply("425 keine Datenverbindung")
                continue
            log("data connection")
            if command == "RETR" and modes.get("retr") == "drip":
                while True:
                    data.sendall(b"x")
                    time.sleep(0.2)
            elif command == "RETR":
                data.sendall(b"hallo")
            elif command == "NLST":
                send_listing(data)
            elif modes.get("stor") == "drip":
                while data.recv(1):
                    time.sleep(0.2)
            else:
                while data.recv(65536):
                    pass
            data.close()
            listener.close()
            listener = None
            reply("226 fertig")
        elif command == "QUIT":
            reply("221 tschuess")
            return
        else:
            reply("502 unbekannt")


server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(5)
while True:
    client, _ = server.accept()
    try:
        serve(client)
    except OSError:
        pass
    client.close()
