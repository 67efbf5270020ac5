#!/usr/bin/python3
"""A collection on a web server over HTTPS with a self-signed certificate:
"Verbindung prüfen" refuses it and shows its fingerprint, which is the
server's own; "Diesem Zertifikat vertrauen" takes it, "Speichern" keeps it,
and the songs list and play from that server."""
import os
import shutil
import subprocess
import sys

from e2e import (activate, cell, click, collection, connects, dialog, find, free_port, fresh_home,
                 heard, key, main_window_id, open_album, require, run, scratch, shot, showing,
                 song_list, start, step, text_of, type_text, wait_for, walk)

HERE = os.path.dirname(os.path.abspath(__file__))
TLS = os.path.join(HERE, "..", "support", "tls_server.py")
SCRIPT = os.path.join(HERE, "..", "..", "server", "tunrax.php")


def serve(argv, port):
    server = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    require(f"{argv[0]} listens on port {port}", wait_for(lambda: connects(port), 10))
    return server


def wizard():
    return dialog("Einstellungen")


def label_starting(*starts):
    for acc in walk(wizard()):
        if acc.getRoleName() == "label" and showing(acc) and acc.name.startswith(starts):
            return acc.name
    return None


def scenario():
    music = collection()
    tunrax = start(fresh_home(music))  # the first start writes the catalogue
    shutil.copy(SCRIPT, os.path.join(music, "tunrax.php"))
    certificates = scratch("zertifikate")
    subprocess.run([sys.executable, TLS, "make", certificates], check=True)
    with open(os.path.join(certificates, "self-signed.sha256"), encoding="ascii") as f:
        fingerprint = f.read().strip()
    web_port, tls_port = free_port(), free_port()
    servers = [serve(["php", "-S", f"127.0.0.1:{web_port}", "-t", os.path.dirname(music)],
                     web_port)]
    try:
        servers.append(serve([sys.executable, TLS, "serve", str(tls_port), str(web_port),
                              os.path.join(certificates, "self-signed.pem"),
                              os.path.join(certificates, "self-signed.key")], tls_port))
        activate(main_window_id())
        key("alt+e")
        require("Alt+E opens the settings wizard", wait_for(wizard, 5))
        click(find("radio button", "HTTP", wizard()))
        click(find("push button", "Weiter >", wizard()))
        check = wait_for(lambda: find("push button", "Verbindung prüfen", wizard()), 5)
        require("the web-server page comes up", check is not None)
        fields = [acc for acc in walk(wizard())
                  if acc.getRoleName() == "text" and showing(acc)]
        address, root = fields[:2]
        typed = f"https://127.0.0.1:{tls_port}"
        for field, text in ((address, typed), (root, "/Musik/")):
            click(field)
            key("ctrl+a")
            type_text(text)
            require(f"'{text}' is typed in", wait_for(lambda: text_of(field) == text, 3))

        click(check)
        refused = wait_for(lambda: label_starting("Das Zertifikat"), 20)
        step("the self-signed certificate is refused with its reason",
             refused is not None and "ist selbst ausgestellt" in refused, str(refused))
        shown = (refused or "").replace("\n", "")
        step("the fingerprint shown is the server's own", fingerprint in shown,
             f"{fingerprint} in {shown!r}")
        shot("zertifikat-abgelehnt")
        click(find("push button", "Diesem Zertifikat vertrauen", wizard()))
        step("trusted, the check finds the catalogue",
             wait_for(lambda: label_starting("Verbindung in Ordnung") ==
                      "Verbindung in Ordnung, Katalog gefunden", 20),
             str(label_starting("Verbindung", "Das", "Der")))
        step("the page names the trusted certificate",
             wait_for(lambda: label_starting("Vertrautes Zertifikat"), 3) is not None)
        shot("zertifikat-vertraut")
        click(find("push button", "Speichern", wizard()))
        require("'Speichern' closes the wizard", wait_for(lambda: wizard() is None, 10))
        with open(tunrax.settings_file, encoding="utf-8", errors="replace") as f:
            saved = f.read()
        step("the settings keep the certificate for that address",
             f"Server Zertifikat={typed} {fingerprint}" in saved, saved)

        open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
        click(cell(song_list(), "Das a"))
        step("a song from the HTTPS server is heard", heard(20))
        shot("https-spielt")
        step("'Beenden' ends the program", tunrax.quit() == 0)
    finally:
        for server in servers:
            server.terminate()
            server.wait()


if __name__ == "__main__":
    run(scenario)
