#!/usr/bin/env python3
# A scripted FTP server on 127.0.0.1 that answers the way a hostile one
# would, one client at a time.
#
#   hostile_ftp.py PORT LOG [size=TEXT] [decoy]
#
# size=TEXT  SIZE of a name ending in ".mp3" is answered "213 TEXT" (others
#            get 550, so there is no "tunrax.copy").
# decoy      EPSV is refused; the PASV reply names 127.0.0.2, where a decoy
#            listens on the same port as the real data socket on 127.0.0.1.
#
# LOG gets "<- COMMAND ARG" per command, "data connection" per connection on
# a real data socket and "decoy connection" per connection to a decoy.
# RETR sends the 5 bytes "hallo"; STOR reads to the end and keeps nothing.
import socket
import sys
import threading

port, log_path = int(sys.argv[1]), sys.argv[2]
size_text = None
decoy = False
for option in sys.argv[3:]:
    if option.startswith("size="):
        size_text = option[5:]
    elif option == "decoy":
        decoy = True

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


def serve(conn):
    lines = conn.makefile("rb")

    def reply(text):
        conn.sendall((text + "\r\n").encode())

    reply("220 bereit")
    listener = None
    while True:
        line = lines.readline()
        if not line:
            return
        line = line.rstrip(b"\r\n").decode("latin-1")
        command, _, argument = line.partition(" ")
        command = command.upper()
        log("<- " + line)
        if command == "USER":
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
        elif command in ("RETR", "STOR"):
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
            if command == "RETR":
                data.sendall(b"hallo")
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
