#!/usr/bin/python3
"""Copying a favourite list to a portable player: the copy wizard started
from the list's page asks before it clears the MP3 files in the target
folder ("Nein", the default, changes nothing), clears them on "Ja",
numbers the songs in the list's order, shows the free space of the target
and writes a playlist of the songs beside them."""
import os

from e2e import (app_root, button, cell, checked, click, collection, dialog, enabled,
                 field_beside, file_bytes, find, find_all, fresh_home, key, new_list, open_album,
                 open_list_page, require, run, scratch, shot, showing, song_list, start, step,
                 text_of, type_text, wait_for)

WIZARD = "Lieder auf den mobilen tunRax kopieren"
OPTIONS = {"mp3-Dateien im Verzeichnis löschen ?": True,
           "in originaler Verzeichnisstruktur speichern?": False,
           "Listenname als Verzeichnis": False,
           "Wiedergabeliste anlegen": True}


def add_song(song):
    """Selects a song and adds it with Insert, once the command is offered."""
    add = button("zu Favoritenliste hinzufügen")
    click(cell(song_list(), song))
    wait_for(lambda: enabled(add), 3)
    key("Insert")
    step(f"Insert adds '{song}'", wait_for(lambda: not enabled(add), 3))


def wizard():
    return dialog(WIZARD)


def free_label():
    """The label "frei: N MB" of the wizard's second page."""
    return next((acc for acc in find_all("label", root=wizard())
                 if acc.name.startswith("frei: ") and acc.name.endswith(" MB")), None)


def question():
    """A showing box that asks "Ja" or "Nein", and its text."""
    root = app_root()
    for i in range(root.childCount if root else 0):
        window = root.getChildAtIndex(i)
        if window is None or not showing(window):
            continue
        buttons = {b.name.replace("&", "") for b in find_all("push button", root=window)}
        if {"Ja", "Nein"} <= buttons:
            return window, " ".join(l.name for l in find_all("label", root=window) if l.name)
    return None


def scenario():
    folder = collection()
    target = scratch("ziel")
    with open(os.path.join(target, "alt.mp3"), "wb") as stray:
        stray.write(b"ID3 ein altes Lied")
    with open(os.path.join(target, "notiz.txt"), "w") as note:
        note.write("bleibt\n")
    tunrax = start(fresh_home(folder))

    new_list("Mitnehmen")
    open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
    add_song("Das e")
    add_song("Das a")
    open_list_page("Mitnehmen", ["Das e", "Das a"], check=require)

    click(button("Lieder kopieren"))
    require("'Lieder kopieren' opens the copy wizard", wait_for(wizard, 5))
    field = find("text", root=wizard())
    click(field)
    key("ctrl+a")
    type_text(target)
    step("the target folder is typed in", wait_for(lambda: text_of(field) == target, 2),
         text_of(field))
    for caption, wanted in OPTIONS.items():
        box = find("check box", caption, wizard())
        if box is not None and checked(box) != wanted:
            click(box)
        step(f"option '{caption}' is {'on' if wanted else 'off'}",
             wait_for(lambda: checked(box) == wanted, 2))
    shot("kopieren-ziel")
    click(find("push button", "Weiter >", wizard()))
    count = wait_for(lambda: field_beside("Anzahl Lieder", wizard()), 5)
    step("the second page counts the list's songs", count and text_of(count) == "2",
         count and text_of(count))
    free = wait_for(free_label, 5)
    megabytes = os.statvfs(target)
    megabytes = megabytes.f_bavail * megabytes.f_frsize >> 20
    shown = free.name[len("frei: "):-len(" MB")] if free else None
    step("beside the space needed stands the free space of the target",
         shown is not None and shown.isdigit() and abs(int(shown) - megabytes) <= 2,
         f"{free and free.name} (statvfs: {megabytes} MB)")
    shot("kopieren-anzahl")
    click(find("push button", "Weiter >", wizard()))
    start_button = wait_for(lambda: find("push button", "Start", wizard()), 5)
    require("the last page offers 'Start'", start_button is not None)
    click(start_button)
    # Before the old song goes, the wizard asks; Enter takes "Nein", which
    # changes nothing.
    asked = wait_for(question, 5)
    require("the wizard asks before it deletes", asked is not None)
    step("it says how many files in how many folders go",
         "1 mp3-Datei in 1 Ordner gelöscht" in asked[1], asked[1])
    shot("kopieren-frage")
    key("Return")
    step("Enter answers 'Nein': the question closes", wait_for(lambda: question() is None, 5))
    step("'Nein' deletes nothing and copies nothing",
         sorted(os.listdir(target)) == ["alt.mp3", "notiz.txt"], sorted(os.listdir(target)))
    step("the wizard stays open", wizard() is not None)
    click(find("push button", "Start", wizard()))
    asked = wait_for(question, 5)
    require("'Start' asks again", asked is not None)
    click(find("push button", "Ja", asked[0]) or find("push button", "&Ja", asked[0]))
    require("the wizard closes when the songs are copied", wait_for(lambda: wizard() is None, 20))

    album = os.path.join(folder, "Kammerton", "Stimmgabel")
    expected = {"001-Das e.mp3": "02-Das e.mp3", "002-Das a.mp3": "01-Das a.mp3"}
    files = sorted(os.listdir(target))
    step("the old MP3 file is gone, other files stay, the songs are numbered in list order",
         files == sorted(list(expected) + ["notiz.txt", "Mitnehmen.m3u"]), files)
    for copy, original in expected.items():
        step(f"'{copy}' is the same as '{original}'",
             file_bytes(os.path.join(target, copy)) == file_bytes(os.path.join(album, original)))
    playlist = file_bytes(os.path.join(target, "Mitnehmen.m3u"))
    step("the playlist names the copied songs in list order, CR LF after each",
         playlist == b"001-Das e.mp3\r\n002-Das a.mp3\r\n", playlist)
    settings = open(tunrax.settings_file, encoding="utf-8").read()
    step("the wizard remembers its folder and options",
         f"Verzeichnis={target}" in settings and "Org_Alben=0" in settings
         and "Wiedergabeliste=1" in settings,
         settings.replace("\n", " | "))
    step("'Beenden' ends the program", tunrax.quit() == 0)


if __name__ == "__main__":
    run(scenario)
