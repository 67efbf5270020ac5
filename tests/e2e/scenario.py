#!/usr/bin/python3
"""The player as a user meets it, in a real X session with a notification
area, a session bus and a sound server (see session.sh): first start with the
settings wizard, the album tree, a song that is heard, the window hidden to
the tray while the song goes on, pause from the tray icon, control through
MPRIS (playerctl), and the end through "Beenden".

    scenario.py PROGRAM COLLECTION ARTEFACTS

Widgets are found through the accessibility bus (AT-SPI) and clicked with
the X pointer (xdotool); screenshots of every step go to ARTEFACTS.
E2E_KEEP=1 leaves the program running after a failed step, to look at it.
"""
import array
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from Xlib import X, display, protocol

PROGRAM, COLLECTION, ARTEFACTS = sys.argv[1:4]
SINK = os.environ.get("TUNRAX_TEST_SINK", "testsink")
results = []


def step(name, ok, detail=""):
    results.append((name, ok))
    print(("ok    " if ok else "FAIL  ") + name + (f"  ({detail})" if detail else ""), flush=True)
    return ok


def require(name, ok, detail=""):
    if not step(name, ok, detail):
        shot("fehler")
        raise SystemExit(finish())


def finish():
    failed = sum(1 for _, ok in results if not ok)
    print(f"e2e: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


def wait_for(check, timeout=15.0, interval=0.1):
    end = time.monotonic() + timeout
    while True:
        try:
            value = check()
        except Exception:  # the accessibility tree changes while we look
            value = None
        if value or time.monotonic() > end:
            return value
        time.sleep(interval)


def shot(name):
    subprocess.run(["import", "-window", "root", os.path.join(ARTEFACTS, name + ".png")],
                   check=False)


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, timeout=30).stdout.strip()


# --- the accessibility tree

def app_root():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "Tunrax":
            return app
    return None


def find(role, name=None, root=None, showing=True):
    """The first accessible of a role (and name) below root, breadth first."""
    root = root or app_root()
    if root is None:
        return None
    queue = [root]
    while queue:
        acc = queue.pop(0)
        if acc is None:
            continue
        if acc.getRoleName() == role and (name is None or acc.name == name):
            if not showing or acc.getState().contains(pyatspi.STATE_SHOWING):
                return acc
        queue.extend(acc.getChildAtIndex(i) for i in range(acc.childCount))
    return None


def click(acc, button=1, double=False):
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = box.x + box.width // 2, box.y + box.height // 2
    run("xdotool", "mousemove", str(x), str(y))
    time.sleep(0.1)
    run("xdotool", "click", *(["--repeat", "2"] if double else []), str(button))


def children(acc, role):
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)
            if acc.getChildAtIndex(i).getRoleName() == role]


# --- X windows, MPRIS, sound

def main_window_id():
    out = run("xdotool", "search", "--name", r"^Tunrax \(")
    return int(out.split()[0]) if out else None


def caption():
    wid = main_window_id()
    return run("xdotool", "getwindowname", str(wid)) if wid else ""


def mapped(wid):
    return "IsViewable" in run("xwininfo", "-id", str(wid))


def close_box(wid):
    """What the window manager sends when the close box is clicked."""
    d = display.Display()
    window = d.create_resource_object("window", wid)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    d.flush()
    d.close()


def playerctl(*args):
    return run("playerctl", "--player=tunrax", *args)


def sound_level(seconds=0.6):
    """Peak sample of what reaches the null sink (0..32767)."""
    rec = subprocess.run(
        ["timeout", str(seconds), "parec", "-d", SINK + ".monitor", "--raw",
         "--format=s16le", "--channels=2", "--rate=44100", "--latency-msec=50"],
        capture_output=True, timeout=30)
    samples = array.array("h")
    samples.frombytes(rec.stdout[: len(rec.stdout) // 2 * 2])
    # The first moments may still hold the state before.
    skip = len(samples) // 4
    return max((abs(s) for s in samples[skip:]), default=0)


def tray_icon_point():
    """The middle of the program's icon docked in the notification area."""
    for wid in run("xdotool", "search", "--onlyvisible", "--class", "tunrax").split():
        geometry = run("xdotool", "getwindowgeometry", "--shell", wid)
        values = {k: int(v) for k, v in
                  (line.split("=") for line in geometry.splitlines() if "=" in line)
                  if k != "SCREEN"}
        if values.get("WIDTH", 99) <= 48 and values.get("HEIGHT", 99) <= 48:
            return values["X"] + values["WIDTH"] // 2, values["Y"] + values["HEIGHT"] // 2
    return None


def main():
    os.makedirs(ARTEFACTS, exist_ok=True)
    home = tempfile.mkdtemp(prefix="tunrax-e2e-home-")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANG="de_DE.UTF-8")
    temp_song = os.path.join(os.environ["XDG_RUNTIME_DIR"], "tunrax", "tunrax.mp3")
    log = open(os.path.join(ARTEFACTS, "tunrax.log"), "w")
    player = subprocess.Popen([PROGRAM], env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        scenario(home, temp_song)
    finally:
        if player.poll() is None and not os.environ.get("E2E_KEEP"):
            player.kill()
            player.wait()
    step("the program ended with status 0", player.returncode == 0, f"status {player.returncode}")
    step("the temporary song file is gone", not os.path.exists(temp_song))
    step("the MPRIS name is gone from the bus",
         "tunrax" not in run("playerctl", "--list-all"))
    shutil.rmtree(home, ignore_errors=True)
    return finish()


def scenario(home, temp_song):
    # First start: no settings, so the settings wizard comes up.
    wizard = wait_for(lambda: find("dialog", "Einstellungen"), 30)
    require("the settings wizard appears on the first start", wizard is not None)
    shot("01-einrichtung")
    lokal = find("radio button", "lokal", wizard)
    require("'lokal' is chosen", lokal is not None and lokal.getState().contains(
        pyatspi.STATE_CHECKED))
    click(find("push button", "Weiter >", wizard))
    folder = wait_for(lambda: find("text", None, find("dialog", "Einstellungen")))
    require("the page of the local folder follows", folder is not None)
    folder.queryEditableText().setTextContents(COLLECTION)
    time.sleep(0.3)
    shot("02-einrichtung-verzeichnis")
    click(wait_for(lambda: find("push button", "Speichern", find("dialog", "Einstellungen"))))
    require("the wizard closes after 'Speichern'",
            wait_for(lambda: find("dialog", "Einstellungen") is None, 10))
    settings = open(os.path.join(home, ".config", "quintor", "tunrax.ini"), encoding="utf-8").read()
    step("the settings file holds the chosen folder",
         "Typ=0" in settings and COLLECTION in settings, settings.replace("\n", " | "))

    # The album tree, built from the folders and written back as catalogue.
    def tree_with(cell):
        for tree in _all("tree"):
            if any(i.name == cell for i in children(tree, "table cell")):
                return tree
        return None
    albums = wait_for(lambda: tree_with("Kammerton"), 20)
    require("the album tree appears", albums is not None)
    step("the catalogue was written to the collection",
         os.path.exists(os.path.join(COLLECTION, "tunrax.dat")))
    artist = find("table cell", "Kammerton", albums)
    click(artist)  # opens the artist's albums
    album = wait_for(lambda: find("table cell", "Stimmgabel", albums), 5)
    require("the artist's album shows", album is not None)
    click(album)
    song_list = wait_for(lambda: tree_with("Das a"), 10)
    require("selecting the album lists its songs", song_list is not None,
            ", ".join(i.name for i in children(song_list, "table cell")) if song_list else "")
    shot("03-album")

    # A song starts: caption, MPRIS and the sound server agree.
    click(find("table cell", "Das a", song_list))
    require("the caption names the song", wait_for(lambda: caption().endswith(" - Das a"), 15),
            caption())
    require("MPRIS reports Playing", wait_for(lambda: playerctl("status") == "Playing", 10),
            playerctl("status"))
    step("MPRIS shows the song's tags",
         wait_for(lambda: playerctl("metadata", "--format", "{{title}}|{{artist}}|{{album}}")
                  == "Das a|Kammerton|Stimmgabel", 5),
         playerctl("metadata", "--format", "{{title}}|{{artist}}|{{album}}"))
    level = wait_for(lambda: sound_level() > 3000 and sound_level(), 10) or sound_level()
    require("the song is heard on the sound server", level > 3000, f"peak {level}")
    step("the song lies in the temporary file", os.path.exists(temp_song))
    time.sleep(0.5)
    shot("04-wiedergabe")

    # The close box hides the window to the tray; the song goes on.
    wid = main_window_id()
    close_box(wid)
    require("the close box hides the window", wait_for(lambda: not mapped(wid), 5))
    time.sleep(0.5)
    shot("05-im-infobereich")
    step("the song goes on while hidden", playerctl("status") == "Playing"
         and sound_level() > 3000)
    point = tray_icon_point()
    require("the tray icon is in the notification area", point is not None)

    # A click on the tray icon pauses; playerctl resumes.
    run("xdotool", "mousemove", str(point[0]), str(point[1]))
    time.sleep(0.2)
    run("xdotool", "click", "1")
    require("a click on the tray icon pauses",
            wait_for(lambda: playerctl("status") == "Paused", 5), playerctl("status"))
    step("nothing is heard while paused", wait_for(lambda: sound_level() < 200, 5),
         f"peak {sound_level()}")
    shot("06-pause")
    run("playerctl", "--player=tunrax", "play")
    require("playerctl resumes", wait_for(lambda: playerctl("status") == "Playing", 5))
    step("the song is heard again", wait_for(lambda: sound_level() > 3000, 5))
    step("the window stays hidden", not mapped(wid))

    # Next and Previous move through the list as its end would.
    run("playerctl", "--player=tunrax", "next")
    step("playerctl next plays the next song of the list",
         wait_for(lambda: caption().endswith(" - Das e")
                  and playerctl("metadata", "title") == "Das e", 15), caption())
    run("playerctl", "--player=tunrax", "previous")
    step("playerctl previous goes back",
         wait_for(lambda: caption().endswith(" - Das a")
                  and playerctl("metadata", "title") == "Das a", 15), caption())

    # Back to the window and out through "Datei > Beenden".
    run("dbus-send", "--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.tunrax",
        "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Raise")
    require("MPRIS Raise shows the window", wait_for(lambda: mapped(wid), 5))
    time.sleep(0.5)
    shot("07-wieder-da")
    click(find("menu item", "Datei"))
    beenden = wait_for(lambda: find("menu item", "Beenden"), 5)
    require("the menu 'Datei' offers 'Beenden'", beenden is not None)
    shot("08-beenden")
    click(beenden)
    require("'Beenden' ends the program", wait_for(lambda: app_root() is None
                                                   and main_window_id() is None, 15))


def _all(role):
    root = app_root()
    found, queue = [], [root] if root else []
    while queue:
        acc = queue.pop(0)
        if acc is None:
            continue
        if acc.getRoleName() == role and acc.getState().contains(pyatspi.STATE_SHOWING):
            found.append(acc)
        queue.extend(acc.getChildAtIndex(i) for i in range(acc.childCount))
    return found


if __name__ == "__main__":
    sys.exit(main())
