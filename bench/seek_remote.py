#!/usr/bin/python3
"""From `playerctl position 30` to the sound of the song at 30 s at the null
sink: the song "Signal" is quiet up to 30 s and loud after it, so the first
loud sample marks the move. Measured for the program under test and, when
given, a baseline program (an older build) in the same session, with the
ratio of their medians, and against the reaction time of the sound itself:
`playerctl volume` from 0 to 1 on the same song at 30 s, a change that the
player makes without a move (what a move costs beyond it).

    tests/e2e/session.sh /usr/bin/python3 bench/seek_remote.py PROGRAM [BASELINE] [--rounds=N]

Needs what the end-to-end scenarios need (sox and lame for the songs,
playerctl, PulseAudio's parec). Never fails on a figure: it reports.
"""
import os
import statistics
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
sys.path.insert(0, here)
import e2e  # noqa: E402
from e2e import (cell, click, collection, fresh_home, open_album, playerctl, song_list,  # noqa: E402
                 start, wait_for)
from remote_start import measure_programs, time_to_sound  # noqa: E402

# The time to sound waits for a sample above 3000: the quiet part peaks near 1640, the
# loud one near 16400.


def quiet():
    return wait_for(lambda: e2e.sound_level(0.3) < 3000, 5)


def timed(command, prepare, rounds):
    figures = []
    for _ in range(rounds):
        prepare()
        if not quiet():
            print(f"  {' '.join(command)}: the sink did not fall quiet", flush=True)
            continue
        time.sleep(0.2)
        figure = time_to_sound("tunrax", *command)
        if figure is None:
            print(f"  {' '.join(command)}: nothing loud within 5 s", flush=True)
            continue
        figures.append(figure)
    return figures


def run_program(program, rounds):
    e2e.PROGRAM = program
    tunrax = start(fresh_home(collection()))
    try:
        open_album("Sirene", "Weckruf", ["Signal"])
        click(cell(song_list(), "Signal"))
        wait_for(lambda: playerctl("status") == "Playing", 10)

        def back_to_quiet():
            playerctl("volume", "1")
            playerctl("position", "2")

        def loud_but_muted():
            playerctl("volume", "0")
            playerctl("position", "31")

        return {
            "position 30": timed(["position", "30"], back_to_quiet, rounds),
            "volume 1": timed(["volume", "1"], loud_but_muted, rounds),
        }
    finally:
        tunrax.kill()


def main():
    results = measure_programs(run_program)
    mine = results["program"]
    if mine["position 30"] and mine["volume 1"]:
        print(f"ratio move / volume change: "
              f"{statistics.median(mine['position 30']) / statistics.median(mine['volume 1']):.2f}"
              f" (target: the move heard within 100 ms)", flush=True)
    if "baseline" in results:
        new, old = mine["position 30"], results["baseline"]["position 30"]
        if new and old:
            print(f"ratio position 30: {statistics.median(new) / statistics.median(old):.2f}"
                  f" (program / baseline)", flush=True)


if __name__ == "__main__":
    main()
