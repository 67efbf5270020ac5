#!/usr/bin/python3
"""Moving within a song from the desktop: `playerctl position 30` moves the
song that plays to 30 s, where it grows loud, and the sound follows;
`playerctl position 5-` goes back 5 s into the quiet part; `playerctl volume
0.5` halves what is heard. The song's length is in its metadata, and
playerctl reads the position back."""
from e2e import (cell, click, collection, fresh_home, open_album, playerctl, playing_song,
                 position, require, run, shot, song_list, sound_level, start, step, wait_for)

QUIET = 1638  # the song's peak up to 30 s (5 % of full scale); then 16383


def scenario():
    tunrax = start(fresh_home(collection()))
    open_album("Sirene", "Weckruf", ["Signal"])
    click(cell(song_list(), "Signal"))
    require("the song plays", wait_for(lambda: playing_song() == "Signal", 10), playing_song())
    require("playerctl sees it playing", wait_for(lambda: playerctl("status") == "Playing", 5),
            playerctl("status"))
    length = playerctl("metadata", "mpris:length")
    step("the metadata give the song's length, 40 s in microseconds",
         length.isdigit() and abs(int(length) - 40_000_000) < 100_000, length)
    level = sound_level()
    step("its first part is quiet", 200 < level < 3000, f"peak {level}")
    step("the position runs from the start", 0 < position() < 5, f"{position():.2f} s")

    playerctl("position", "30")
    at = position()
    step("`playerctl position 30` moves the song to 30 s", 30 <= at < 31.5, f"{at:.2f} s")
    level = sound_level()
    step("what is heard is the loud part after 30 s", level > 12000, f"peak {level}")
    step("the same song plays on", playing_song() == "Signal", playing_song())
    shot("bei-30-s")

    playerctl("volume", "0.5")
    volume = playerctl("volume")
    step("`playerctl volume 0.5` is read back", volume.startswith("0.5"), volume)
    level = sound_level()
    step("the sound is half as loud", 6000 < level < 10000, f"peak {level}")

    playerctl("position", "5-")
    at = position()
    step("`playerctl position 5-` goes back 5 s", 25 < at < 27.5, f"{at:.2f} s")
    level = sound_level()
    step("the quiet part is heard again, at half volume", 100 < level < QUIET * 0.7,
         f"peak {level}")
    step("'Beenden' ends the program", tunrax.quit() == 0)


if __name__ == "__main__":
    run(scenario)
