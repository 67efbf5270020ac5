#!/usr/bin/python3
"""A web server that is down at start: the tree of the last good catalogue
shows, with the line above it that says since when; "Aktualisieren" once
the server is back hides the line, and songs play from the server."""
import os
import shutil
import subprocess

from e2e import (album_tree, cell, cells, click, collection, connects, find, free_port,
                 fresh_home, heard, main_window, open_album, require, run, scratch, shot, showing,
                 song_list, start, step, wait_for, walk, Tunrax)

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "server",
                      "tunrax.php")


def web_server(root, port):
    server = subprocess.Popen(["php", "-S", f"127.0.0.1:{port}", "-t", root],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    require("the web server starts", wait_for(lambda: connects(port), 10))
    return server


def away_line():
    for acc in walk(main_window()):
        if acc.getRoleName() == "label" and showing(acc) and acc.name.startswith(
                "Server nicht erreichbar"):
            return acc.name
    return None


def scenario():
    music = collection()
    first = start(fresh_home(music))  # writes the catalogue into the collection
    require("the local start ends", first.quit() == 0)
    shutil.copy(SCRIPT, os.path.join(music, "tunrax.php"))
    port = free_port()
    home = scratch("home")
    quintor = os.path.join(home, ".config", "quintor")
    os.makedirs(quintor)
    with open(os.path.join(quintor, "tunrax.ini"), "w", encoding="utf-8") as ini:
        ini.write(f"[Einstellungen]\nTyp=1\nServer Adresse=127.0.0.1:{port}\n"
                  "Root Server=/Musik/\n")
    server = web_server(os.path.dirname(music), port)
    try:
        tunrax = start(home)
        step("with the server up, no line above the tree", away_line() is None)
        require("the web start ends", tunrax.quit() == 0)
        server.terminate()
        server.wait()

        tunrax = Tunrax(home)
        step("with the server down, the kept tree shows",
             wait_for(lambda: "Kammerton" in cells(album_tree()), 30), cells(album_tree()))
        line = wait_for(away_line, 5)
        step("the line above it says so and since when",
             line is not None and "– Stand vom " in line, str(line))
        shot("server-weg")

        server = web_server(os.path.dirname(music), port)
        click(find("push button", "Aktualisieren", main_window()))
        step("after 'Aktualisieren' the line is gone", wait_for(lambda: away_line() is None, 10))
        open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
        click(cell(song_list(), "Das a"))
        step("a song from the server that is back is heard", heard(20))
        shot("server-wieder-da")
        step("'Beenden' ends the program", tunrax.quit() == 0)
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    run(scenario)
