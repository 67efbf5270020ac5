#!/usr/bin/python3
"""The tray icon while the window is hidden: a left click pauses, a second
one resumes the same song, a right click brings the window back."""
from e2e import (cell, click, click_at, collection, find, fresh_home, heard, hide_to_tray,
                 main_window_id, mapped, open_album, playerctl, playing_song, require, run, shot,
                 silent, song_list, start, step, wait_for)


def scenario():
    tunrax = start(fresh_home(collection()))
    open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
    click(cell(song_list(), "Das e"))
    require("the song plays", wait_for(lambda: playing_song() == "Das e", 10), playing_song())
    require("it is heard", heard())

    wid = main_window_id()
    point = hide_to_tray(wid)

    click_at(*point)
    step("a left click on the tray icon pauses",
         wait_for(lambda: playerctl("status") == "Paused", 5), playerctl("status"))
    step("nothing is heard while paused", silent())
    shot("pause")
    click_at(*point)
    step("a second left click resumes",
         wait_for(lambda: playerctl("status") == "Playing", 5), playerctl("status"))
    step("the song is heard again", heard())
    step("it is the same song", playing_song() == "Das e", playing_song())
    step("the window stays hidden", not mapped(wid))

    click_at(*point, button=3)
    step("a right click brings the window back", wait_for(lambda: mapped(wid), 5))
    shot("wieder-da")

    # "Minimieren" at the right end of the menu bar does what the close box does.
    minimieren = find("menu item", "Minimieren")
    require("'Minimieren' is on the accessibility bus", minimieren is not None)
    click(minimieren)
    step("'Minimieren' hides the window", wait_for(lambda: not mapped(wid), 5))
    step("the song goes on meanwhile", playerctl("status") == "Playing", playerctl("status"))
    click_at(*point, button=3)
    require("the tray icon brings it back", wait_for(lambda: mapped(wid), 5))
    step("'Beenden' ends the program", tunrax.quit() == 0)


if __name__ == "__main__":
    run(scenario)
