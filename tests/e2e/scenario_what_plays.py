#!/usr/bin/python3
"""What plays is not what the window happens to show: a search that hides the
album playing leaves its list playing to the end, and a song clicked while
the search is open starts; a left click on the tray icon resumes the song
paused, also when "Titel nicht abspielen" is on and another song was clicked
meanwhile."""
from e2e import (album_tree, cell, cells, checked, click, click_at, collection, find, fresh_home,
                 heard, hide_to_tray, key, main_window, main_window_id, mapped, open_album,
                 playerctl, playing_song, require, run, shot, song_list, start, step, stays,
                 type_text, wait_for)


def scenario():
    tunrax = start(fresh_home(collection()))
    wid = main_window_id()

    # The search hides the album that plays.
    open_album("Glockenspiel", "Dreiklang", ["Do", "Mi", "Sol"])
    click(cell(song_list(), "Do"))
    require("the first song plays", wait_for(lambda: playing_song() == "Do", 10), playing_song())
    key("ctrl+f")
    require("Ctrl+F shows the field 'Suchen'",
            wait_for(lambda: find("text", "Suchen", main_window()), 5))
    type_text("Stimm")
    require("the search hides the album playing",
            wait_for(lambda: cells(album_tree()) == ["Kammerton", "Stimmgabel"], 5),
            cells(album_tree()))
    shot("suche-spielt-weiter")
    step("the song list still shows the album", cells(song_list()) == ["Do", "Mi", "Sol"],
         cells(song_list()))
    step("the list goes on to its second song", wait_for(lambda: playing_song() == "Mi", 8),
         playing_song())
    step("and to its third", wait_for(lambda: playing_song() == "Sol", 8), playing_song())
    step("it is heard", heard())
    step("the list ends after its last song", wait_for(lambda: playing_song() is None, 8),
         playing_song())
    click(cell(song_list(), "Mi"))
    step("a song clicked while the search is open starts",
         wait_for(lambda: playing_song() == "Mi", 5), playing_song())
    step("it is heard too", heard())
    click(find("text", "Suchen", main_window()))
    key("Escape")
    step("Escape in the field ends the search, the list plays on",
         wait_for(lambda: find("text", "Suchen", main_window()) is None, 5)
         and playing_song() in ("Mi", "Sol"), playing_song())

    # The tray icon resumes the song paused, whatever was clicked meanwhile.
    open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
    click(cell(song_list(), "Das a"))
    require("the song plays", wait_for(lambda: playing_song() == "Das a", 10), playing_song())
    point = hide_to_tray(wid)
    click_at(*point)
    require("a left click on the tray icon pauses",
            wait_for(lambda: playerctl("status") == "Paused", 5), playerctl("status"))
    click_at(*point, button=3)
    require("a right click brings the window back", wait_for(lambda: mapped(wid), 5))
    box = find("check box", "Titel nicht abspielen", main_window())
    click(box)
    require("'Titel nicht abspielen' is on", wait_for(lambda: checked(box), 3))
    click(cell(song_list(), "Das d"))
    step("the song clicked does not start", stays(lambda: playing_song() == "Das a", 1),
         playing_song())
    point = hide_to_tray(wid)
    click_at(*point)
    step("a left click on the tray icon resumes",
         wait_for(lambda: playerctl("status") == "Playing", 5), playerctl("status"))
    step("the song resumed is the one paused",
         stays(lambda: playing_song() == "Das a", 1), playing_song())
    step("it is heard", heard())
    click_at(*point, button=3)
    require("the window comes back", wait_for(lambda: mapped(wid), 5))
    step("'Beenden' ends the program", tunrax.quit() == 0)


if __name__ == "__main__":
    run(scenario)
