#!/usr/bin/python3
"""Playing a list with the keyboard: while a song of another album plays,
the first song of an album is chosen with Tab, the arrow keys and Space; it
plays at once, the list goes on song after song without skipping one, and
another album chosen while a song plays follows that song from its own
first song."""
import time

from e2e import (CaptionLog, album_tree, cell, cells, click, collection, focused, fresh_home,
                 heard, key, playing_song, require, run, selected, shot, song_list, start,
                 step, wait_for)

FIRST = ["Do", "Mi", "Sol"]  # 2.5 s each
SECOND = ["Hell", "Dunkel"]


def scenario():
    start(fresh_home(collection()))
    captions = CaptionLog()

    # A long song plays: a newly shown album waits for its end.
    click(cell(album_tree(), "Orgelpfeifen"))
    click(wait_for(lambda: cell(album_tree(), "Zweites Album"), 5))
    require("an album shown while nothing plays starts its first song",
            wait_for(lambda: playing_song() == "Tief", 5), captions.songs())
    click(cell(album_tree(), "Glockenspiel"))
    click(wait_for(lambda: cell(album_tree(), "Dreiklang"), 5))
    require("the album lists its songs", wait_for(lambda: cells(song_list()) == FIRST, 5),
            cells(song_list()))

    # Into the song list; after a look at it, Up stays on the first row and
    # Space selects it.
    key("Tab")
    step("Tab moves the keyboard focus into the song list",
         wait_for(lambda: focused() == song_list(), 2), focused() and focused().getRoleName())
    time.sleep(0.5)
    key("Up")
    key("space")
    step("Space selects the first song", wait_for(lambda: selected(song_list()) == ["Do"], 2),
         selected(song_list()))
    step("the first song plays at once", wait_for(lambda: playing_song() == "Do", 3),
         f"caption {playing_song()}")
    step("the first song is heard", playing_song() == "Do" and heard(1.5))
    shot("erstes-lied")

    # The list goes on by itself; while its last song plays, the album
    # tree (Shift+Tab) moves on to the next album (Down).
    require("the list reaches its last song", wait_for(lambda: playing_song() == "Sol", 15),
            captions.songs())
    key("shift+Tab")
    key("Down")
    step("Down in the album tree selects the next album",
         wait_for(lambda: selected(album_tree()) == ["Zweiklang"], 2), selected(album_tree()))
    step("the new album's songs are listed", wait_for(lambda: cells(song_list()) == SECOND, 2),
         cells(song_list()))
    step("the song under way goes on", playing_song() == "Sol" and heard(1),
         f"caption {playing_song()}")
    shot("neues-album")
    require("then the new album plays from its first song",
            wait_for(lambda: playing_song() == "Hell", 10), captions.songs())
    step("the new album's first song is heard", heard(1.5))
    wait_for(lambda: playing_song() is None, 10)
    captions.stop()

    step("every song played once, in order, none skipped",
         captions.songs() == ["Tief"] + FIRST + SECOND, " > ".join(captions.songs()))
    sol = captions.shown_for("Sol")
    step("the last song of the first album played to its end", sol is not None and sol > 2.0,
         f"shown {sol and round(sol, 1)} s")
    step("at the end the caption names no song", playing_song() is None)


if __name__ == "__main__":
    run(scenario)
