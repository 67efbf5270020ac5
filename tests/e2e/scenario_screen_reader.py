#!/usr/bin/python3
"""The window as a screen reader and a German reader meet it: the main
window is a frame; the tree, the list, the chooser and the labels have German
names; every command is in a menu; capital umlauts keep their dots in the
tree and the labels at 96 dpi; a song named "05 Teil 1: Anfang.mp3" is shown
whole; a song of the current list is described as such. All with the
keyboard only."""
import pyatspi

from e2e import (activate, album_tree, cell, cells, collection, extents, find, find_all,
                 first_glyph_has_mark_above, focused, fresh_home, key, main_window,
                 main_window_id, new_list, playing_song, require, run, selected, shot, song_list,
                 start, step, tab_to, wait_for)


def labelled_by(acc):
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return []


def label(name):
    return find("label", name, main_window())


def scenario():
    tunrax = start(fresh_home(collection("Umlaute")), collection_shown="Ölzeug")
    activate(main_window_id())
    window = main_window()
    step("the main window is a frame to screen readers", window.getRoleName() == "frame",
         window.getRoleName())
    step("the album tree is named 'Alben'", album_tree() is not None)
    step("the song list is named 'Lieder'", song_list() is not None)
    chooser = find("combo box", root=window)
    step("the chooser is labelled 'Favoriten'", chooser is not None
         and labelled_by(chooser) == ["Favoriten"], labelled_by(chooser) if chooser else None)
    menus = [acc.name for acc in find_all("menu", root=window)]
    step("the menu bar has 'Datei', 'Favoriten', 'Einstellungen' and 'Wiedergabe'",
         all(name in menus + [acc.name for acc in find_all("menu item", root=window)]
             for name in ("Datei", "Favoriten", "Einstellungen", "Wiedergabe")), menus)

    # The keyboard only: Tab into the tree, down to the album, open it.
    require("Tab reaches the album tree", tab_to("Alben", window), focused(window))
    key("Home")
    for _ in range(5):  # each folder opens as it is reached
        if wait_for(lambda: selected(album_tree()) == ["Neue Überall"], 0.5):
            break
        key("Down")
    require("the album 'Neue Überall' lists its songs whole",
            wait_for(lambda: cells(song_list()) == ["Teil 1: Anfang", "Teil 2: Ende"], 5),
            cells(song_list()))
    step("its first song plays, named whole in the caption",
         wait_for(lambda: playing_song() == "Teil 1: Anfang", 10), playing_song())
    for name in ("Titel: Übermut", "Interpret: Ölzeug", "Album: Neue Überall"):
        step(f"a label reads '{name}'", wait_for(lambda: label(name) is not None, 5))
    shot("umlaute")

    row = cell(album_tree(), "Ölzeug")
    step("the dots of 'Ö' are drawn in the tree's row 'Ölzeug'",
         row is not None and first_glyph_has_mark_above(extents(row)))
    artist = label("Interpret: Ölzeug")
    step("the dots of 'Ö' are drawn in the label 'Ölzeug'",
         artist is not None and first_glyph_has_mark_above(extents(artist)))

    # A song of the current list says so.
    new_list("Lauschen")
    activate(main_window_id())  # no window manager hands the focus back
    require("Tab reaches the song list", tab_to("Lieder", main_window(), limit=20),
            focused(main_window()))
    key("Insert")
    song = wait_for(lambda: cell(song_list(), "Teil 1: Anfang"), 3)
    step("the song added to the list is described as 'in der Favoritenliste'",
         wait_for(lambda: song.description == "in der Favoritenliste", 3), song.description)
    step("'Beenden' ends the program", tunrax.quit() == 0)


if __name__ == "__main__":
    run(scenario)
