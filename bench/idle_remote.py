#!/usr/bin/python3
"""Wake-ups of the idle program in a desktop session with a sound server,
after it has played: just started, after an album played to its end, and
after a remote stop in the middle of a song. Wake-ups are the context
switches of all the process's threads per second, CPU its user and system
time, read from /proc over a quiet stretch. Measured for the program under
test and, when given, a baseline program (an older build), one after the
other in the same session.

    tests/e2e/session.sh /usr/bin/python3 bench/idle_remote.py PROGRAM [BASELINE] [--seconds=N]

Target: at most 2 wake-ups a second while idle. Never fails on a figure.
"""
import glob
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import remote_start  # noqa: E402
from remote_start import control, measure_programs  # noqa: E402
from e2e import cell, click, open_album, playerctl, playing_song, song_list, start, wait_for  # noqa: E402
import e2e  # noqa: E402

SECONDS = next((float(a.split("=")[1]) for a in sys.argv[1:] if a.startswith("--seconds=")), 8)


def switches(pid):
    total = 0
    for status in glob.glob(f"/proc/{pid}/task/*/status"):
        try:
            with open(status, encoding="ascii") as f:
                total += sum(int(line.split()[1]) for line in f if "ctxt_switches" in line)
        except OSError:
            pass  # a thread that ended meanwhile
    return total


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat", encoding="ascii") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def idle_figures(pid):
    """Wake-ups per second and % CPU over SECONDS, after a second to settle."""
    time.sleep(1)
    s0, t0 = switches(pid), cpu_ticks(pid)
    time.sleep(SECONDS)
    s1, t1 = switches(pid), cpu_ticks(pid)
    return (s1 - s0) / SECONDS, 100 * (t1 - t0) / os.sysconf("SC_CLK_TCK") / SECONDS


def run_program(program, _rounds):
    e2e.PROGRAM = program
    tunrax = start(e2e.fresh_home(e2e.collection()))
    pid = tunrax.process.pid
    figures = {}
    try:
        figures["just started"] = idle_figures(pid)
        open_album("Glockenspiel", "Dreiklang", ["Do", "Mi", "Sol"])
        click(cell(song_list(), "Do"))
        wait_for(lambda: playing_song() == "Sol", 15)
        wait_for(lambda: playing_song() is None, 10)
        figures["after an album played to its end"] = idle_figures(pid)
        open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
        click(cell(song_list(), "Das a"))
        wait_for(lambda: playerctl("status") == "Playing", 10)
        time.sleep(1)
        control("tunrax", "stop")
        wait_for(lambda: playerctl("status") == "Stopped", 5)
        figures["after a remote stop"] = idle_figures(pid)
    finally:
        tunrax.kill()
    return figures


def main():
    # The report of remote_start speaks of milliseconds: this one reports itself.
    remote_start.report = lambda results: [
        print(f"  {state:36s} {wakeups:6.2f} wake-ups/s  {cpu:6.3f} % CPU   target <= 2/s: "
              f"{'met' if wakeups <= 2 else 'MISSED'}", flush=True)
        for state, (wakeups, cpu) in results.items()]
    results = measure_programs(run_program)
    if "baseline" in results:
        for state, (wakeups, _) in results["program"].items():
            old = results["baseline"].get(state, (float("nan"),))[0]
            print(f"  {state}: {wakeups:.2f} against {old:.2f} wake-ups/s of the baseline",
                  flush=True)


if __name__ == "__main__":
    main()
