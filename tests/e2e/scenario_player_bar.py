#!/usr/bin/python3
"""The player bar under the lists, with the pointer and with the keys of the
menu "Wiedergabe": pause and play, next and previous, a drag of the position
slider, the volume, stop; what is heard follows, and the desktop's sound menu
(MPRIS, read with playerctl) reports the same state as the bar."""
import time

from e2e import (activate, click, collection, extents, find, find_all, fresh_home, heard, key,
                 main_window, main_window_id, open_album, playerctl, playing_song, position,
                 require, run, sh, shot, silent, sound_level, start, step, wait_for)


def bar_button(*names):
    """The player bar's button of one of these captions."""
    for name in names:
        found = find("push button", name, main_window())
        if found is not None:
            return found
    return None


def time_shown():
    """The bar's "elapsed / total" label."""
    label = next((acc for acc in find_all("label", root=main_window()) if " / " in acc.name),
                 None)
    return label.name if label else ""


def scenario():
    tunrax = start(fresh_home(collection()))
    activate(main_window_id())
    bar = find("panel", "Wiedergabe", main_window()) or find("filler", "Wiedergabe", main_window())
    step("the player bar is shown", bar is not None)
    open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
    require("the album's first song plays", wait_for(lambda: playing_song() == "Das a", 10),
            playing_song())
    step("the bar's button reads 'Pause'", wait_for(lambda: bar_button("Pause"), 3))
    step("the sound menu says Playing", playerctl("status") == "Playing", playerctl("status"))
    step("the bar shows the time of the song", wait_for(lambda: time_shown().endswith("/ 0:40"), 3),
         time_shown())
    shot("spielt")

    click(bar_button("Pause"))
    step("a click on 'Pause' holds the song", wait_for(lambda: playerctl("status") == "Paused", 3),
         playerctl("status"))
    step("nothing is heard", silent())
    step("the button reads 'Abspielen' again", wait_for(lambda: bar_button("Abspielen"), 3))
    key("ctrl+space")
    step("Ctrl+Space plays on", wait_for(lambda: playerctl("status") == "Playing", 3),
         playerctl("status"))
    step("it is heard again", heard())

    key("ctrl+Right")
    step("Ctrl+Right goes on to the next song", wait_for(lambda: playing_song() == "Das e", 8),
         playing_song())
    click(bar_button("Nächstes Lied"))
    step("'Nächstes Lied' goes on to the third", wait_for(lambda: playing_song() == "Das d", 8),
         playing_song())
    click(bar_button("Vorheriges Lied"))
    step("'Vorheriges Lied' goes back", wait_for(lambda: playing_song() == "Das e", 8),
         playing_song())
    step("the sound menu names the same song",
         wait_for(lambda: playerctl("metadata", "xesam:title") == "Das e", 3),
         playerctl("metadata", "xesam:title"))

    # A drag of the slider's handle to three quarters of its groove.
    slider = find("slider", "Position", main_window())
    require("the position slider is shown", slider is not None)
    box = extents(slider)
    y = box.y + box.height // 2
    sh("xdotool", "mousemove", str(box.x + 6), str(y))
    time.sleep(0.1)
    sh("xdotool", "mousedown", "1")
    for fraction in (0.3, 0.5, 0.75):
        sh("xdotool", "mousemove", str(box.x + int(box.width * fraction)), str(y))
        time.sleep(0.1)
    sh("xdotool", "mouseup", "1")
    at = position()
    step("dragging the slider moves the song to three quarters of 40 s", 26 <= at <= 34,
         f"{at:.1f} s")
    step("the bar's time follows", wait_for(lambda: time_shown().startswith(("0:2", "0:3")), 3),
         time_shown())
    shot("verschoben")

    before = sound_level()
    for _ in range(10):
        key("ctrl+Down")
    volume = playerctl("volume")
    step("ten times Ctrl+Down halves the volume, as the sound menu reads it",
         volume.startswith("0.5"), volume)
    after = sound_level()
    step("half as loud is heard", 0.35 * before < after < 0.65 * before,
         f"peak {before} -> {after}")
    playerctl("volume", "0.8")
    slider = find("slider", "Lautstärke", main_window())
    step("the sound menu's volume moves the bar's slider",
         wait_for(lambda: slider.queryValue().currentValue == 80, 3),
         slider.queryValue().currentValue if slider else None)

    click(bar_button("Stopp"))
    step("'Stopp' ends the song", wait_for(lambda: playerctl("status") == "Stopped", 3),
         playerctl("status"))
    step("nothing is heard", silent())
    step("the time reads 0:00 / 0:00", wait_for(lambda: time_shown() == "0:00 / 0:00", 3),
         time_shown())
    step("the list does not go on", not wait_for(lambda: playing_song() is not None, 4),
         playing_song())

    # The same from the keyboard only: the menu "Wiedergabe".
    key("alt+w")
    entry = wait_for(lambda: find("menu item", "Abspielen"), 3)
    step("Alt+W opens the menu 'Wiedergabe' with 'Abspielen'", entry is not None)
    shot("menue-wiedergabe")
    key("Return")
    step("its 'Abspielen' plays the chosen song", wait_for(lambda: playing_song() == "Das e", 8),
         playing_song())
    step("it is heard", heard())
    step("'Beenden' ends the program", tunrax.quit() == 0)


if __name__ == "__main__":
    run(scenario)
