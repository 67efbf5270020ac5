#!/usr/bin/python3
"""Finding an album in a large tree: Ctrl+F opens the field "Suchen"; typing
leaves only the folders whose name holds the text, with their parents; Enter
selects the first and lists its songs; Escape shows the whole tree again with
that album still selected. Then the tree's type-ahead finds an album inside a
collapsed artist."""
import os
import subprocess

import e2e
from e2e import (activate, album_tree, cell, cells, click, collection, find, focused, fresh_home,
                 key, main_window, main_window_id, require, run, selected, shot, song_list,
                 start, step, type_text, wait_for)

FOLDERS = ["Kammerton", "\tStimmgabel", "Orgelpfeifen", "\tZweites Album", "Glockenspiel",
           "\tDreiklang", "\tZweiklang"]


def catalogue(folder):
    """The collection's own folders among 600 more without songs."""
    lines = []
    for n in range(300):
        lines += [f"Interpret {n:03d}", f"\tAlbum {n:03d}"]
        if n == 100:
            lines += FOLDERS[:2]
        if n == 200:
            lines += FOLDERS[2:]
    with open(os.path.join(folder, "tunrax.dat"), "w", encoding="utf-8", newline="") as f:
        f.write("".join(line + "\r\n" for line in lines))


def search_field():
    return find("text", "Suchen", main_window())


def scenario():
    music = collection()
    catalogue(music)
    start(fresh_home(music))
    activate(main_window_id())
    click(cell(album_tree(), "Interpret 000"))

    key("ctrl+f")
    require("Ctrl+F shows the field 'Suchen'", wait_for(search_field, 5))
    step("the field has the keyboard focus",
         wait_for(lambda: focused() is not None and focused().name == "Suchen", 3),
         focused() and focused().name)
    type_text("KLANG")
    require("typing leaves the folders that hold the text, and their parent",
            wait_for(lambda: cells(album_tree()) == ["Glockenspiel", "Dreiklang", "Zweiklang"],
                     5), cells(album_tree()))
    shot("suchen")

    key("Return")
    step("Enter selects the first folder found",
         wait_for(lambda: selected(album_tree()) == ["Dreiklang"], 5), selected(album_tree()))
    step("its songs are listed", wait_for(lambda: cells(song_list()) == ["Do", "Mi", "Sol"], 5),
         cells(song_list()))
    # The window alone, the field still open, for the README.
    subprocess.run(["import", "-window", str(main_window_id()),
                    os.path.join(e2e.ARTEFACTS, "suchen.png")], check=False)

    key("Escape")
    step("Escape closes the field", wait_for(lambda: search_field() is None, 5))
    step("the whole tree shows again",
         wait_for(lambda: len([c for c in cells(album_tree()) if c.startswith("Interpret")])
                  == 300, 5), f"{len(cells(album_tree()))} rows")
    step("the album stays selected", selected(album_tree()) == ["Dreiklang"],
         selected(album_tree()))
    step("its songs stay listed", cells(song_list()) == ["Do", "Mi", "Sol"], cells(song_list()))
    step("the tree has the keyboard focus", focused() == album_tree(),
         focused() and focused().getRoleName())
    shot("zurueck")

    # "Stimmgabel" lies in "Kammerton", which is collapsed.
    step("the artist of the album sought is collapsed", cell(album_tree(), "Stimmgabel") is None)
    key("s", "t", "i", delay=40)
    step("typing in the tree goes to the next folder that starts with it",
         wait_for(lambda: selected(album_tree()) == ["Stimmgabel"], 5), selected(album_tree()))
    step("the album found is listed",
         wait_for(lambda: cells(song_list()) == ["Das a", "Das e", "Das d"], 5),
         cells(song_list()))
    shot("tippen")


if __name__ == "__main__":
    run(scenario)
