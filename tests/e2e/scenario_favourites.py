#!/usr/bin/python3
"""Favourite lists: a new list with a name that needs mending, songs added
with Insert while "Titel nicht abspielen" keeps them from playing, the list
reordered on its page and stored, a duplicate name refused, the list current
again after a restart (with the window's size and the album of the last run,
which does not start by itself), a listed song found in its album, and a change that
survives kill -9."""
import os

from e2e import (CaptionLog, album_tree, button, cell, cells, checked, choose, chooser,
                 chooser_entries, click, collection, context_menu_last_entry, current_tab,
                 enabled, file_bytes, find, fresh_home, geometry, key, main_window,
                 main_window_id, message_box, new_list, open_album, open_list_page, playerctl,
                 require, run, selected, sh, shot, song_list, start, stays, step, tab_shown,
                 wait_for)

ALBUM = ["Das a", "Das e", "Das d"]
PATHS = {song: f"\\Kammerton\\Stimmgabel\\{n:02d}-{song}.mp3" for n, song in enumerate(ALBUM, 1)}


def no_play(on):
    box = find("check box", "Titel nicht abspielen", main_window())
    click(box)
    require(f"'Titel nicht abspielen' is {'on' if on else 'off'}",
            wait_for(lambda: checked(box) == on, 3))


def scenario():
    home = fresh_home(collection())
    tunrax = start(home)
    list_file = os.path.join(tunrax.lists_folder, "Rock_Pop.favoriten")
    captions = CaptionLog()

    no_play(True)
    new_list(" Rock/Pop ")
    step("the new list 'Rock_Pop' is chosen",
         wait_for(lambda: chooser().name == "Rock_Pop", 3)
         and chooser_entries(chooser()) == ["(keine)", "Rock_Pop"],
         f"{chooser().name}: {chooser_entries(chooser())}")
    step("the list has its tab", wait_for(lambda: tab_shown("Rock_Pop"), 3))

    open_album("Kammerton", "Stimmgabel", ALBUM)
    # With "Titel nicht abspielen" on, Insert moves the selection on to the
    # next song (none after the last).
    add = button("zu Favoritenliste hinzufügen")
    for song, following in (("Das e", ["Das d"]), ("Das d", []), ("Das a", ["Das e"])):
        click(cell(song_list(), song))
        wait_for(lambda: selected(song_list()) == [song], 2)
        step(f"the star button offers to add '{song}'", wait_for(lambda: enabled(add), 2))
        key("Insert")
        step(f"Insert adds '{song}' and selects the next song",
             wait_for(lambda: selected(song_list()) == following, 3), selected(song_list()))
    shot("hinzugefuegt")
    step("no song starts while songs are added",
         stays(lambda: not captions.songs(), 0.5) and playerctl("status") != "Playing",
         f"captions {captions.songs()}")

    open_list_page("Rock_Pop", ["Das e", "Das d", "Das a"])
    if cell(song_list(), "Das e"):
        click(cell(song_list(), "Das e"))
        wait_for(lambda: selected(song_list()) == ["Das e"], 2)
        click(button("Lied später"))
        step("'Lied später' moves the song down",
             wait_for(lambda: cells(song_list()) == ["Das d", "Das e", "Das a"], 3)
             and selected(song_list()) == ["Das e"],
             f"{cells(song_list())}, selected {selected(song_list())}")
        shot("umgestellt")
    step("no song starts on the list's page", not captions.songs(), captions.songs())

    choose(chooser(), "(keine)")
    step("choosing '(keine)' hides the list's tab", wait_for(lambda: not tab_shown("Rock_Pop"), 3))
    step("and the song list shows the album's songs again",
         wait_for(lambda: cells(song_list()) == ALBUM, 3), cells(song_list()))
    stored = b"".join(PATHS[song].encode() + b"\r\n" for song in ("Das d", "Das e", "Das a"))
    step("the list file holds the songs in the new order, CR LF after each",
         wait_for(lambda: file_bytes(list_file) == stored, 3), file_bytes(list_file))

    # A name that differs from a list's only in case is refused.
    choose(chooser(), "Rock_Pop")
    wait_for(lambda: tab_shown("Rock_Pop"), 3)

    def lists():
        return (chooser().name, chooser_entries(chooser()), tab_shown("Rock_Pop"),
                {name: file_bytes(os.path.join(tunrax.lists_folder, name))
                 for name in os.listdir(tunrax.lists_folder)})
    before = lists()
    new_list("rock_pop")
    text = wait_for(message_box, 5)
    step("a name in another case is refused with a message",
         text == "Der Name ist schon vorhanden", text)
    shot("name-vorhanden")
    if text:
        click(find("push button", "OK", find("alert")))
        wait_for(lambda: message_box() is None, 3)
    step("the refused name changes nothing", lists() == before, f"{before} -> {lists()}")
    captions.stop()
    sh("xdotool", "windowsize", str(main_window_id()), "700", "500")
    step("the window is made larger",
         wait_for(lambda: geometry(main_window_id())["WIDTH"] == 700, 3),
         geometry(main_window_id()))

    status = tunrax.quit()
    step("'Beenden' ends the program with status 0", status == 0, f"status {status}")
    step("the list file is as stored before", file_bytes(list_file) == stored,
         file_bytes(list_file))

    # After a restart the stored list is the current one.
    tunrax = start(home)
    step("after a restart the chooser shows the stored list",
         wait_for(lambda: chooser().name == "Rock_Pop", 5), chooser().name)
    step("and the list has its tab", tab_shown("Rock_Pop"))
    box = find("check box", "Titel nicht abspielen", main_window())
    step("'Titel nicht abspielen' starts off", not checked(box))
    restarted = CaptionLog()
    step("the window has the size it was left with",
         geometry(main_window_id())["WIDTH"] == 700, geometry(main_window_id()))
    step("the album of the last run is selected again, its songs listed",
         wait_for(lambda: selected(album_tree()) == ["Stimmgabel"]
                  and cells(song_list()) == ALBUM, 3),
         f"{selected(album_tree())}: {cells(song_list())}")
    step("but nothing starts by itself", stays(lambda: not restarted.songs(), 1.5),
         restarted.songs())
    restarted.stop()
    no_play(True)
    open_album("Kammerton", "Stimmgabel", ALBUM)
    captions = CaptionLog()
    open_list_page("Rock_Pop", ["Das d", "Das e", "Das a"], check=require)

    # "Lied im Album finden" (the last entry of the song list's menu) while
    # the song's album is the selected one.
    step("'Lied im Album finden' can be chosen from the song's menu",
         context_menu_last_entry(cell(song_list(), "Das e")))
    step("'Lied im Album finden' shows the page 'Alle'",
         wait_for(lambda: album_tree() and current_tab() == "Alle", 3), current_tab())
    step("the song list lists the album's songs",
         wait_for(lambda: cells(song_list()) == ALBUM, 3), cells(song_list()))
    step("the song is selected in it", selected(song_list()) == ["Das e"], selected(song_list()))
    step("its album is selected in the tree", selected(album_tree()) == ["Stimmgabel"],
         selected(album_tree()))
    step("the song found does not start",
         stays(lambda: "Das e" not in captions.songs(), 1.0), captions.songs())
    shot("im-album")
    captions.stop()

    # A change is written about a second after it is made: a crash (kill -9)
    # right after that loses nothing.
    key("Delete")
    step("Delete takes the song off the list: it is no longer described as listed",
         wait_for(lambda: cell(song_list(), "Das e").description == "", 3))
    crashed = b"".join(PATHS[song].encode() + b"\r\n" for song in ("Das d", "Das a"))
    step("the change is in the list file within 2 s, no other list chosen",
         wait_for(lambda: file_bytes(list_file) == crashed, 2), file_bytes(list_file))
    tunrax.kill()
    step("after kill -9 the list file holds the change", file_bytes(list_file) == crashed,
         file_bytes(list_file))
    step("and no half-written file is left beside it",
         sorted(os.listdir(tunrax.lists_folder)) == ["Rock_Pop.favoriten"],
         os.listdir(tunrax.lists_folder))


if __name__ == "__main__":
    run(scenario)
