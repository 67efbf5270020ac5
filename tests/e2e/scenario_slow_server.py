#!/usr/bin/python3
"""A web server that sends its catalogue a byte a second: the window shows
that it is busy but "Datei > Beenden" still ends the program at once, and so
does SIGTERM."""
import os
import signal
import time

from e2e import (album_tree, click, dripping_web_server, enabled, find, fresh_home, main_window,
                 require, run, shot, start, step, wait_for, Tunrax)


def web_home(port):
    home = fresh_home()
    quintor = os.path.join(home, ".config", "quintor")
    os.makedirs(quintor)
    with open(os.path.join(quintor, "tunrax.ini"), "w", encoding="utf-8") as ini:
        ini.write(f"[Einstellungen]\nTyp=1\nServer Adresse=127.0.0.1:{port}\n"
                  "Root Server=/mp3/\n")
    return home


def busy_window():
    """The main window once it shows that it is busy: the album tree greyed."""
    tree = album_tree() if main_window() else None
    return tree is not None and not enabled(tree)


def ended_within(tunrax, seconds):
    try:
        tunrax.process.wait(seconds)
        return True
    except Exception:
        return False


def scenario():
    server = dripping_web_server()
    port = server.server_address[1]

    tunrax = start(web_home(port), collection_shown=None)
    require("the window shows itself busy while the catalogue drips in",
            wait_for(busy_window, 30))
    shot("beschaeftigt")
    menu = find("menu item", "Datei", main_window())
    require("the menu 'Datei' can be opened", menu is not None and enabled(menu))
    click(menu)
    beenden = wait_for(lambda: find("menu item", "Beenden"), 5)
    require("the menu 'Datei' offers 'Beenden'", beenden is not None and enabled(beenden))
    shot("beenden")
    began = time.monotonic()
    click(beenden)
    step("'Beenden' ends the program within 2 s", ended_within(tunrax, 2),
         f"{time.monotonic() - began:.1f} s")
    step("with status 0", tunrax.process.poll() == 0, f"status {tunrax.process.poll()}")

    tunrax = Tunrax(web_home(port))
    require("the second start shows itself busy too", wait_for(busy_window, 30))
    began = time.monotonic()
    os.kill(tunrax.process.pid, signal.SIGTERM)
    step("SIGTERM ends the program within 2 s", ended_within(tunrax, 2),
         f"{time.monotonic() - began:.1f} s")
    step("with status 0", tunrax.process.poll() == 0, f"status {tunrax.process.poll()}")
    server.shutdown()


if __name__ == "__main__":
    run(scenario)
