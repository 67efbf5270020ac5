#!/usr/bin/python3
"""An album plays without gaps: the three short songs of an album, each a
tone to its last sample, follow one another at the null sink without a
silence between them, while the caption names each song in turn."""
import array
import os
import signal
import subprocess

from e2e import (SINK, CaptionLog, album_tree, cell, cells, click, collection, fresh_home,
                 playing_song, require, run, scratch, song_list, start, step, wait_for)

SONGS = ["Do", "Mi", "Sol"]  # 2.5 s each
RATE = 44100
LONGEST_GAP_MS = 50


def shape(raw):
    """Milliseconds from the first to the last sample that is not silent, and
    the longest silence between them (as tests/support/SoundCheck.h: both
    channels below 1/32 of full scale)."""
    samples = array.array("h")
    samples.frombytes(raw[: len(raw) // 4 * 4])
    first = last = None
    run_length = longest = 0
    for i in range(0, len(samples), 2):
        if abs(samples[i]) <= 1024 and abs(samples[i + 1]) <= 1024:
            run_length += 1
            continue
        if first is None:
            first = i // 2
        else:
            longest = max(longest, run_length)
        last = i // 2
        run_length = 0
    sound = 0 if first is None else (last - first + 1) * 1000 / RATE
    return sound, longest * 1000 / RATE


def scenario():
    start(fresh_home(collection()))
    captions = CaptionLog()
    recording = os.path.join(scratch("gapless"), "sink.raw")
    with open(recording, "wb") as out:
        parec = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--raw", "--format=s16le", "--channels=2",
             f"--rate={RATE}", "--latency-msec=20"], stdout=out)
        try:
            # Nothing plays: the album shown starts at its first song.
            click(cell(album_tree(), "Glockenspiel"))
            click(wait_for(lambda: cell(album_tree(), "Dreiklang"), 5))
            require("the album lists its songs",
                    wait_for(lambda: cells(song_list()) == SONGS, 5), cells(song_list()))
            require("the album's first song plays", wait_for(lambda: playing_song() == "Do", 5),
                    captions.songs())
            require("the album's last song plays", wait_for(lambda: playing_song() == "Sol", 10),
                    captions.songs())
            step("the caption names no song after the last",
                 wait_for(lambda: playing_song() is None, 6), playing_song())
        finally:
            parec.send_signal(signal.SIGINT)
            parec.wait(10)
    captions.stop()
    private = os.path.join(os.environ.get("XDG_RUNTIME_DIR", ""), "tunrax")
    left = sorted(os.listdir(private)) if os.path.isdir(private) else []
    step("no song file is left in the private temporary folder", left == [], left)

    step("the caption named each song in turn", captions.songs() == SONGS,
         " > ".join(captions.songs()))
    with open(recording, "rb") as raw:
        sound, gap = shape(raw.read())
    step("all three songs were heard", sound > 7000, f"sound {sound:.0f} ms")
    step(f"no silence longer than {LONGEST_GAP_MS} ms between the songs",
         gap <= LONGEST_GAP_MS, f"longest silence {gap:.1f} ms")


if __name__ == "__main__":
    run(scenario)
