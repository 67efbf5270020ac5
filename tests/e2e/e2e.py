"""What the end-to-end scenarios share: starting the player with a fresh
home folder, finding what it shows through the accessibility bus (AT-SPI),
pointer clicks and key presses through the X server (xdotool), the window
caption, MPRIS (playerctl), the sound that reaches the null sink, and the
report of checked steps.

A scenario is a script that calls run(scenario) with a function of no
arguments; the script is started as

    scenario_NAME.py PROGRAM COLLECTIONS ARTEFACTS

inside session.sh. COLLECTIONS holds the collections made by
make_collection.sh ("Musik", "Zweite"); each scenario works on copies of
them. Screenshots and the program's output go to ARTEFACTS.
E2E_KEEP=1 leaves the program and the scratch folders after a failed step,
to look at them.
"""
import array
import http.server
import os
import shutil
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
import traceback

import pyatspi
from Xlib import X, display, protocol

PROGRAM = COLLECTIONS = ARTEFACTS = ""
SINK = os.environ.get("TUNRAX_TEST_SINK", "testsink")
HEARD = 3000     # peak of a tone at half volume is ~16000
SILENT = 200

_results = []
_started = []
_scratch = []
_shots = 0
_begin = time.monotonic()


class Abort(Exception):
    """A required step failed: the rest of the scenario cannot follow."""


# --- the report

def step(name, ok, detail=""):
    """Reports a checked step; without detail, ok's own (see Sound)."""
    detail = detail or getattr(ok, "detail", "")
    ok = bool(ok)
    _results.append((name, ok))
    print(f"{'ok  ' if ok else 'FAIL'} {time.monotonic() - _begin:5.1f}s  {name}"
          + (f"  ({detail})" if detail else ""), flush=True)
    return ok


def require(name, ok, detail=""):
    if not step(name, ok, detail):
        shot("fehler")
        raise Abort(name)
    return ok


def shot(name):
    global _shots
    _shots += 1
    path = os.path.join(ARTEFACTS, f"{_shots:02d}-{name}.png")
    subprocess.run(["import", "-window", "root", path], check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def run(scenario):
    """Runs a scenario and exits with 1 if any step failed."""
    global PROGRAM, COLLECTIONS, ARTEFACTS
    PROGRAM, COLLECTIONS, ARTEFACTS = sys.argv[1:4]
    os.makedirs(ARTEFACTS, exist_ok=True)
    keep = False
    try:
        scenario()
    except Abort:
        keep = bool(os.environ.get("E2E_KEEP"))
    except Exception:  # a broken step of the scenario itself is a failure too
        step("the scenario runs to its end", False, traceback.format_exc().strip())
        shot("fehler")
    finally:
        if not keep:
            for program in _started:
                program.kill()
            for folder in _scratch:
                shutil.rmtree(folder, ignore_errors=True)
    failed = sum(1 for _, ok in _results if not ok)
    first = next((name for name, ok in _results if not ok), "")
    print(f"e2e: {len(_results) - failed} passed, {failed} failed"
          + (f"; first failure: {first}" if first else ""), flush=True)
    sys.exit(1 if failed or not _results else 0)


def wait_for(check, timeout=15.0, interval=0.1):
    """check's first true value within timeout, else its last value."""
    end = time.monotonic() + timeout
    while True:
        try:
            value = check()
        except Abort:
            raise
        except Exception:  # the accessibility tree changes while we look
            value = None
        if value or time.monotonic() > end:
            return value
        time.sleep(interval)


def stays(check, seconds, interval=0.1):
    """Whether check holds all the time for a number of seconds."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if not check():
            return False
        time.sleep(interval)
    return bool(check())


def sh(*args):
    return subprocess.run(args, capture_output=True, text=True, timeout=30).stdout.strip()


# --- folders and the program

def scratch(prefix):
    folder = tempfile.mkdtemp(prefix=f"tunrax-e2e-{prefix}-")
    _scratch.append(folder)
    return folder


def collection(name="Musik"):
    """A fresh copy of a prepared collection (no catalogue in it yet)."""
    target = os.path.join(scratch("sammlung"), name)
    shutil.copytree(os.path.join(COLLECTIONS, name), target)
    return target


def file_bytes(path):
    """A file's bytes, or why it cannot be read."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as error:
        return repr(error)


def fresh_home(folder=None):
    """A new, empty home folder; with folder, a settings file that chooses
    that local collection, as the first-start wizard would have stored it."""
    home = scratch("home")
    if folder:
        quintor = os.path.join(home, ".config", "quintor")
        os.makedirs(quintor)
        with open(os.path.join(quintor, "tunrax.ini"), "w", encoding="utf-8") as ini:
            ini.write(f"[Einstellungen]\nTyp=0\nVerzeichnis={folder}\n")
    return home


class Tunrax:
    """The program, started in a home folder of its own."""

    def __init__(self, home):
        self.home = home
        self.config = os.path.join(home, ".config")
        self.settings_file = os.path.join(self.config, "quintor", "tunrax.ini")
        self.lists_folder = os.path.join(self.config, "quintor", "tunRax")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=self.config,
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANG="de_DE.UTF-8")
        self.log = open(os.path.join(ARTEFACTS, f"tunrax-{len(_started) + 1}.log"), "w")
        self.process = subprocess.Popen([PROGRAM], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        _started.append(self)

    def running(self):
        return self.process.poll() is None

    def quit(self):
        """Ends the program through "Datei > Beenden"; its exit status."""
        activate(main_window_id())
        click(find("menu item", "Datei", main_window()))
        beenden = wait_for(lambda: find("menu item", "Beenden"), 5)
        require("the menu 'Datei' offers 'Beenden'", beenden is not None)
        shot("beenden")
        click(beenden)
        try:
            return self.process.wait(15)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()
        self.log.close()


# The exit status that asks run.sh to run a scenario once more in a new
# session: the session's X server could not be reached, so the program was
# never tested.
NO_DISPLAY = 75


def start(home, collection_shown="Kammerton"):
    """Starts the program and waits until its album tree shows the
    collection (collection_shown: a top-level name; None: do not wait)."""
    program = Tunrax(home)
    if collection_shown:
        shown = wait_for(lambda: not program.running()
                         or collection_shown in cells(album_tree()), 30)
        if not program.running():
            program.log.flush()
            with open(program.log.name, encoding="utf-8", errors="replace") as log:
                output = log.read()
            if "could not connect to display" in output:
                print(f"the X server {os.environ.get('DISPLAY')} could not be reached:\n{output}"
                      f"{sh('ls', '-la', '/tmp/.X11-unix')}", flush=True)
                xvfb_log = os.path.join(os.environ.get("XDG_RUNTIME_DIR", ""), "xvfb.log")
                if os.path.exists(xvfb_log):
                    print(open(xvfb_log, encoding="utf-8", errors="replace").read(), flush=True)
                sys.exit(NO_DISPLAY)
            require("the program starts", False, output.strip()[-500:])
        require("the main window shows the album tree", shown, f"tree: {cells(album_tree())}")
    return program


# --- the accessibility tree

def app_root():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tunrax":
            return app
    return None


def walk(root=None):
    """Every accessible below root (default: the program), breadth first."""
    root = root or app_root()
    queue = [root] if root is not None else []
    while queue:
        acc = queue.pop(0)
        if acc is None:
            continue
        yield acc
        queue.extend(acc.getChildAtIndex(i) for i in range(acc.childCount))


def has(acc, state):
    return acc is not None and acc.getState().contains(state)


def showing(acc):
    return has(acc, pyatspi.STATE_SHOWING)


def checked(acc):
    return has(acc, pyatspi.STATE_CHECKED)


def enabled(acc):
    return has(acc, pyatspi.STATE_ENABLED)


def find_all(role, name=None, root=None, visible=True):
    return [acc for acc in walk(root)
            if acc.getRoleName() == role and (name is None or acc.name == name)
            and (not visible or showing(acc))]


def find(role, name=None, root=None, visible=True):
    return next(iter(find_all(role, name, root, visible)), None)


def main_window():
    root = app_root()
    for i in range(root.childCount if root else 0):
        window = root.getChildAtIndex(i)
        if window is not None and window.name.startswith("Tunrax ("):
            return window
    return None


def dialog(title):
    """A showing window of the program with this title."""
    root = app_root()
    for i in range(root.childCount if root else 0):
        window = root.getChildAtIndex(i)
        if window is not None and window.name == title and showing(window):
            return window
    return None


def message_box():
    """The text of a showing message box (a window with an "OK" button and
    no other buttons), or None."""
    root = app_root()
    for i in range(root.childCount if root else 0):
        window = root.getChildAtIndex(i)
        if window is None or not showing(window) or window.name.startswith("Tunrax ("):
            continue
        buttons = find_all("push button", root=window)
        if [b.name for b in buttons] == ["OK"]:
            return " ".join(label.name for label in find_all("label", root=window) if label.name)
    return None


def song_list():
    """The song list, by its accessible name."""
    return find("tree", "Lieder", main_window())


def album_tree():
    """The album tree, by its accessible name (None while another page shows)."""
    return find("tree", "Alben", main_window())


def cells(tree):
    if tree is None:
        return []
    return [tree.getChildAtIndex(i).name for i in range(tree.childCount)
            if tree.getChildAtIndex(i).getRoleName() == "table cell"]


def cell(tree, name):
    return find("table cell", name, tree) if tree is not None else None


def selected(tree):
    """The names of the selected cells of a tree."""
    return [acc.name for acc in find_all("table cell", root=tree, visible=False)
            if has(acc, pyatspi.STATE_SELECTED)] if tree is not None else []


def focused(root=None):
    """The widget with the keyboard focus (not a cell or item inside it)."""
    found = None
    for acc in walk(root):
        if has(acc, pyatspi.STATE_FOCUSED) and acc.getRoleName() not in (
                "table cell", "list item", "page tab"):
            found = acc
    return found


def current_tab():
    """The caption of the page shown (Qt marks its tab as focused)."""
    tabs = [acc for acc in find_all("page tab", root=main_window())
            if has(acc, pyatspi.STATE_FOCUSED)]
    return tabs[0].name if tabs else None


def tab_shown(name):
    """Whether the main window shows a tab of this name."""
    tab = find("page tab", name, main_window())
    if tab is None:
        return False
    box = extents(tab)
    return box.width > 0 and box.height > 0


def extents(acc):
    return acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def field_beside(label, root):
    """The text field on the same line as a label (forms whose fields have
    no accessible name of their own)."""
    caption = find("label", label, root)
    if caption is None:
        return None
    line = extents(caption)
    middle = line.y + line.height // 2
    for field in find_all("text", root=root):
        box = extents(field)
        if box.y <= middle < box.y + box.height and box.x >= line.x + line.width:
            return field
    return None


def text_of(acc):
    text = acc.queryText()
    return text.getText(0, text.characterCount)


# --- the main window's controls

def button(name):
    """A tool button of the main window, by its caption."""
    return find("push button", name, main_window())


def chooser():
    """The chooser "Favoriten"."""
    return find("combo box", root=main_window())


def open_album(artist, album, songs):
    """Selects an album in the tree with the pointer; it must list songs."""
    click(cell(album_tree(), artist))
    click(wait_for(lambda: cell(album_tree(), album), 5))
    require(f"the album '{album}' lists its songs",
            wait_for(lambda: cells(song_list()) == songs, 5), cells(song_list()))


def new_list(typed):
    """"Neue Liste" with a name typed into its input box and Enter."""
    click(button("Neue Liste"))
    require("'Neue Liste' asks for a name", wait_for(lambda: dialog("Neue Liste"), 5))
    type_text(typed)
    key("Return")
    require("the input box closes on Enter", wait_for(lambda: dialog("Neue Liste") is None, 5))


def open_list_page(name, songs, check=step):
    """Shows the page of the current list, which must list songs."""
    click(find("page tab", name, main_window()))
    return check(f"the page '{name}' shows the list's songs",
                 wait_for(lambda: current_tab() == name and album_tree() is None
                          and cells(song_list()) == songs, 5),
                 f"page {current_tab()}: {cells(song_list())}")


# --- pointer and keyboard

def click_at(x, y, button=1):
    # Not "mousemove --sync": it waits for a move that never comes when the
    # pointer is there already.
    sh("xdotool", "mousemove", str(x), str(y))
    time.sleep(0.1)
    sh("xdotool", "click", str(button))


def click(acc, button=1):
    if acc is None:
        here = os.path.abspath(__file__)
        caller = [f for f in traceback.extract_stack() if os.path.abspath(f.filename) != here]
        where = caller[-1] if caller else traceback.extract_stack()[-2]
        require("the control to click is shown", False,
                f"{os.path.basename(where.filename)}:{where.lineno}: {where.line}")
    box = extents(acc)
    click_at(box.x + box.width // 2, box.y + box.height // 2, button)


def key(*keys, delay=80):
    """Key presses, in order, to the window with the keyboard focus."""
    sh("xdotool", "key", "--delay", str(delay), *keys)


def tab_to(name, root, limit=12):
    """Presses Tab until the focus is on the control of that name."""
    for _ in range(limit):
        if wait_for(lambda: focused(root) is not None and focused(root).name == name, 0.3):
            return True
        key("Tab")
    return False


def type_text(text):
    sh("xdotool", "type", "--delay", "30", text)


def activate(wid):
    """Gives a window the keyboard focus, as a window manager does when a
    window comes up (the session has no window manager)."""
    if wid:
        sh("xdotool", "windowfocus", "--sync", str(wid))
        time.sleep(0.2)


def window_id(pattern):
    out = sh("xdotool", "search", "--onlyvisible", "--name", pattern)
    return int(out.split()[0]) if out else None


def choose(combo, item):
    """Picks an entry of a combo box with the pointer."""
    click(combo)
    entry = wait_for(lambda: find("list item", item, combo), 5)
    if entry is None:
        raise Abort(f"the chooser offers no '{item}'")
    click(entry)
    wait_for(lambda: combo.name == item, 3)


def windows():
    return set(sh("xdotool", "search", "--onlyvisible", "--class", "tunrax").split())


def geometry(wid):
    out = sh("xdotool", "getwindowgeometry", "--shell", str(wid))
    return {k: int(v) for k, v in (line.split("=") for line in out.splitlines() if "=" in line)
            if k != "SCREEN"}


def context_menu_last_entry(acc):
    """Opens the context menu of acc with a right click and clicks its last
    entry. Context menus are not on the accessibility bus (Qt leaves out
    windows that belong to another), so the entry is found by its place.
    False if the menu did not open, or stayed open (a disabled entry)."""
    before = windows()
    click(acc, button=3)
    menu = wait_for(lambda: next(iter(windows() - before), None), 3)
    if menu is None:
        return False
    box = geometry(menu)
    shot("kontextmenue")
    click_at(box["X"] + box["WIDTH"] // 3, box["Y"] + box["HEIGHT"] - 8)
    if wait_for(lambda: menu not in windows(), 2):
        return True
    key("Escape")
    return False


def chooser_entries(combo):
    return [acc.name for acc in find_all("list item", root=combo, visible=False)]


# --- what is drawn

def screen_gray(box):
    """The screen's grey values (0..255) within box, as a list of rows."""
    png = subprocess.run(["import", "-window", "root", "png:-"], capture_output=True,
                         timeout=30).stdout
    raw = subprocess.run(["convert", "png:-", "-crop", f"{box.width}x{box.height}+{box.x}+{box.y}",
                          "+repage", "-depth", "8", "gray:-"], input=png, capture_output=True,
                         timeout=30).stdout
    return [list(raw[row * box.width:(row + 1) * box.width]) for row in range(box.height)]


def first_glyph_has_mark_above(box):
    """Whether the first letter drawn in box carries a mark above it, as the
    dots of an "Ö" are: a column of that letter crosses ink three times (the
    dot, the top and the bottom of the "O"); a bare "O" gives two. The ground
    is the colour of the box's first column."""
    rows = screen_gray(box)
    if not rows or not rows[0]:
        return False
    ground = sorted(row[0] for row in rows)[len(rows) // 2]
    ink = [[abs(value - ground) > 90 for value in row] for row in rows]
    columns = range(len(ink[0]))
    inked = [any(row[x] for row in ink) for x in columns]
    start = next((x for x in columns if inked[x]), None)
    if start is None:
        return False
    end = next((x for x in range(start, len(inked)) if not inked[x]), len(inked))
    for x in range(start, end):
        runs = sum(1 for y in range(len(ink)) if ink[y][x] and (y == 0 or not ink[y - 1][x]))
        if runs >= 3:
            return True
    return False


# --- X windows, MPRIS, sound

def main_window_id():
    out = sh("xdotool", "search", "--name", r"^Tunrax \(")
    return int(out.split()[0]) if out else None


def caption():
    wid = main_window_id()
    return sh("xdotool", "getwindowname", str(wid)) if wid else ""


def playing_song():
    """The song the caption names ("Tunrax (...) - SONG"), else None."""
    title = caption()
    return title.split(") - ", 1)[1] if ") - " in title else None


def mapped(wid):
    return "IsViewable" in sh("xwininfo", "-id", str(wid))


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


def hide_to_tray(wid):
    """Hides the window with its close box; the middle of the tray icon."""
    close_box(wid)
    require("the close box hides the window", wait_for(lambda: not mapped(wid), 5))
    point = wait_for(tray_icon_point, 5)
    require("the tray icon is in the notification area", point is not None)
    return point


def playerctl(*args):
    return sh("playerctl", "--player=tunrax", *args)


def position():
    """Where the song heard stands, in seconds, as playerctl reads it (-1:
    nothing plays)."""
    try:
        return float(playerctl("position"))
    except ValueError:
        return -1.0


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


class Sound:
    """What the sink let hear: true when it was what was waited for; its
    detail, the last peak, goes into the report."""

    def __init__(self, ok, peak):
        self.ok, self.detail = ok, f"peak {peak}"

    def __bool__(self):
        return self.ok


def _listen(wanted, timeout):
    peaks = []
    ok = wait_for(lambda: wanted(peaks.append(sound_level()) or peaks[-1]), timeout)
    return Sound(bool(ok), peaks[-1] if peaks else None)


def heard(timeout=5):
    return _listen(lambda peak: peak > HEARD, timeout)


def silent(timeout=5):
    return _listen(lambda peak: peak < SILENT, timeout)


def tray_icon_point():
    """The middle of the program's icon docked in the notification area."""
    for wid in sh("xdotool", "search", "--onlyvisible", "--class", "tunrax").split():
        geometry = sh("xdotool", "getwindowgeometry", "--shell", wid)
        values = {k: int(v) for k, v in
                  (line.split("=") for line in geometry.splitlines() if "=" in line)
                  if k != "SCREEN"}
        if values.get("WIDTH", 99) <= 48 and values.get("HEIGHT", 99) <= 48:
            return values["X"] + values["WIDTH"] // 2, values["Y"] + values["HEIGHT"] // 2
    return None


class CaptionLog:
    """Records every change of the caption's song while it runs, so that a
    song shown for a moment only is not missed."""

    def __init__(self):
        self.changes = []  # (seconds since start, song or None)
        self._start = time.monotonic()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._poll, daemon=True)
        self._thread.start()

    def _poll(self):
        last = object()
        while not self._stop.is_set():
            song = playing_song()
            if song != last:
                self.changes.append((time.monotonic() - self._start, song))
                last = song
            time.sleep(0.04)

    def stop(self):
        self._stop.set()
        self._thread.join()

    def songs(self):
        """The songs in the order they were shown."""
        return [song for _, song in self.changes if song]

    def shown_for(self, song):
        """How long the caption named the song (its first appearance)."""
        for i, (at, name) in enumerate(self.changes):
            if name == song:
                end = self.changes[i + 1][0] if i + 1 < len(self.changes) else None
                return None if end is None else end - at
        return None


# --- servers

class _Dripping(http.server.BaseHTTPRequestHandler):
    """Answers every request with a body that never ends, a byte a second."""

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        try:
            while True:
                self.wfile.write(b"A")
                self.wfile.flush()
                time.sleep(1)
        except OSError:
            pass

    def log_message(self, *args):
        pass


class _ThreadedServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def free_port():
    """A loopback port that nobody listens on now."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connects(port):
    """Whether a server listens on the loopback port."""
    try:
        with socket.create_connection(("127.0.0.1", port), 0.2):
            return True
    except OSError:
        return False


def dripping_web_server():
    """A web server on a free loopback port whose answers drip a byte a
    second without end; running until its shutdown(). Its port is
    server_address[1]."""
    server = _ThreadedServer(("127.0.0.1", 0), _Dripping)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server
