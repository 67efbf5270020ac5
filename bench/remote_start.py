#!/usr/bin/python3
"""From a remote control's command to the first audible sample at the null
sink: `playerctl play` with the list stopped and a song chosen, and
`playerctl next` likewise. Measured for the program under test and, when
given, a baseline program (an older build) in the same session, one after
the other, with the ratio of their medians.

    tests/e2e/session.sh /usr/bin/python3 bench/remote_start.py PROGRAM [BASELINE] [--rounds=N]

Needs what the end-to-end scenarios need (sox and lame for the songs,
playerctl, PulseAudio's parec). Never fails on a figure: it reports.
"""
import array
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import e2e  # noqa: E402
from e2e import (cell, click, collection, fresh_home, open_album, playerctl, song_list,  # noqa: E402
                 start, wait_for)

RATE = 44100
AUDIBLE = 3000


class Onset:
    """Listens to the null sink's monitor in pieces of 5 ms and notes when
    the first audible sample arrived."""

    def __init__(self):
        self.at = None
        self.process = subprocess.Popen(
            ["parec", "-d", e2e.SINK + ".monitor", "--raw", "--format=s16le", "--channels=2",
             f"--rate={RATE}", "--latency-msec=5"], stdout=subprocess.PIPE)
        self.ready = threading.Event()
        self.thread = threading.Thread(target=self._listen, daemon=True)
        self.thread.start()
        self.ready.wait(5)

    def _listen(self):
        piece = RATE // 200 * 4  # 5 ms of stereo 16-bit frames
        while self.at is None:
            data = self.process.stdout.read(piece)
            now = time.monotonic()
            if not data:
                return
            self.ready.set()
            samples = array.array("h")
            samples.frombytes(data[: len(data) // 2 * 2])
            for index, sample in enumerate(samples):
                if abs(sample) > AUDIBLE:
                    # The rest of the piece came after it.
                    self.at = now - (len(samples) - index) / 2 / RATE
                    return

    def wait(self, timeout=5):
        self.thread.join(timeout)
        self.process.kill()
        self.process.wait()
        return self.at


def silence():
    playerctl("stop")
    return wait_for(lambda: playerctl("status") == "Stopped", 5) and e2e.silent(5)


def measure(command, rounds):
    figures = []
    for _ in range(rounds):
        if not silence():
            print(f"  {command}: the sink did not fall silent", flush=True)
            continue
        time.sleep(0.3)
        onset = Onset()
        began = time.monotonic()
        subprocess.run(["playerctl", "--player=tunrax", command], check=False)
        heard_at = onset.wait()
        if heard_at is None:
            print(f"  {command}: nothing heard within 5 s", flush=True)
            continue
        figures.append((heard_at - began) * 1000)
        if command == "next":
            # Back to the first song, so that there is always a next one.
            playerctl("stop")
            playerctl("previous")
    return figures


def run_program(program, rounds):
    e2e.PROGRAM = program
    tunrax = start(fresh_home(collection()))
    try:
        open_album("Kammerton", "Stimmgabel", ["Das a", "Das e", "Das d"])
        click(cell(song_list(), "Das a"))
        wait_for(lambda: playerctl("status") == "Playing", 10)
        return {command: measure(command, rounds) for command in ("play", "next")}
    finally:
        tunrax.kill()


def measure_programs(run_program):
    """Makes the collections and runs run_program(program, rounds) for the
    program and the baseline named on the command line, one after the other;
    prints the median of each of its figures. The results by "program" and
    "baseline"."""
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    rounds = next((int(a.split("=")[1]) for a in sys.argv[1:] if a.startswith("--rounds=")), 7)
    e2e.COLLECTIONS = tempfile.mkdtemp(prefix="tunrax-bench-")
    e2e.ARTEFACTS = tempfile.mkdtemp(prefix="tunrax-bench-artefacts-")
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.run(["bash", os.path.join(here, "..", "tests", "e2e", "make_collection.sh"),
                    e2e.COLLECTIONS], check=True)
    results = {}
    for label, program in zip(("program", "baseline"), args[:2]):
        print(f"== {label}: {program}", flush=True)
        results[label] = run_program(program, rounds)
        for command, figures in results[label].items():
            shown = ", ".join(f"{f:.0f}" for f in figures)
            median = statistics.median(figures) if figures else float("nan")
            print(f"  playerctl {command}: median {median:.0f} ms  ({shown})", flush=True)
    return results


def main():
    results = measure_programs(run_program)
    if "baseline" in results:
        for command in ("play", "next"):
            new, old = results["program"][command], results["baseline"][command]
            if new and old:
                print(f"ratio {command}: {statistics.median(new) / statistics.median(old):.2f}"
                      f" (program / baseline; target: under 30 ms)", flush=True)


if __name__ == "__main__":
    main()
