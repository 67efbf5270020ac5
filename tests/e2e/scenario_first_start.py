#!/usr/bin/python3
"""First start as a user meets it: the settings wizard, the album tree, a
song that is heard, the window hidden to the tray while the song goes on,
pause from the tray icon, control through MPRIS (playerctl), and the end
through "Beenden"."""
import os

import pyatspi

from e2e import (album_tree, app_root, caption, cell, cells, click, click_at, collection, dialog,
                 find, fresh_home, heard, hide_to_tray, main_window_id, mapped, playerctl,
                 require, run, sh, shot, silent, song_list, start, step, text_of, wait_for)


def scenario():
    folder = collection()
    tunrax = start(fresh_home(), collection_shown=None)
    temp_song = os.path.join(os.environ["XDG_RUNTIME_DIR"], "tunrax", "tunrax.mp3")

    # No settings: the settings wizard comes up.
    wizard = wait_for(lambda: dialog("Einstellungen"), 30)
    require("the settings wizard appears on the first start", wizard is not None)
    shot("einrichtung")
    lokal = find("radio button", "lokal", wizard)
    require("'lokal' is chosen", lokal is not None and lokal.getState().contains(
        pyatspi.STATE_CHECKED))
    click(find("push button", "Weiter >", wizard))
    field = wait_for(lambda: find("text", None, dialog("Einstellungen")))
    require("the page of the local folder follows", field is not None)
    field.queryEditableText().setTextContents(folder)
    wait_for(lambda: text_of(field) == folder, 2)
    shot("einrichtung-verzeichnis")
    click(wait_for(lambda: find("push button", "Speichern", dialog("Einstellungen"))))
    require("the wizard closes after 'Speichern'",
            wait_for(lambda: dialog("Einstellungen") is None, 10))
    settings = open(tunrax.settings_file, encoding="utf-8").read()
    step("the settings file holds the chosen folder",
         "Typ=0" in settings and f"Verzeichnis={folder}" in settings,
         settings.replace("\n", " | "))

    # The album tree, built from the folders and written back as catalogue.
    require("the album tree appears", wait_for(lambda: "Kammerton" in cells(album_tree()), 20))
    step("the catalogue was written to the collection",
         os.path.exists(os.path.join(folder, "tunrax.dat")))
    click(cell(album_tree(), "Kammerton"))  # opens the artist's albums
    require("the artist's album shows", wait_for(lambda: cell(album_tree(), "Stimmgabel"), 5))
    click(cell(album_tree(), "Stimmgabel"))
    require("selecting the album lists its songs",
            wait_for(lambda: cells(song_list()) == ["Das a", "Das e", "Das d"], 10),
            ", ".join(cells(song_list())))
    shot("album")

    # A song starts: caption, MPRIS and the sound server agree.
    click(cell(song_list(), "Das a"))
    require("the caption names the song", wait_for(lambda: caption().endswith(" - Das a"), 15),
            caption())
    require("MPRIS reports Playing", wait_for(lambda: playerctl("status") == "Playing", 10),
            playerctl("status"))
    tags = lambda: playerctl("metadata", "--format", "{{title}}|{{artist}}|{{album}}")
    step("MPRIS shows the song's tags", wait_for(lambda: tags() == "Das a|Kammerton|Stimmgabel", 5),
         tags())
    require("the song is heard on the sound server", heard(10))
    step("the song lies in the temporary file", os.path.exists(temp_song))
    shot("wiedergabe")

    # The close box hides the window to the tray; the song goes on.
    wid = main_window_id()
    point = hide_to_tray(wid)
    shot("im-infobereich")
    step("the song goes on while hidden", playerctl("status") == "Playing" and heard(2))

    # A click on the tray icon pauses; playerctl resumes.
    click_at(*point)
    require("a click on the tray icon pauses",
            wait_for(lambda: playerctl("status") == "Paused", 5), playerctl("status"))
    step("nothing is heard while paused", silent())
    shot("pause")
    playerctl("play")
    require("playerctl resumes", wait_for(lambda: playerctl("status") == "Playing", 5))
    step("the song is heard again", heard())
    step("the window stays hidden", not mapped(wid))

    # Next and Previous move through the list as its end would.
    playerctl("next")
    step("playerctl next plays the next song of the list",
         wait_for(lambda: caption().endswith(" - Das e")
                  and playerctl("metadata", "title") == "Das e", 15), caption())
    playerctl("previous")
    step("playerctl previous goes back",
         wait_for(lambda: caption().endswith(" - Das a")
                  and playerctl("metadata", "title") == "Das a", 15), caption())

    # Back to the window and out through "Datei > Beenden".
    sh("dbus-send", "--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.tunrax",
       "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Raise")
    require("MPRIS Raise shows the window", wait_for(lambda: mapped(wid), 5))
    shot("wieder-da")
    status = tunrax.quit()
    require("'Beenden' ends the program", wait_for(lambda: app_root() is None
                                                   and main_window_id() is None, 15))
    step("the program ended with status 0", status == 0, f"status {status}")
    step("the temporary song file is gone", not os.path.exists(temp_song))
    step("the MPRIS name is gone from the bus", "tunrax" not in sh("playerctl", "--list-all"))


if __name__ == "__main__":
    run(scenario)
