"""Drives the real Segno program from outside, as a person would: an X server of its own
(Xvfb), the pointer and the keyboard through xdotool, and the screen read back through
ImageMagick's `import`. Used by the end-to-end tests and by scripts/screenshot.

Positions are the window's layout in twips (1/1440 inch); the program places a control at
twips / 15 pixels, rounded, and reports a pointer at pixel p as p * 15 twips."""

import atexit
import math
import os
import random
import shutil
import signal
import subprocess
import tempfile
import time

TWIPS_PER_PIXEL = 15
TITLE = "Segno"
CLIENT_SIZE = (566, 326)  # 8496 x 4884 twips

# Left, top, width, height in twips from the window's top-left corner. The control panel
# Frame1 sits at (2400, 0); its children are listed here already moved by that offset.
_FRAME = (2400, 0)
_PANEL = {
    "Command7": (1320, 3000, 732, 372),  # LOAD
    "Command6": (1320, 3480, 1572, 372),  # ADDESTRA
    "Command5": (120, 3480, 1092, 372),  # MEMO
    "Command2": (2160, 3000, 732, 372),  # SAVE
    "List2": (4920, 1080, 612, 1776),
    "List1": (3720, 480, 1092, 2352),
    "Command3": (3000, 3480, 1572, 372),  # RICONOSCI
    "Command1": (120, 3000, 1092, 372),  # CLEAR MATRIX
    "Label7": (120, 4080, 4452, 372),
    "LBNneuroni": (1680, 1920, 852, 252),
    "Label2": (360, 360, 1332, 612),
    "LBch": (1800, 360, 852, 612),
}
TWIPS = {name: (_FRAME[0] + l, _FRAME[1] + t, w, h) for name, (l, t, w, h) in _PANEL.items()}
TWIPS["Text1"] = (1560, 2520, 492, 372)

CLEAR, SAVE, RECOGNISE, MEMO, TRAIN, LOAD = (
    "Command1", "Command2", "Command3", "Command5", "Command6", "Command7")
BUTTONS = (CLEAR, SAVE, RECOGNISE, MEMO, TRAIN, LOAD)

GRID_LEFT, GRID_TOP, PITCH, CELL = 360, 120, 360, 372
BLACK, WHITE = (0, 0, 0), (255, 255, 255)

# An I and an L as strokes: cell indices (row * 5 + column) in the order they are drawn.
STROKE_I = (2, 7, 12, 17, 22, 27)
STROKE_L = (0, 5, 10, 15, 20, 25, 26, 27, 28, 29)
CHAR_I, CHAR_L = frozenset(STROKE_I), frozenset(STROKE_L)


def pixel(twips):
    """The pixel a length in twips lands on, rounded half up as the program rounds."""
    return math.floor(twips / TWIPS_PER_PIXEL + 0.5)


def rect(name):
    """A control's rectangle in pixels of the window: x, y, width, height."""
    left, top, width, height = TWIPS[name]
    return (pixel(left), pixel(top), pixel(width), pixel(height))


def centre(name):
    x, y, w, h = rect(name)
    return (x + w // 2, y + h // 2)


def cell_rect(i):
    """The drawn square of cell i in pixels."""
    row, column = divmod(i, 5)
    return (pixel(GRID_LEFT + PITCH * column), pixel(GRID_TOP + PITCH * row), pixel(CELL),
            pixel(CELL))


def cell_point(i):
    """A pointer position in pixels that both lies on the drawn square of cell i and hits
    cell i: the hit-test divides by the size 372, the squares are laid out every 360 twips,
    so only the band where the two agree is safe."""
    row, column = divmod(i, 5)

    def middle(origin, index):
        start = origin + CELL * index  # hit-test's band (divides by the size)
        end = origin + PITCH * index + CELL  # drawn square's far edge
        return pixel((start + end) / 2)

    return (middle(GRID_LEFT, column), middle(GRID_TOP, row))


class Timeout(AssertionError):
    pass


def wait_until(predicate, what, timeout=5.0, interval=0.02):
    """Polls predicate until it returns something true, and returns that. On timeout fails
    with `what` and, when `what` is callable, with what it says about the last state."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(what() if callable(what) else f"timed out waiting for {what}")
        time.sleep(interval)


# Every process and scratch folder made here, so that nothing outlives the run even when a
# check fails or the run is stopped.
_started = []
_scratch = []


def _stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


@atexit.register
def _clean_up():
    while _started:
        _stop(_started.pop())
    while _scratch:
        shutil.rmtree(_scratch.pop(), ignore_errors=True)


def _terminated(signum, _frame):
    # Not an exception: the test runner would report it and go on with the next test.
    _clean_up()
    os._exit(128 + signum)


if signal.getsignal(signal.SIGTERM) == signal.SIG_DFL:
    signal.signal(signal.SIGTERM, _terminated)


def scratch_dir(prefix):
    """A new temporary folder, removed at the latest when the run ends."""
    path = tempfile.mkdtemp(prefix=prefix)
    _scratch.append(path)
    return path


def remove_dir(path):
    shutil.rmtree(path, ignore_errors=True)
    if path in _scratch:
        _scratch.remove(path)


def _spawn(args, **kwargs):
    process = subprocess.Popen(args, **kwargs)
    _started.append(process)
    return process


def _release(process):
    _stop(process)
    if process in _started:
        _started.remove(process)


def _ignore_usr1():
    signal.signal(signal.SIGUSR1, signal.SIG_IGN)
    signal.pthread_sigmask(signal.SIG_UNBLOCK, {signal.SIGUSR1})


def _click(button):
    # xdotool's own click command waits a tenth of a second after each click.
    return ("mousedown", button, "mouseup", button)


class Xvfb:
    """A private X server at 96 dots per inch, without a window manager or TCP."""

    def __init__(self):
        self.process = None
        self.display = None
        self._log = tempfile.TemporaryFile()
        # Start from a random number so that parallel runs rarely try the same one.
        first = random.randrange(100, 900)
        for number in range(first, first + 60):
            if self._try(number):  # a server already there makes this one exit at once
                return
        raise RuntimeError("no free X display number found")

    def _try(self, number):
        """Starts Xvfb on display `number` and waits until it is ready: an X server that
        starts with SIGUSR1 ignored sends its parent SIGUSR1 once it accepts connections,
        which no other server on that number can stand in for. On a number already taken
        Xvfb exits instead."""
        previous = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGUSR1})
        try:
            process = _spawn(
                ["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-dpi", "96",
                 "-nolisten", "tcp", "-noreset"],
                stdout=self._log, stderr=self._log, preexec_fn=_ignore_usr1)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                info = signal.sigtimedwait({signal.SIGUSR1}, 0.05)
                if info is not None and info.si_pid == process.pid:
                    self.process, self.display = process, f":{number}"
                    return True
                if process.poll() is not None:
                    break
            _release(process)
            return False
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, previous)

    def env(self):
        return dict(os.environ, DISPLAY=self.display)

    def run(self, *args, check=True):
        """Runs an X client against this server and returns its standard output."""
        done = subprocess.run(args, env=self.env(), capture_output=True, text=True,
                              timeout=20)
        if check and done.returncode != 0:
            raise RuntimeError(f"{' '.join(args)} failed: {done.stderr.strip()}")
        return done.stdout

    def xdotool(self, *args):
        return self.run("xdotool", *[str(a) for a in args])

    def close(self):
        if self.process is not None:
            _release(self.process)
            self.process = None
        self._log.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Shot:
    """A screenshot: width, height and packed 8-bit RGB rows."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @classmethod
    def from_ppm(cls, data):
        # Header: "P6", width, height, maxval, each after white space, then one space.
        fields, at = [], 0
        while len(fields) < 4:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at)
                continue
            start = at
            while not data[at:at + 1].isspace():
                at += 1
            fields.append(data[start:at])
        if fields[0] != b"P6" or fields[3] != b"255":
            raise ValueError(f"not an 8-bit PPM: {fields}")
        width, height = int(fields[1]), int(fields[2])
        rgb = data[at + 1:at + 1 + 3 * width * height]
        return cls(width, height, rgb)

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return tuple(self.rgb[at:at + 3])

    def crop(self, area):
        x, y, w, h = area
        return b"".join(self.rgb[3 * (row * self.width + x):3 * (row * self.width + x + w)]
                        for row in range(y, y + h))

    def masked(self, areas):
        """The whole picture with the given rectangles blacked out."""
        rows = [bytearray(self.rgb[3 * self.width * y:3 * self.width * (y + 1)])
                for y in range(self.height)]
        for x, y, w, h in areas:
            for row in rows[y:y + h]:
                row[3 * x:3 * (x + w)] = bytes(3 * w)
        return b"".join(rows)


class Segno:
    """One running program, started from `program` (a copy of the executable, or a link to
    one) with `cwd` as its current folder, on the given X server."""

    def __init__(self, x, program, cwd):
        self.x = x
        self.runtime = scratch_dir("segno-runtime-")
        os.chmod(self.runtime, 0o700)
        env = x.env()
        for name in ("WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                     "QT_FONT_DPI", "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE"):
            env.pop(name, None)
        env.update(QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.runtime,
                   QT_ENABLE_HIGHDPI_SCALING="0")
        self.log = tempfile.TemporaryFile()
        self.process = _spawn([program], cwd=cwd, env=env, stdout=self.log,
                              stderr=subprocess.STDOUT)
        try:
            self.window = wait_until(self._main_window, self._why_no_window, timeout=15)
        except BaseException:
            self.close()
            raise
        geometry = dict(line.split("=", 1) for line in
                        x.xdotool("getwindowgeometry", "--shell", self.window).split())
        self.origin = (int(geometry["X"]), int(geometry["Y"]))
        self.size = (int(geometry["WIDTH"]), int(geometry["HEIGHT"]))

    def _why_no_window(self):
        if self.process.poll() is not None:
            self.log.seek(0)
            return (f"segno exited with {self.process.returncode}: "
                    f"{self.log.read().decode(errors='replace')}")
        return "segno's window did not appear"

    def _main_window(self):
        if self.process.poll() is not None:
            raise AssertionError(self._why_no_window())
        windows = self.windows()
        return windows[0] if len(windows) == 1 else None

    def windows(self):
        """The program's visible windows titled exactly "Segno" (xdotool's name match
        ignores case, and Qt keeps a hidden helper window named "segno")."""
        found = self.x.run("xdotool", "search", "--all", "--onlyvisible", "--pid",
                           str(self.process.pid), "--name", f"^{TITLE}$", check=False)
        return [w for w in found.split()
                if self.x.run("xdotool", "getwindowname", w, check=False).strip() == TITLE]

    def close(self):
        _release(self.process)
        self.log.close()
        remove_dir(self.runtime)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # Pointer and keyboard. Positions are pixels of the window.

    def _screen(self, x, y):
        return (self.origin[0] + x, self.origin[1] + y)

    # The X server handles xdotool's requests in order, so a press sent after a move lands
    # where the move put the pointer; nothing needs to wait for the move itself.

    def move(self, x, y):
        self.x.xdotool("mousemove", *self._screen(x, y))

    def click_at(self, x, y, button=1):
        self.x.xdotool("mousemove", *self._screen(x, y), *_click(button))

    def click(self, control):
        self.click_at(*centre(control))

    def away(self):
        """Moves the pointer off the window, so that no button shows it hovering."""
        self.move(self.size[0] + 50, self.size[1] + 50)

    def press_cell(self, i, shift=False, button=1):
        self.press_at(*cell_point(i), shift=shift, button=button)

    def press_at(self, x, y, shift=False, button=1):
        if shift:
            self.x.xdotool("keydown", "shift")
        try:
            self.click_at(x, y, button)
        finally:
            if shift:
                self.x.xdotool("keyup", "shift")

    def drag(self, cells, modifier=None, button=1, after_each=None):
        """Presses on the first cell and moves, button held, over the others in turn. The
        program changes only the cell under each reported position and may merge moves
        that queue up, so `after_each(i)` can wait for a cell to settle before the next
        move."""
        first, rest = cells[0], cells[1:]
        self.move(*cell_point(first))
        if modifier:
            self.x.xdotool("keydown", modifier)
        try:
            self.x.xdotool("mousedown", button)
            try:
                if after_each:
                    after_each(first)
                for i in rest:
                    self.move(*cell_point(i))
                    if after_each:
                        after_each(i)
            finally:
                self.x.xdotool("mouseup", button)
        finally:
            if modifier:
                self.x.xdotool("keyup", modifier)

    def draw(self, cells):
        """Draws by a press on the first cell and a drag over the others in the order
        given, waiting for each square to turn black before moving on."""
        shown = set(self.painted())

        def settled(i):
            shown.add(i)
            self.wait_painted(shown)

        self.drag(list(cells), after_each=settled)

    def store(self, label):
        """Types the label and presses MEMO; the grid clears once the sample is stored."""
        self.type_label(label)
        self.click(MEMO)
        self.wait_painted(set())

    def type_label(self, text):
        """Replaces the text of the label box with `text`, emptying it first so that
        the box's text changes even when it already held the same character."""
        typing = ["type", "--delay", "0", text] if text else []
        self.x.xdotool("mousemove", *self._screen(*centre("Text1")), *_click(1),
                       "key", "--delay", "0", "ctrl+a", "BackSpace", *typing)

    # What the screen shows.

    def shot(self):
        data = subprocess.run(["import", "-window", self.window, "-depth", "8", "ppm:-"],
                              env=self.x.env(), capture_output=True, check=True,
                              timeout=20).stdout
        return Shot.from_ppm(data)

    def save_png(self, path):
        subprocess.run(["import", "-window", self.window, "-strip", f"png:{path}"],
                       env=self.x.env(), check=True, timeout=20)

    def painted(self, shot=None):
        """The cells shown black, read at the middle of each drawn square. A cell shown
        neither black nor white is reported as an error, not read as blank."""
        shot = shot or self.shot()
        black = set()
        for i in range(30):
            x, y, w, h = cell_rect(i)
            colour = shot.pixel(x + w // 2, y + h // 2)
            if colour == BLACK:
                black.add(i)
            elif colour != WHITE:
                raise AssertionError(f"cell {i} shows {colour}, neither black nor white")
        return frozenset(black)

    def wait_painted(self, expected, timeout=5.0):
        expected = frozenset(expected)
        last = {}

        def check():
            last["cells"] = self.painted()
            return last["cells"] == expected

        wait_until(check, lambda: (
            f"grid shows {sorted(last['cells'])}, expected {sorted(expected)}"),
            timeout=timeout)

    def area(self, name, shot=None):
        return (shot or self.shot()).crop(rect(name))

    def wait_area(self, name, image, timeout=5.0, equal=True):
        """Waits until a control shows `image` (or, with equal=False, anything else)."""
        wait_until(lambda: (self.area(name) == image) == equal,
                   f"{name} to {'show' if equal else 'change from'} the expected picture",
                   timeout=timeout)

    def settled(self, timeout=5.0):
        """A screenshot taken once two in a row agree, so nothing is still being drawn."""
        shots = [self.shot()]

        def same():
            time.sleep(0.05)
            shots[:] = [shots[-1], self.shot()]
            return shots[0].rgb == shots[1].rgb

        wait_until(same, "the window to stop changing", timeout=timeout)
        return shots[1]

    # Message boxes.

    def message_box(self, timeout=5.0):
        """Waits for a second window titled "Segno", one that holds the keyboard, and
        returns its id."""
        def box():
            windows = self.windows()
            others = [w for w in windows if w != self.window]
            if len(windows) != 2 or len(others) != 1:
                return None
            focus = self.x.run("xdotool", "getwindowfocus", check=False).strip()
            return others[0] if focus == others[0] else None

        return wait_until(box, "a message box titled Segno", timeout=timeout)

    def answer(self, key="Return", timeout=5.0):
        """Answers the open message box with a key and waits until it has gone."""
        self.x.xdotool("key", "--delay", "0", key)
        wait_until(lambda: self.windows() == [self.window], "the message box to close",
                   timeout=timeout)

    def window_property(self, window, name):
        return self.x.run("xprop", "-id", window, name).strip()
