"""End-to-end driver: runs a Windows program under Wine on an X server and acts on
it as a person would, through the X server (xdotool), while a small Windows helper
(wintool.exe) reads what only Win32 can see: message box texts, window owners,
the exact exit code.

    from driver import Session

    with Session("main_window") as session:
        session.start()                       # the downloader, with a temp folder of its own
        window = session.wait_window("ZENTAV full-client downloader...")
        session.activate(window)              # the keyboard focus, as a window manager gives it
        session.key("Escape")
        box = session.wait_box()
        session.answer(box, "OK")
        assert session.wait_exit() == 1

Every wait is bounded and fails with a DriverError (an AssertionError) that says
what was awaited and what was seen last. Leaving the `with` block ends the program
and every process it started, also when the test failed; a failing test leaves a
screenshot "failure.png" among the session's artifacts.

See README.md beside this file.
"""

import atexit
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("ZENTAV_SOURCE_DIR") or os.path.dirname(os.path.dirname(HERE))

# Debian's ImageMagick by its full name: a "convert" earlier in PATH may be something else.
CONVERT = next((p for p in ("/usr/bin/convert-im6.q16", "/usr/bin/convert") if os.path.exists(p)), "convert")
IMPORT = next((p for p in ("/usr/bin/import-im6.q16", "/usr/bin/import") if os.path.exists(p)), "import")

# Message box buttons by the names a person reads on them.
BUTTON_IDS = {"OK": 1, "Cancel": 2, "Abort": 3, "Retry": 4, "Ignore": 5, "Yes": 6, "No": 7}

DEFAULT_TIMEOUT = 20.0
POLL_SECONDS = 0.1


class DriverError(AssertionError):
    """A wait that ran out or an action that could not be done; fails the test."""


def wait_until(condition, timeout, what, last_seen=None):
    """Polls condition() until it returns something true and returns that value.
    After `timeout` seconds raises DriverError naming `what` and, if given,
    last_seen() (what was observed instead)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            seen = ""
            if last_seen is not None:
                seen = "; last seen: %s" % (last_seen(),)
            raise DriverError("timed out after %.1f s waiting for %s%s" % (timeout, what, seen))
        time.sleep(POLL_SECONDS)


# ---------------------------------------------------------------------------
# Paths and exit codes

def to_windows_path(linux_path):
    """The name Wine gives a Linux path: drive Z: is the Linux root."""
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


def to_linux_path(windows_path):
    """The inverse of to_windows_path, for Z: paths only."""
    if not re.match(r"^[zZ]:\\", windows_path):
        raise DriverError("not a Z: path: %r" % windows_path)
    return windows_path[2:].replace("\\", "/")


def wine_status(windows_exit_code):
    """What a Linux parent sees of a Windows exit code when the program is started
    directly with `wine program.exe`: the code modulo 256 (-1 -> 255, -21 -> 235,
    1 -> 1). Session.wait_exit() needs no such mapping: wintool reports the exact
    signed 32-bit value."""
    return windows_exit_code & 0xFF


# ---------------------------------------------------------------------------
# Environment: Wine and the X server

class _Environment:
    """The process environment every Wine and X command runs with. Built once:
    sources scripts/wine-env when WINEPREFIX is unset and starts a private Xvfb
    (stopped at exit) when DISPLAY is unset."""

    def __init__(self):
        self._env = None
        self._xvfb = None

    def get(self):
        if self._env is None:
            env = dict(os.environ)
            if not env.get("WINEPREFIX") or not env.get("ZENTAV_WINE"):
                env.update(self._wine_env())
            env.setdefault("WINEDEBUG", "-all")
            if not env.get("DISPLAY"):
                env["DISPLAY"] = self._start_xvfb()
            self._env = env
        return self._env

    @staticmethod
    def _wine_env():
        script = os.path.join(SOURCE_DIR, "scripts", "wine-env")
        # zentav_wine_prefix creates the prefix the first time only.
        output = subprocess.run(
            ["bash", "-c", 'source "$1" >/dev/null && zentav_wine_prefix >&2 && env -0', "bash", script],
            check=True, stdout=subprocess.PIPE, timeout=600).stdout
        exported = {}
        for entry in output.split(b"\0"):
            name, _, value = entry.decode().partition("=")
            if name in ("ZENTAV_ROOT", "ZENTAV_ARCH", "ZENTAV_WINE", "WINEPREFIX", "WINELOADER", "WINEDEBUG",
                        "WINEDLLOVERRIDES"):
                exported[name] = value
        return exported

    def _start_xvfb(self):
        for number in range(140, 200):
            if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
                continue
            process = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_until(lambda: os.path.exists("/tmp/.X11-unix/X%d" % number) or process.poll() is not None,
                           10, "Xvfb :%d" % number)
            except DriverError:
                pass
            if process.poll() is None and os.path.exists("/tmp/.X11-unix/X%d" % number):
                self._xvfb = process
                return ":%d" % number
            process.kill()
            process.wait()
        raise DriverError("could not start Xvfb")

    def stop(self):
        if self._xvfb is not None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait()
            self._xvfb = None


ENVIRONMENT = _Environment()
atexit.register(ENVIRONMENT.stop)


def build_dir():
    """The build tree: ZENTAV_BUILD_DIR, else build/<arch> of the source tree."""
    found = os.environ.get("ZENTAV_BUILD_DIR")
    if found:
        return found
    return os.path.join(SOURCE_DIR, "build", ENVIRONMENT.get()["ZENTAV_ARCH"])


def program_path():
    return os.path.join(build_dir(), "app", "zentav-downloader.exe")


def wintool_path():
    return os.environ.get("ZENTAV_WINTOOL") or os.path.join(build_dir(), "tests", "e2e", "wintool.exe")


class _DesktopHold:
    """A `wintool hold` for the whole test process (see Hold in wintool.cpp): the
    Wine desktop stays up from the first session to the end, so that programs
    never start while Wine replaces it. It ends when its standard input closes,
    so it goes with this process however that ends."""

    def __init__(self):
        self._process = None

    def ensure(self):
        if self._process is not None and self._process.poll() is None:
            return
        env = ENVIRONMENT.get()
        with tempfile.TemporaryFile() as output:
            self._process = subprocess.Popen([env["ZENTAV_WINE"], wintool_path(), "hold"], env=env,
                                             stdin=subprocess.PIPE, stdout=output, stderr=subprocess.DEVNULL)

            def held():
                output.seek(0)
                if b"held" in output.read():
                    return True
                if self._process.poll() is not None:
                    raise DriverError("wintool hold ended (status %d)" % self._process.returncode)
                return False
            wait_until(held, 60, "the Wine desktop")

    def stop(self):
        if self._process is not None:
            self._process.stdin.close()
            try:
                self._process.wait(10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
            self._process = None


DESKTOP_HOLD = _DesktopHold()
atexit.register(DESKTOP_HOLD.stop)  # registered after ENVIRONMENT.stop, so it runs before it


def run_command(argv, timeout=30.0, check=True):
    """Runs a Linux command in the driver's environment; returns its stdout text."""
    try:
        result = subprocess.run(argv, env=ENVIRONMENT.get(), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=timeout)
    except subprocess.TimeoutExpired:
        raise DriverError("%s did not end within %.0f s" % (" ".join(argv), timeout)) from None
    if check and result.returncode != 0:
        raise DriverError("%s failed (%d): %s" % (" ".join(argv), result.returncode,
                                                  result.stderr.decode(errors="replace").strip()))
    return result.stdout.decode(errors="replace")


def wintool(*args, timeout=30.0):
    """Runs one wintool command under Wine and returns its JSON lines as dicts."""
    env = ENVIRONMENT.get()
    argv = [env["ZENTAV_WINE"], wintool_path()] + [str(a) for a in args]
    command = "wintool " + " ".join(map(str, args))
    # Files, not pipes: a Wine process started on the way (explorer.exe) inherits
    # them and would hold a pipe open after wintool has ended.
    with tempfile.TemporaryFile() as output, tempfile.TemporaryFile() as errors:
        process = subprocess.Popen(argv, env=env, stdout=output, stderr=errors)
        try:
            status = process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise DriverError("%s did not end within %.0f s" % (command, timeout)) from None
        output.seek(0)
        errors.seek(0)
        records = [json.loads(line) for line in output.read().decode().splitlines() if line.strip()]
        messages = [r["error"] for r in records if "error" in r]
        if status != 0 or messages:
            messages.append(errors.read().decode(errors="replace").strip())
            raise DriverError("%s failed (%d): %s" % (command, status, " ".join(messages)))
    return records


def xdotool(*args, timeout=30.0, check=True):
    return run_command(["xdotool"] + [str(a) for a in args], timeout=timeout, check=check)


def _posix_regex_literal(text):
    """An extended regular expression (as xdotool takes) that matches `text` exactly."""
    return "^" + re.sub(r"([.\[\]{}()\\*+?^$|])", r"\\\1", text) + "$"


def x_windows_by_name(title, visible_only=True):
    """X window ids whose name is exactly `title` (xdotool search --name)."""
    args = ["search"] + (["--onlyvisible"] if visible_only else []) + ["--name", _posix_regex_literal(title)]
    # xdotool exits with 1 when nothing matches.
    return [int(line) for line in xdotool(*args, check=False).split()]


def x_geometry(xid):
    """(x, y, width, height) of an X window on the screen (xdotool getwindowgeometry)."""
    values = dict(line.split("=", 1) for line in xdotool("getwindowgeometry", "--shell", xid).split() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def screen_size():
    """(width, height) of the screen as Windows programs see it (GetSystemMetrics)."""
    size = wintool("screen")[0]
    return size["width"], size["height"]


def server_base_url():
    """The content server URL built into the program (the build's CMake cache)."""
    with open(os.path.join(build_dir(), "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("ZENTAV_SERVER_BASE_URL:"):
                return line.split("=", 1)[1].strip()
    raise DriverError("ZENTAV_SERVER_BASE_URL is not in the build's CMake cache")


# ---------------------------------------------------------------------------
# Windows and message boxes as wintool sees them

def top_level_windows(pid=None):
    """Top-level windows of a Windows process, or of every process."""
    return [Window(r) for r in (wintool("windows", pid) if pid is not None else wintool("windows"))]


def message_boxes(pid=None):
    """Visible message boxes of a Windows process, or of every process."""
    return [MessageBox(r) for r in (wintool("boxes", pid) if pid is not None else wintool("boxes"))]


class Window:
    """A top-level window: hwnd and pid are Windows values, xid is the X window that
    shows it (0 if none), rect is (left, top, right, bottom) on the screen, style
    and exstyle the GWL_STYLE and GWL_EXSTYLE bits."""

    def __init__(self, record):
        self.hwnd = record["hwnd"]
        self.pid = record["pid"]
        self.title = record["title"]
        self.class_name = record["class"]
        self.rect = tuple(record["rect"])
        self.visible = record["visible"]
        self.style = record["style"]
        self.exstyle = record["exstyle"]
        self.owner = record["owner"]
        self.xid = record["xid"]

    x = property(lambda self: self.rect[0])
    y = property(lambda self: self.rect[1])
    width = property(lambda self: self.rect[2] - self.rect[0])
    height = property(lambda self: self.rect[3] - self.rect[1])

    def __repr__(self):
        return "Window(hwnd=%d, pid=%d, title=%r, class=%r, rect=%r, visible=%r)" % (
            self.hwnd, self.pid, self.title, self.class_name, self.rect, self.visible)


class ChildWindow:
    """A child window (control): hwnd, parent, id, class_name, text, rect on the
    screen, visible, enabled."""

    def __init__(self, record):
        self.hwnd = record["hwnd"]
        self.parent = record["parent"]
        self.id = record["id"]
        self.class_name = record["class"]
        self.text = record["text"]
        self.rect = tuple(record["rect"])
        self.visible = record["visible"]
        self.enabled = record["enabled"]

    def __repr__(self):
        return "ChildWindow(hwnd=%d, id=%d, class=%r, text=%r, rect=%r, visible=%r)" % (
            self.hwnd, self.id, self.class_name, self.text, self.rect, self.visible)


class MessageBox:
    """A visible dialog of class #32770: caption, text (its static 0xFFFF), owner
    hwnd and buttons as {id: text}."""

    def __init__(self, record):
        self.hwnd = record["hwnd"]
        self.pid = record["pid"]
        self.caption = record["caption"]
        self.text = record["text"]
        self.owner = record["owner"]
        self.buttons = {b["id"]: b["text"].replace("&", "") for b in record["buttons"]}

    def __repr__(self):
        return "MessageBox(hwnd=%d, caption=%r, text=%r, owner=%d, buttons=%r)" % (
            self.hwnd, self.caption, self.text, self.owner, self.buttons)


# ---------------------------------------------------------------------------
# Pictures

class Image:
    """An RGB picture with pixel access, read through ImageMagick as binary PPM."""

    def __init__(self, width, height, data, path=None):
        self.width = width
        self.height = height
        self.data = data
        self.path = path

    @classmethod
    def load(cls, path):
        """Any picture ImageMagick reads (PNG, JPEG ...), flattened to 8-bit RGB."""
        result = subprocess.run([CONVERT, path, "-alpha", "off", "-depth", "8", "ppm:-"], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=60)
        if result.returncode != 0:
            raise DriverError("cannot read the picture %s: %s" % (path, result.stderr.decode(errors="replace").strip()))
        return cls._parse_ppm(result.stdout, path)

    @classmethod
    def _parse_ppm(cls, ppm, path):
        # Header: "P6", width, height, maximum value, separated by white space
        # (comments from '#' to the line's end), then one white space character.
        fields = []
        position = 0
        while len(fields) < 4:
            while ppm[position:position + 1].isspace():
                position += 1
            if ppm[position:position + 1] == b"#":
                position = ppm.index(b"\n", position)
                continue
            start = position
            while not ppm[position:position + 1].isspace():
                position += 1
            fields.append(ppm[start:position])
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise DriverError("%s: not an 8-bit binary PPM" % path)
        width, height = int(fields[1]), int(fields[2])
        data = ppm[position + 1:position + 1 + width * height * 3]
        if len(data) != width * height * 3:
            raise DriverError("%s: PPM data is short" % path)
        return cls(width, height, data, path)

    def pixel(self, x, y):
        """(r, g, b) at (x, y)."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise DriverError("pixel (%d, %d) outside %dx%d picture" % (x, y, self.width, self.height))
        offset = (y * self.width + x) * 3
        return tuple(self.data[offset:offset + 3])

    def _pixels(self, left, top, right, bottom):
        """Pixels of the rectangle [left, right) x [top, bottom)."""
        if not (0 <= left < right <= self.width and 0 <= top < bottom <= self.height):
            raise DriverError("region (%d, %d, %d, %d) outside %dx%d picture" % (
                left, top, right, bottom, self.width, self.height))
        for y in range(top, bottom):
            row = (y * self.width) * 3
            for x in range(left, right):
                yield self.data[row + x * 3:row + x * 3 + 3]

    def mean(self, left, top, right, bottom):
        """Mean (r, g, b) of the rectangle [left, right) x [top, bottom)."""
        sums = [0, 0, 0]
        count = 0
        for pixel in self._pixels(left, top, right, bottom):
            sums[0] += pixel[0]
            sums[1] += pixel[1]
            sums[2] += pixel[2]
            count += 1
        return tuple(s / count for s in sums)

    def spread(self, left, top, right, bottom):
        """The largest difference of any channel within the rectangle: 0 for a plain
        area, large where something (text, an edge) is drawn."""
        low = [255, 255, 255]
        high = [0, 0, 0]
        for pixel in self._pixels(left, top, right, bottom):
            for channel in range(3):
                low[channel] = min(low[channel], pixel[channel])
                high[channel] = max(high[channel], pixel[channel])
        return max(h - l for h, l in zip(high, low))

    def is_uniform(self, left, top, right, bottom, tolerance=8):
        return self.spread(left, top, right, bottom) <= tolerance

    def crop(self, left, top, right, bottom):
        rows = [self.data[(y * self.width + left) * 3:(y * self.width + right) * 3] for y in range(top, bottom)]
        return Image(right - left, bottom - top, b"".join(rows))


def colour_distance(a, b):
    """The largest difference of any channel between two colours."""
    return max(abs(x - y) for x, y in zip(a, b))


# ---------------------------------------------------------------------------
# The session

class Session:
    """One run of one Windows program with a temporary folder of its own.

    name       names the folder of artifacts (screenshots, Wine's output):
               <build dir>/e2e-artifacts/<name>/
    work_dir   an existing folder to run in instead of a fresh one; it is kept
               at the end, so that a later session given the same folder finds
               what this one left (the program's working folder under temp/)
    Attributes after start(): pid (the Windows process id), temp_dir (the Linux
    path given to the program as TMP and TEMP), work_dir (its parent, removed at
    the end unless keep_work_dir or given by the caller)."""

    def __init__(self, name, keep_work_dir=False, work_dir=None):
        self.name = name
        self.keep_work_dir = keep_work_dir or work_dir is not None
        self.env = ENVIRONMENT.get()
        if not os.path.exists(wintool_path()):
            raise DriverError("no wintool at %s (not built?)" % wintool_path())
        DESKTOP_HOLD.ensure()
        self.artifacts_dir = os.path.join(build_dir(), "e2e-artifacts", name)
        os.makedirs(self.artifacts_dir, exist_ok=True)
        self.work_dir = work_dir or tempfile.mkdtemp(prefix="zentav-e2e-%s-" % name)
        self.temp_dir = os.path.join(self.work_dir, "temp")
        os.makedirs(self.temp_dir, exist_ok=True)
        self.pid = None
        self._runner = None
        self._runner_output = None
        self._exit_code = None
        self._log = None
        self.runner_status = None  # the Linux exit status of `wine wintool.exe run`, after close()

    # -- lifecycle ---------------------------------------------------------

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, traceback):
        if exc_type is not None:
            try:
                self.screenshot("failure")
            except Exception as error:  # the original failure matters more
                print("no failure screenshot: %s" % error, file=sys.stderr)
        self.close()
        return False

    def start(self, program=None, args=(), env=None, timeout=DEFAULT_TIMEOUT):
        """Starts `program` (a Linux path; the downloader by default) with `args`,
        TMP and TEMP set to temp_dir and the current folder work_dir, plus the
        Windows environment entries of `env`. Returns the Windows process id."""
        if self._runner is not None:
            raise DriverError("this session has started its program already")
        program = program or program_path()
        if not os.path.exists(program):
            raise DriverError("no program at %s (not built?)" % program)
        variables = {"TMP": to_windows_path(self.temp_dir), "TEMP": to_windows_path(self.temp_dir)}
        variables.update(env or {})
        argv = [self.env["ZENTAV_WINE"], wintool_path(), "run", "--cwd", to_windows_path(self.work_dir)]
        for name, value in variables.items():
            argv += ["--env", "%s=%s" % (name, value)]
        argv += ["--", to_windows_path(program)] + [str(a) for a in args]
        # wintool's lines go to a file, not a pipe: processes that Wine starts on
        # the way (explorer.exe, the program itself) inherit the runner's output
        # and would keep a pipe open long after the runner has ended.
        self._log = open(os.path.join(self.artifacts_dir, "wine.log"), "wb")
        self._runner_output = os.path.join(self.artifacts_dir, "runner.jsonl")
        with open(self._runner_output, "wb") as output:
            self._runner = subprocess.Popen(argv, env=self.env, stdout=output, stderr=self._log)
        self.pid = self._await_record("started", timeout, "the program to start")["started"]
        return self.pid

    def _await_record(self, key, timeout, what):
        """Waits for the runner's line that carries `key`."""
        def found():
            ended = self._runner.poll() is not None  # before reading: its last line is written by then
            with open(self._runner_output, "rb") as output:
                lines = output.read().split(b"\n")[:-1]
            for record in (json.loads(line) for line in lines if line.strip()):
                if key in record:
                    return record
                if "error" in record:
                    raise DriverError("wintool run: %s" % record["error"])
            if ended:
                raise DriverError("wintool run ended (status %d) before %s" % (self._runner.returncode, what))
            return None
        return wait_until(found, timeout, what)

    def running(self):
        """True while the program runs (the runner ends with it)."""
        return self._runner is not None and self._runner.poll() is None

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the program to end and returns its exact exit code (signed)."""
        if self._exit_code is None:
            if self._runner is None:
                raise DriverError("the program was not started")
            self._exit_code = self._await_record("exited", timeout, "the program to end")["code"]
        return self._exit_code

    def expect_running(self, seconds=1.0):
        """Fails if the program ends within `seconds`."""
        try:
            code = self.wait_exit(seconds)
        except DriverError:
            if self.running():
                return
            raise
        raise DriverError("the program ended with exit code %d" % code)

    def close(self):
        """Ends the program, if it still runs, and every process it started (also
        those still running after it ended), then the runner; removes the work
        folder. Safe to call more than once."""
        if self._runner is not None:
            if self.pid is not None:
                try:
                    wintool("kill", self.pid, 1)
                    if self._exit_code is None:
                        self.wait_exit(10)
                except DriverError as error:
                    print("cleanup: %s" % error, file=sys.stderr)
            if self._runner.poll() is None:
                self._runner.kill()
            self.runner_status = self._runner.wait()
            self._runner = None
        if self._log is not None:
            self._log.close()
            self._log = None
        if not self.keep_work_dir and os.path.isdir(self.work_dir):
            shutil.rmtree(self.work_dir, ignore_errors=True)

    # -- files -------------------------------------------------------------

    def temp_path(self, *parts):
        """Linux path of a file under the program's temporary folder."""
        return os.path.join(self.temp_dir, *parts)

    def read_file(self, *parts):
        with open(self.temp_path(*parts), "rb") as file:
            return file.read()

    # -- windows -----------------------------------------------------------

    def windows(self, visible_only=True):
        """The program's top-level windows."""
        return [w for w in top_level_windows(self.pid) if w.visible or not visible_only]

    def wait_window(self, title, timeout=DEFAULT_TIMEOUT):
        """Waits until the program shows a top-level window titled `title` that the
        X server also shows (xdotool search --name finds its X window) and returns it."""
        def shown():
            for window in self.windows():
                if window.title == title and window.xid in x_windows_by_name(title):
                    return window
            return None
        return wait_until(shown, timeout, "a window titled %r" % title, lambda: self.windows(visible_only=False))

    def wait_window_gone(self, window, timeout=DEFAULT_TIMEOUT):
        def gone():
            return not self.running() or all(w.hwnd != window.hwnd for w in self.windows())
        wait_until(gone, timeout, "%r to disappear" % window)

    def refresh(self, window):
        """The window as it is now (position, visibility), or None if it is gone."""
        return next((w for w in self.windows(visible_only=False) if w.hwnd == window.hwnd), None)

    @staticmethod
    def children(window):
        """Every child window of the window, at any depth."""
        return [ChildWindow(r) for r in wintool("children", window.hwnd)]

    def geometry(self, window):
        """(x, y, width, height) of the window's X window, as the X server has it."""
        return x_geometry(window.xid)

    def close_window(self, window):
        """Sends WM_CLOSE, as the system does for a close request."""
        wintool("close", window.hwnd)

    def activate(self, window, timeout=DEFAULT_TIMEOUT):
        """Makes the window the foreground window with the keyboard focus, as a
        window manager does with a window that is shown or clicked; keys then reach
        it, and a press on it starts a move at once.

        Xvfb runs no window manager, so this does its part: the X focus through
        xdotool, the activation through wintool. Wine turns a window it activates
        into a managed one by unmapping and mapping it again, which can drop the
        focus, so this waits until both have stayed on the window for a moment."""
        def focus():
            return xdotool("getwindowfocus", check=False).strip() == str(window.xid)

        def foreground():
            return wintool("foreground")[0]["hwnd"] == window.hwnd

        def settled():
            if not foreground():
                wintool("activate", window.hwnd)
                return False
            if not focus():
                xdotool("windowfocus", window.xid, check=False)
                return False
            time.sleep(0.3)
            return focus() and foreground()
        wait_until(settled, timeout, "%r to take the keyboard focus" % window,
                   lambda: "focus on X window %s, foreground %r" % (
                       xdotool("getwindowfocus", check=False).strip(), wintool("foreground")[0]))

    # -- message boxes -----------------------------------------------------

    def boxes(self):
        return message_boxes(self.pid)

    def wait_box(self, caption=None, timeout=DEFAULT_TIMEOUT):
        """Waits for a message box of the program (with this caption, if given)."""
        def found():
            return next((b for b in self.boxes() if caption is None or b.caption == caption), None)
        what = "a message box" + (" captioned %r" % caption if caption else "")
        return wait_until(found, timeout, what, lambda: self.windows(visible_only=False))

    def answer(self, box, button):
        """Presses a button of the box: "OK", "Cancel", "Yes", "No" ... or an id."""
        button_id = BUTTON_IDS.get(button, button)
        if button_id not in box.buttons:
            raise DriverError("%r has no button %r" % (box, button))
        wintool("press", box.hwnd, button_id)
        self.wait_box_gone(box)

    def wait_box_gone(self, box, timeout=DEFAULT_TIMEOUT):
        def gone():
            return not self.running() or all(b.hwnd != box.hwnd for b in self.boxes())
        wait_until(gone, timeout, "%r to close" % box)

    def expect_no_box(self, seconds=1.0):
        """Fails if a message box of the program appears within `seconds`."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            boxes = self.boxes()
            if boxes:
                raise DriverError("unexpected message box: %r" % boxes[0])
            time.sleep(POLL_SECONDS)

    # -- input through the X server ----------------------------------------

    @staticmethod
    def mouse_move(x, y):
        xdotool("mousemove", "--sync", x, y)

    @staticmethod
    def mouse_down(button=1):
        xdotool("mousedown", button)

    @staticmethod
    def mouse_up(button=1):
        xdotool("mouseup", button)

    def click(self, x, y, button=1):
        """Moves to (x, y) on the screen and clicks."""
        self.mouse_move(x, y)
        time.sleep(0.1)
        self.mouse_down(button)
        time.sleep(0.1)
        self.mouse_up(button)
        time.sleep(0.1)

    def drag(self, start, end, steps=10):
        """Presses at `start`, moves to `end` in `steps` steps, releases."""
        self.mouse_move(*start)
        time.sleep(0.1)
        self.mouse_down()
        time.sleep(0.2)
        for step in range(1, steps + 1):
            self.mouse_move(start[0] + (end[0] - start[0]) * step // steps,
                            start[1] + (end[1] - start[1]) * step // steps)
            time.sleep(0.05)
        time.sleep(0.2)
        self.mouse_up()
        time.sleep(0.2)

    @staticmethod
    def key(*keys):
        """Key strokes in xdotool's names: "Escape", "alt+F4", "Return"."""
        xdotool("key", "--delay", 50, *keys)

    @staticmethod
    def type_text(text):
        xdotool("type", "--delay", 50, "--", text)  # "--": a text may begin with "-"

    # -- screenshots -------------------------------------------------------

    def screenshot(self, name):
        """Saves the whole screen as <artifacts>/<name>.png and returns it as an Image
        (screen coordinates)."""
        path = os.path.join(self.artifacts_dir, name + ".png")
        run_command([IMPORT, "-window", "root", path], timeout=60)
        return Image.load(path)
