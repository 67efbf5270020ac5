#!/usr/bin/python3
"""The screenshots of the main window in docs/: a German collection with
umlauts, a favourite list's song marked, a song playing, in the look given
by the environment (default, QT_SCALE_FACTOR=2, a dark colour scheme).

    session.sh docs_shots.py PROGRAM COLLECTIONS OUTPUT.png"""
import os
import subprocess
import sys

import e2e
from e2e import (Abort, activate, album_tree, cell, collection, fresh_home, key, main_window_id,
                 playing_song, selected, start, tab_to, main_window, wait_for)


def main():
    e2e.PROGRAM, e2e.COLLECTIONS, output = sys.argv[1:4]
    e2e.ARTEFACTS = e2e.scratch("shots")
    music = collection("Umlaute")
    home = fresh_home(music)
    lists = os.path.join(home, ".config", "quintor", "tunRax")
    os.makedirs(lists)
    with open(os.path.join(lists, "Lieblinge.favoriten"), "wb") as favourites:
        favourites.write("\\Ölzeug\\Neue Überall\\06 Teil 2: Ende.mp3\r\n".encode())
    with open(os.path.join(home, ".config", "quintor", "tunrax.ini"), "a") as ini:
        ini.write("[Favoriten]\naktuell=1\n")
    tunrax = start(home, collection_shown="Ölzeug")
    try:
        activate(main_window_id())
        if not tab_to("Alben", main_window()):
            raise Abort("the album tree takes no focus")
        key("Home")
        for _ in range(5):
            if wait_for(lambda: selected(album_tree()) == ["Neue Überall"], 0.5):
                break
            key("Down")
        if not wait_for(lambda: playing_song() == "Teil 1: Anfang", 10):
            raise Abort(f"nothing plays: {playing_song()}")
        wait_for(lambda: False, 2.5)  # the position moves on a little
        subprocess.run(["import", "-window", str(main_window_id()), output], check=True)
    finally:
        tunrax.kill()
        for folder in e2e._scratch:
            subprocess.run(["rm", "-rf", folder])


if __name__ == "__main__":
    main()
