#!/usr/bin/python3
"""From a remote control's command to the first audible sample at the null
sink: `playerctl play` with the list stopped and a song chosen, and
`playerctl next` while a silent song plays (album "Pause": "Stille", then
the tones of "Stimmgabel"). Measured for the program under test and, when
given, a baseline program (an older build) in the same session, one after
the other, with the ratio of their medians.

    tests/e2e/session.sh /usr/bin/python3 bench/remote_start.py PROGRAM [BASELINE] [--rounds=N] [--peer]

With --peer, Debian's audacious (if installed: apt-get install audacious
audacious-plugins) is measured the same way on the same songs, through its
MPRIS interface, as the figure a listener knows from another player.

Needs what the end-to-end scenarios need (sox and lame for the songs,
playerctl, PulseAudio's parec). Never fails on a figure: it reports.
"""
import array
import glob
import os
import shutil
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
SONGS = []  # the tones of "Stimmgabel"


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


def time_to_sound(player, *command):
    """From `playerctl COMMAND` to the first audible sample, in ms; None when
    nothing was heard."""
    onset = Onset()
    began = time.monotonic()
    subprocess.run(["playerctl", f"--player={player}", *command], check=False)
    heard_at = onset.wait()
    return None if heard_at is None else (heard_at - began) * 1000


def control(player, *args):
    return e2e.sh("playerctl", f"--player={player}", *args)


def silence(player):
    control(player, "stop")
    return wait_for(lambda: control(player, "status") == "Stopped", 5) and e2e.silent(5)


def first_song_playing(player):
    """The silent first song plays, and has for a while (so that what is
    prepared for the next one is ready, as when a listener presses Next)."""
    control(player, "stop")
    control(player, "previous")
    control(player, "play")
    return wait_for(lambda: control(player, "status") == "Playing", 5) and e2e.silent(5)


def measure(command, rounds, player="tunrax"):
    figures = []
    for _ in range(rounds):
        ready = silence(player) if command == "play" else first_song_playing(player)
        if not ready:
            print(f"  {command}: the sink did not fall silent", flush=True)
            continue
        time.sleep(0.5)
        figure = time_to_sound(player, command)
        if figure is None:
            print(f"  {command}: nothing heard within 5 s", flush=True)
            continue
        figures.append(figure)
    return figures


def add_pause_album(folder):
    """The album "Pause": a silent song, then the songs of "Stimmgabel"."""
    album = os.path.join(folder, "Kammerton", "Pause")
    os.makedirs(album)
    sox = subprocess.Popen(["sox", "-q", "-V1", "-n", "-r", "44100", "-c", "2", "-b", "16", "-t",
                            "wav", "-", "synth", "60", "sine", "440", "vol", "0"],
                           stdout=subprocess.PIPE)
    subprocess.run(["lame", "--quiet", "-b", "64", "--tt", "Stille", "--ta", "Kammerton", "--tl",
                    "Pause", "-", os.path.join(album, "01-Stille.mp3")], stdin=sox.stdout,
                   check=True)
    sox.wait()
    for index, song in enumerate(SONGS):
        shutil.copy(song, os.path.join(album, f"{index + 2:02d}-{os.path.basename(song)[3:]}"))


def songs_of(folder, album):
    return sorted(glob.glob(os.path.join(folder, "Kammerton", album, "*.mp3")))


def run_program(program, rounds):
    e2e.PROGRAM = program
    folder = collection()
    add_pause_album(folder)
    tunrax = start(fresh_home(folder))
    try:
        open_album("Kammerton", "Pause", ["Stille", "Das a", "Das e", "Das d"])
        click(cell(song_list(), "Das a"))
        wait_for(lambda: playerctl("status") == "Playing", 10)
        return {command: measure(command, rounds) for command in ("play", "next")}
    finally:
        tunrax.kill()


def run_peer(rounds):
    """audacious, headless, with the album's songs in its playlist and its
    MPRIS plugin on; its own PulseAudio output."""
    folder = collection()
    add_pause_album(folder)
    songs = songs_of(folder, "Pause")
    home = e2e.scratch("audacious")
    config = os.path.join(home, ".config", "audacious")
    os.makedirs(config)
    with open(os.path.join(config, "config"), "w", encoding="utf-8") as f:
        f.write("[mpris2]\n_enabled=TRUE\nenabled=TRUE\n\n[audacious]\noutput_plugin=pulse_audio\n")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
    peer = subprocess.Popen(["audacious", "-H", *songs], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        if not wait_for(lambda: control("audacious", "status") == "Playing", 10):
            print("  audacious did not start playing", flush=True)
            return {}
        # As in the program: "play" starts the tone "Das a".
        control("audacious", "next")
        return {command: measure(command, rounds, "audacious") for command in ("play", "next")}
    finally:
        peer.kill()
        peer.wait()


def report(results):
    for command, figures in results.items():
        shown = ", ".join(f"{f:.0f}" for f in figures)
        median = statistics.median(figures) if figures else float("nan")
        print(f"  playerctl {command}: median {median:.0f} ms  ({shown})", flush=True)


def measure_programs(run_program, run_peer=None):
    """Makes the collections and runs run_program(program, rounds) for the
    program and the baseline named on the command line, one after the other,
    and run_peer(rounds) with --peer; prints the median of each of its
    figures. The results by "program", "baseline" and "peer"."""
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    rounds = next((int(a.split("=")[1]) for a in sys.argv[1:] if a.startswith("--rounds=")), 7)
    e2e.COLLECTIONS = tempfile.mkdtemp(prefix="tunrax-bench-")
    e2e.ARTEFACTS = tempfile.mkdtemp(prefix="tunrax-bench-artefacts-")
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.run(["bash", os.path.join(here, "..", "tests", "e2e", "make_collection.sh"),
                    e2e.COLLECTIONS], check=True)
    SONGS[:] = songs_of(os.path.join(e2e.COLLECTIONS, "Musik"), "Stimmgabel")
    results = {}
    for label, program in zip(("program", "baseline"), args[:2]):
        print(f"== {label}: {program}", flush=True)
        results[label] = run_program(program, rounds)
        report(results[label])
    if run_peer and "--peer" in sys.argv[1:]:
        if shutil.which("audacious"):
            print("== peer: audacious", flush=True)
            results["peer"] = run_peer(rounds)
            report(results["peer"])
        else:
            print("== peer: audacious is not installed", flush=True)
    return results


def main():
    results = measure_programs(run_program, run_peer)
    for other in ("baseline", "peer"):
        for command in ("play", "next") if other in results else ():
            new, old = results["program"][command], results[other].get(command)
            if new and old:
                print(f"ratio {command}: {statistics.median(new) / statistics.median(old):.2f}"
                      f" (program / {other}; target: at most 1 against the peer,"
                      f" and under 30 ms)", flush=True)


if __name__ == "__main__":
    main()
