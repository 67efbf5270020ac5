#!/usr/bin/python3
""""Verbindung prüfen" in the settings wizard, with the keyboard and with the
mouse, against real servers on loopback: a web server with our script and a
catalogue, one without a catalogue, a port where nobody listens, and an FTP
server where the user may write. The result is read as a screen reader reads
it; cancelling the wizard afterwards leaves the settings file as it was."""
import logging
import os
import shutil
import subprocess
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from e2e import (activate, click, collection, connects, dialog, dripping_web_server, enabled,
                 file_bytes, find, focused, free_port, fresh_home, key, main_window_id, require,
                 run, scratch, shot, showing, start, step, tab_to, text_of, type_text, wait_for,
                 walk)

FOUND = "Verbindung in Ordnung, Katalog gefunden"
MISSING = ('Verbindung in Ordnung, aber kein Katalog "tunrax.dat": er kann hier nicht erstellt '
           "werden (bitte auf dem Server anlegen)")
WILL_BE_MADE = "Verbindung in Ordnung, kein Katalog: er wird beim ersten Start erstellt"
SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "server",
                      "tunrax.php")


def web_server(root):
    """php -S serving root, with our script in root/mp3/; its address."""
    os.makedirs(os.path.join(root, "mp3"), exist_ok=True)
    shutil.copy(SCRIPT, os.path.join(root, "mp3", "tunrax.php"))
    port = free_port()
    server = subprocess.Popen(["php", "-S", f"127.0.0.1:{port}", "-t", root],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    require("the web server starts", wait_for(lambda: connects(port), 10))
    return server, f"127.0.0.1:{port}"


def ftp_server(root):
    # A handler of its own keeps pyftpdlib from logging every command.
    log = logging.getLogger("pyftpdlib")
    log.addHandler(logging.NullHandler())
    log.setLevel(logging.WARNING)
    log.propagate = False
    authorizer = DummyAuthorizer()
    authorizer.add_user("schreiber", "geheim", root, perm="elradfmwMT")
    handler = type("Handler", (FTPHandler,), {"authorizer": authorizer})
    server = FTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"127.0.0.1:{server.address[1]}"


def wizard():
    return dialog("Einstellungen")


def check_result():
    """What the shown page says about the check, as a screen reader reads it."""
    for acc in walk(wizard()):
        if acc.getRoleName() == "label" and showing(acc) and (
                acc.name.startswith("Verbindung") or acc.name.startswith("Keine Verbindung")
                or acc.name.startswith("Der Server") or acc.name.startswith("Prüfung")):
            if "geprüft" not in acc.name:
                return acc.name
    return None


def check_button():
    return find("push button", "Verbindung prüfen", wizard())


def retype(field, text):
    click(field)
    key("ctrl+a")
    type_text(text)
    return wait_for(lambda: text_of(field) == text, 3)


def fields():
    return [acc for acc in walk(wizard())
            if acc.getRoleName() in ("text", "password text") and showing(acc)]


def press_check_with_keys():
    require("Tab reaches 'Verbindung prüfen'", tab_to("Verbindung prüfen", wizard()),
            str(focused(wizard()) and focused(wizard()).name))
    key("Return")


def scenario():
    tunrax = start(fresh_home(collection()))
    before = file_bytes(tunrax.settings_file)
    served = scratch("web")
    os.makedirs(os.path.join(served, "mp3"))
    with open(os.path.join(served, "mp3", "tunrax.dat"), "wb") as catalogue:
        catalogue.write(b"Kammerton\r\n")
    full, full_address = web_server(served)
    bare, bare_address = web_server(scratch("leer"))
    ftp_root = scratch("ftp")
    os.makedirs(os.path.join(ftp_root, "mp3"))
    ftp, ftp_address = ftp_server(ftp_root)
    try:
        activate(main_window_id())
        key("alt+e")
        require("Alt+E opens the settings wizard", wait_for(wizard, 5))
        require("the focus starts on 'lokal'",
                wait_for(lambda: focused(wizard()) and focused(wizard()).name == "lokal", 3))
        key("Down")
        step("the arrow key chooses 'HTTP'",
             wait_for(lambda: focused(wizard()).name == "HTTP", 2), focused(wizard()).name)
        require("Tab reaches 'Weiter >'", tab_to("Weiter >", wizard()))
        key("Return")
        require("the web-server page comes up with its check",
                wait_for(check_button, 5) is not None)

        # Keyboard only: the address typed, the check pressed with the space bar.
        address = wait_for(lambda: focused(wizard()) if focused(wizard()).getRoleName() == "text"
                           else None, 3)
        require("the focus is in the address field", address is not None)
        key("ctrl+a")
        type_text(full_address)
        require("the address is typed in", wait_for(lambda: text_of(address) == full_address, 3))
        press_check_with_keys()
        step("with the keyboard: the catalogue is found",
             wait_for(lambda: check_result() == FOUND, 20), check_result())
        shot("katalog-gefunden")

        # The mouse: another server, then a closed port.
        require("the address is typed over", retype(address, bare_address))
        click(check_button())
        step("with the mouse: a server without a catalogue says so",
             wait_for(lambda: check_result() == MISSING, 20), check_result())
        shot("kein-katalog")
        closed = free_port()
        require("the closed port is typed in", retype(address, f"127.0.0.1:{closed}"))
        click(check_button())
        step("a closed port gives the German error",
             wait_for(lambda: check_result() == 'Keine Verbindung zum Server "127.0.0.1" möglich.',
                      20), check_result())
        shot("keine-verbindung")

        # A server that drips: the wizard shows itself busy, "Abbrechen" calls
        # the check off and the wizard stays.
        slow = dripping_web_server()
        require("the slow server's address is typed in",
                retype(address, f"127.0.0.1:{slow.server_address[1]}"))
        click(check_button())
        save = find("push button", "Speichern", wizard())
        step("a slow check greys the wizard out but for 'Abbrechen'",
             wait_for(lambda: not enabled(save), 5)
             and enabled(find("push button", "Abbrechen", wizard())))
        shot("pruefung-laeuft")
        began = time.monotonic()
        click(find("push button", "Abbrechen", wizard()))
        # The dripping listing would go on for minutes; reading the window
        # over the bus takes a second or two of the time allowed.
        called_off = wait_for(lambda: check_result() == "Prüfung abgebrochen.", 5)
        step("'Abbrechen' calls the check off within 5 s", called_off,
             f"{check_result()} after {time.monotonic() - began:.1f} s")
        step("the wizard stays open, usable again",
             wizard() is not None and wait_for(lambda: enabled(save), 2))
        slow.shutdown()

        # The FTP page, where the user may write.
        click(find("push button", "< Zurück", wizard()))
        require("back on the first page", wait_for(lambda: find("radio button", "FTP", wizard()), 5))
        click(find("radio button", "FTP", wizard()))
        click(find("push button", "Weiter >", wizard()))
        require("the FTP page comes up", wait_for(lambda: len(fields()) >= 4, 5), len(fields()))
        server, user, password, _root = fields()[:4]
        require("the FTP address is typed in", retype(server, ftp_address))
        require("the user is typed in", retype(user, "schreiber"))
        click(password)
        key("ctrl+a")
        type_text("geheim")
        click(check_button())
        step("a writable FTP server without a catalogue: it will be made",
             wait_for(lambda: check_result() == WILL_BE_MADE, 20), check_result())
        step("the check wrote no catalogue",
             not os.path.exists(os.path.join(ftp_root, "mp3", "tunrax.dat")))
        shot("ftp-wird-erstellt")

        click(find("push button", "Abbrechen", wizard()))
        require("'Abbrechen' closes the wizard", wait_for(lambda: wizard() is None, 5))
        step("the settings file is as before", file_bytes(tunrax.settings_file) == before)
        step("'Beenden' ends the program", tunrax.quit() == 0)
    finally:
        for web in (full, bare):
            web.terminate()
            web.wait()
        ftp.close_all()


if __name__ == "__main__":
    run(scenario)
