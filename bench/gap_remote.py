#!/usr/bin/python3
"""The longest silence between the songs of an album of three 5 MB songs
played to its end, from a local folder, from a web server (our server script
behind a proxy that holds it to 2 MB/s) and from an FTP server held to
2 MB/s, at the null sink. With a baseline program (an older build) the same
runs follow for it, in the same session.

    tests/e2e/session.sh /usr/bin/python3 bench/gap_remote.py PROGRAM [BASELINE]

Each song is an 8 s tone that runs to its last sample, with 5 MB of tag
padding so that fetching it takes 2.5 s at 2 MB/s. Never fails on a figure.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
import e2e  # noqa: E402
from e2e import (album_tree, cell, cells, click, playing_song, song_list, start,  # noqa: E402
                 wait_for)
from scenario_gapless import shape  # noqa: E402

RATE_LIMIT = 2 * 1024 * 1024  # bytes per second
SONGS = ["Eins", "Zwei", "Drei"]


def Tag(frames, size):
    """An ID3v2.3 tag of size bytes: the text frames, then padding (the
    encoder will not pad that much itself)."""
    body = b""
    for name, text in frames.items():
        data = b"\0" + text.encode("latin-1")
        body += name.encode() + len(data).to_bytes(4, "big") + b"\0\0" + data
    body += bytes(size - 10 - len(body))
    length = len(body)
    synchsafe = bytes((length >> shift) & 0x7F for shift in (21, 14, 7, 0))
    return b"ID3\x03\x00\x00" + synchsafe + body


def make_collection(root):
    album = os.path.join(root, "Bank", "Album")
    os.makedirs(album)
    for number, (title, hz) in enumerate(zip(SONGS, (440, 554, 659)), 1):
        wav = subprocess.run(["sox", "-q", "-V1", "-n", "-r", "44100", "-c", "2", "-b", "16",
                              "-t", "wav", "-", "synth", "8", "sine", str(hz), "vol", "0.5"],
                             capture_output=True, check=True).stdout
        # Into a file: the encoder goes back to its first frame at the end to
        # note its delay and padding, which a gapless decoder leaves out.
        encoded = os.path.join(root, "encoded.mp3")
        subprocess.run(["lame", "--quiet", "-b", "128", "-", encoded], input=wav, check=True)
        with open(encoded, "rb") as mp3:
            audio = mp3.read()
        os.unlink(encoded)
        with open(os.path.join(album, f"0{number}-{title}.mp3"), "wb") as song:
            song.write(Tag({"TIT2": title, "TPE1": "Bank", "TALB": "Album"}, 5 * 1000 * 1000))
            song.write(audio)
    with open(os.path.join(root, "tunrax.dat"), "wb") as catalogue:
        catalogue.write(b"Bank\r\n\tAlbum\r\n")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port):
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return
        except OSError:
            time.sleep(0.1)


class Throttle:
    """A TCP proxy on loopback that passes the server's answers on at most
    RATE_LIMIT bytes a second, in pieces of 16 KB."""

    def __init__(self, target):
        self.target = target
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            client, _ = self.listener.accept()
            server = socket.create_connection(("127.0.0.1", self.target))
            threading.Thread(target=self._pipe, args=(client, server, False), daemon=True).start()
            threading.Thread(target=self._pipe, args=(server, client, True), daemon=True).start()

    @staticmethod
    def _pipe(source, dest, slow):
        piece = 16 * 1024
        try:
            while True:
                data = source.recv(piece)
                if not data:
                    break
                dest.sendall(data)
                if slow:
                    time.sleep(len(data) / RATE_LIMIT)
        except OSError:
            pass
        for s in (source, dest):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


FTP_SERVER = """
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[2], perm="elr")
dtp = ThrottledDTPHandler
dtp.write_limit = int(sys.argv[3])
handler = FTPHandler
handler.authorizer = authorizer
handler.dtp_handler = dtp
FTPServer(("127.0.0.1", int(sys.argv[1])), handler).serve_forever()
"""


def settings(kind, music, port):
    if kind == "lokal":
        return f"Typ=0\nVerzeichnis={music}\n"
    if kind == "Web-Server":
        return f"Typ=1\nServer Adresse=127.0.0.1:{port}\nRoot Server=/\n"
    return f"Typ=2\nFTP Adresse=127.0.0.1:{port}\nFTP Nutzer=anonymous\nRoot FTP=/\n"


def home_for(text):
    home = tempfile.mkdtemp(prefix="tunrax-bench-home-")
    quintor = os.path.join(home, ".config", "quintor")
    os.makedirs(quintor)
    with open(os.path.join(quintor, "tunrax.ini"), "w", encoding="utf-8") as ini:
        ini.write("[Einstellungen]\n" + text)
    return home


def play_album(program, home):
    e2e.PROGRAM = program
    recording = tempfile.mktemp(prefix="tunrax-bench-", suffix=".raw")
    tunrax = start(home, collection_shown="Bank")
    try:
        with open(recording, "wb") as out:
            parec = subprocess.Popen(
                ["parec", "-d", e2e.SINK + ".monitor", "--raw", "--format=s16le",
                 "--channels=2", "--rate=44100", "--latency-msec=20"], stdout=out)
            try:
                click(cell(album_tree(), "Bank"))
                click(wait_for(lambda: cell(album_tree(), "Album"), 10))
                wait_for(lambda: cells(song_list()) == SONGS, 10)
                click(cell(song_list(), "Eins"))
                wait_for(lambda: playing_song() == "Drei", 60)
                wait_for(lambda: playing_song() is None, 30)
            finally:
                parec.send_signal(signal.SIGINT)
                parec.wait(10)
        with open(recording, "rb") as raw:
            return shape(raw.read())
    finally:
        tunrax.kill()
        os.unlink(recording)


def main():
    programs = [a for a in sys.argv[1:3]]
    work = tempfile.mkdtemp(prefix="tunrax-bench-")
    e2e.ARTEFACTS = os.path.join(work, "artefacts")
    os.makedirs(e2e.ARTEFACTS)
    music = os.path.join(work, "Musik")
    make_collection(music)
    servers = []
    try:
        php_port = free_port()
        script = os.path.join(here, "..", "server", "tunrax.php")
        shutil.copy(script, os.path.join(music, "tunrax.php"))
        servers.append(subprocess.Popen(["php", "-S", f"127.0.0.1:{php_port}", "-t", music],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_port(php_port)
        web = Throttle(php_port)
        ftp_port = free_port()
        servers.append(subprocess.Popen([sys.executable, "-c", FTP_SERVER, str(ftp_port), music,
                                         str(RATE_LIMIT)],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_port(ftp_port)
        for label, program in zip(("program", "baseline"), programs):
            print(f"== {label}: {program}", flush=True)
            for kind, port in (("lokal", 0), ("Web-Server", web.port), ("FTP", ftp_port)):
                sound, gap = play_album(program, home_for(settings(kind, music, port)))
                print(f"  {kind:<10} longest silence between the songs {gap:7.1f} ms"
                      f"  (sound {sound / 1000:.1f} s of 24 s)", flush=True)
    finally:
        for server in servers:
            server.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
