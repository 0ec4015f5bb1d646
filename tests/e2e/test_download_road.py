"""The whole road of one download, driven as a person drives it: the mouse on the
picture buttons, the answers to the message boxes, the keyboard in the folder
dialog. What the program shows is read from screenshots at the places the built-in
UI description gives its controls (button pictures, the bar's fill, the panel's
values); what it does is read from the files it writes and from its exit code.

The content is a small generated client (about 200 files in nested folders, one of
them empty, the demo client as its executable) published with the project's
publisher and served at the program's built-in base URL, by the project's test
content server and by nginx. The engine starts one file every 33 ms, so a run lasts
some seconds with either server, long enough to watch it and to pause it half-way.
"""

import filecmp
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402
from driver import DriverError, Image, Session  # noqa: E402

sys.path.insert(0, os.path.join(driver.SOURCE_DIR, "scripts"))
sys.path.insert(0, os.path.join(driver.SOURCE_DIR, "tests", "server"))
from nginx_server import NginxServer  # noqa: E402
from server_fixture import SERVER_SCRIPT, ContentServer  # noqa: E402

TITLE = "ZENTAV full-client downloader..."
CAPTION = "zentav-downloader..."
QUESTION = "Are you really going to quit?"
NO_SPACE_CAPTION = "Downloader - ZENTAV ..."
NO_SPACE_TEXT = ("This disk drive(%s) does not have enough capacity.\n"
                 "Please change the download folder or free up capacity.   ")
VERSION = "201904221642"  # the built-in UI description's version stamp
WORK_FOLDER = ("PluvoLauncher_Live", "VM_cn_cbt")  # under the program's temporary folder
RESOURCES = os.path.join(driver.SOURCE_DIR, "app", "resources")

# Places in the main window's client area, from the built-in UI description.
BUTTON_SIZE = (70, 30)
BUTTONS = {"folder": (29, 335), "launch": (312, 335), "start": (390, 335), "pause": (468, 335),
           "cancel": (546, 335)}
STATES = ("normal", "over", "down", "disable")
BAR = (30, 306, 586, 18)  # left, top, width, height
BAR_FILL = (0x33, 0xDD, 0xFF)
BAR_BACKGROUND = (0x33, 0x33, 0x33)
FULL_FILL = BAR[2] - 2  # a frame of one pixel stays at 100 %
BAR_RATE_TEXT = (262, 2, 330, 16)  # in the bar
BAR_SPEED_TEXT = (470, 2, 585, 16)
PANEL = (32, 287)
PANEL_SLICE = (29, 284)  # the panel shows the background picture from here
VALUES = {"remaining": (64, 2, 120, 18), "elapsed": (174, 2, 240, 18), "received": (357, 2, 445, 18),
          "total": (508, 2, 590, 18)}  # in the panel
FOLDER_TEXT = (128, 343, 301, 362)
AWAY = (2, 2)  # a place on the screen outside the window, where the pointer rests

READY = {"folder": "normal", "launch": "disable", "start": "normal", "pause": "disable", "cancel": "normal"}
RUNNING = {"folder": "disable", "launch": "disable", "start": "disable", "pause": "normal", "cancel": "normal"}
PAUSED = READY
ENDED = {"folder": "disable", "launch": "normal", "start": "disable", "pause": "disable", "cancel": "normal"}

RUN_TIMEOUT = 90.0


# ---------------------------------------------------------------------------
# The client that is served

def client_plan():
    """(name, size) of the client's files besides its executable, the same on
    every machine."""
    rng = random.Random(20190422)
    folders = ["data", "data/maps", "data/maps/region1", "data/maps/region2", "sound", "sound/voice",
               "textures/ui"]
    files = [("config/empty.cfg", 0), ("textures/ui/atlas.pak", 1 << 20)]
    for index in range(200):
        files.append(("%s/piece%03d.dat" % (folders[index % len(folders)], index), rng.randint(16 << 10, 32 << 10)))
    return files


def publisher():
    """The publisher, built natively from the current sources (it is a tool for the
    machine that prepares the server, so the cross build has no runnable one)."""
    build = os.path.join(driver.build_dir(), "native-publisher")
    log = os.path.join(driver.build_dir(), "e2e-artifacts", "native-publisher.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    with open(log, "wb") as output:
        for command in (["cmake", "-S", os.path.join(driver.SOURCE_DIR, "tools", "publisher"), "-B", build,
                         "-DCMAKE_BUILD_TYPE=Release"],
                        ["cmake", "--build", build, "-j2"]):
            if subprocess.run(command, stdout=output, stderr=subprocess.STDOUT, timeout=600).returncode != 0:
                raise DriverError("building the publisher failed; see %s" % log)
    return os.path.join(build, "zentav-publish")


class Content:
    """A generated client under <root>/client/, published for the built-in base URL."""

    def __init__(self):
        self.base_url = driver.server_base_url()
        address = urllib.parse.urlsplit(self.base_url)
        self.port = address.port
        self.location = address.path
        self.root = tempfile.mkdtemp(prefix="zentav-e2e-content-")
        self.client = os.path.join(self.root, *[p for p in self.location.split("/") if p])
        client_exe = os.path.join(driver.build_dir(), "tools", "demo-client", "zentav-demo-client.exe")
        self.files = [("bin/zentav.exe", os.path.getsize(client_exe))] + client_plan()
        for index, (name, size) in enumerate(client_plan()):
            path = os.path.join(self.client, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as file:
                file.write(random.Random(index).randbytes(size))
        os.makedirs(os.path.join(self.client, "bin"))
        shutil.copyfile(client_exe, os.path.join(self.client, "bin", "zentav.exe"))
        subprocess.run([publisher(), "--version", "1", self.client, self.base_url], check=True,
                       stdout=subprocess.DEVNULL, timeout=60)
        self.manifest = os.path.join(self.client, "file.json")
        with open(self.manifest, "rb") as file:
            self.manifest_bytes = file.read()
        self.total = sum(size for _, size in self.files)
        # nginx's workers run as another user: everything must be readable by all.
        for folder, _, names in os.walk(self.root):
            os.chmod(folder, 0o755)
            for name in names:
                os.chmod(os.path.join(folder, name), 0o644)

    def serve_manifest(self, text):
        """Serves `text` as file.json until restore_manifest()."""
        with open(self.manifest + ".tmp", "wb") as file:
            file.write(text)
        os.chmod(self.manifest + ".tmp", 0o644)
        os.replace(self.manifest + ".tmp", self.manifest)

    def restore_manifest(self):
        self.serve_manifest(self.manifest_bytes)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


_CONTENT = None


def content():
    global _CONTENT
    if _CONTENT is None:
        _CONTENT = Content()
    return _CONTENT


# ---------------------------------------------------------------------------
# The two servers, at the built-in address

class NginxAtBase:
    name = "nginx"

    def __init__(self, served):
        self.server = NginxServer(served.client, port=served.port, location=served.location)

    def start(self):
        self.server.start()

    def stop(self):
        self.server.stop()

    def stall_next_requests(self, count, seconds):
        return False  # nginx serves as it is configured


class ContentServerAtBase:
    """tests/server/content_server.py at the built-in port (its fixture picks a free
    port); the fixture's control requests are used as they are."""
    name = "content-server"

    def __init__(self, served):
        self.served = served
        self.process = None
        self.control = ContentServer()
        self.control.port = served.port

    def start(self):
        self.work = tempfile.mkdtemp(prefix="zentav-e2e-server-")
        port_file = os.path.join(self.work, "port")
        self.output = open(os.path.join(self.work, "output.txt"), "w+")
        self.process = subprocess.Popen(
            [sys.executable, SERVER_SCRIPT, "--root", self.served.root, "--port", str(self.served.port),
             "--port-file", port_file, "--log", os.path.join(self.work, "requests.log")],
            stdout=self.output, stderr=subprocess.STDOUT)
        try:
            driver.wait_until(lambda: os.path.exists(port_file) or self.process.poll() is not None, 10,
                              "the content server")
        except DriverError:
            pass
        if not os.path.exists(port_file):
            self.output.seek(0)
            output = self.output.read()
            self.stop()
            raise DriverError("the content server did not start on port %d: %s" % (self.served.port, output))

    def stop(self):
        if self.process is not None:
            if self.process.poll() is None:
                self.process.send_signal(signal.SIGTERM)
                try:
                    self.process.wait(10)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()
            self.process = None
            self.output.close()
            shutil.rmtree(self.work, ignore_errors=True)

    def stall_next_requests(self, count, seconds):
        """The next `count` requests wait `seconds` before their reply begins."""
        self.control.set_faults([{"path": "*", "fault": "stall", "seconds": seconds, "before_headers": True,
                                  "then": "continue", "times": count}])
        return True

    def pace(self, bytes_per_second):
        """Every reply's body from now on goes out at this rate."""
        self.control.set_faults([{"path": "*", "fault": "slow", "bytes_per_sec": bytes_per_second}])

    def serve_normally(self):
        self.control.reset()


# ---------------------------------------------------------------------------
# Reading the main window from a screenshot

_PICTURES = {}


def picture(name):
    if name not in _PICTURES:
        _PICTURES[name] = Image.load(os.path.join(RESOURCES, name))
    return _PICTURES[name]


def mean_difference(a, b):
    return sum(abs(x - y) for x, y in zip(a.data, b.data)) / len(a.data)


class Screen:
    """One screenshot, read at the main window's places (window coordinates)."""

    def __init__(self, image, window):
        self.image = image
        self.x = window.x
        self.y = window.y

    def crop(self, left, top, right, bottom):
        return self.image.crop(self.x + left, self.y + top, self.x + right, self.y + bottom)

    def button(self, name):
        """The state whose picture the button shows: the closest of its four."""
        left, top = BUTTONS[name]
        shown = self.crop(left, top, left + BUTTON_SIZE[0], top + BUTTON_SIZE[1])
        distances = {state: mean_difference(shown, picture("%s_%s.jpg" % (name, state))) for state in STATES}
        state = min(distances, key=distances.get)
        # JPEG decoders differ by a few levels; another picture or none differs by far more.
        return state if distances[state] < 6 else "unknown (%s)" % distances

    def buttons(self):
        return {name: self.button(name) for name in BUTTONS}

    def fill_width(self):
        """Width of the bar's fill, read on the fill's top row."""
        left, top, width, _ = BAR
        count = 0
        while count < width - 1 and driver.colour_distance(
                self.image.pixel(self.x + left + 1 + count, self.y + top + 1), BAR_FILL) < 40:
            count += 1
        return count

    def bar_frame_kept(self):
        left, top, width, height = BAR
        corners = [(0, 0), (width - 1, 1), (width - 1, height // 2), (1, height - 1)]
        return all(driver.colour_distance(self.image.pixel(self.x + left + x, self.y + top + y), BAR_BACKGROUND) < 8
                   for x, y in corners)

    def bar_text(self, region):
        left, top, right, bottom = region
        return self.crop(BAR[0] + left, BAR[1] + top, BAR[0] + right, BAR[1] + bottom).data

    def bar_ink(self, region, plain):
        """Where the bar's text differs from the plain colour under it (the fill or
        the bar's own), relative to the region: the same text gives the same ink
        over either colour."""
        left, top, right, bottom = region
        return frozenset((x - left, y - top) for y in range(top, bottom) for x in range(left, right)
                         if driver.colour_distance(self.image.pixel(self.x + BAR[0] + x, self.y + BAR[1] + y),
                                                   plain) > 80)

    def value(self, item):
        """The pixels of one of the panel's four values."""
        left, top, right, bottom = VALUES[item]
        return self.crop(PANEL[0] + left, PANEL[1] + top, PANEL[0] + right, PANEL[1] + bottom).data

    def ink(self, item):
        """Where one of the panel's values differs from the background picture under
        it, relative to the value's place: the same text gives the same ink wherever
        it stands."""
        background = picture("bg.jpg")
        left, top, right, bottom = VALUES[item]
        return frozenset(
            (x - left, y - top) for y in range(top, bottom) for x in range(left, right)
            if driver.colour_distance(self.image.pixel(self.x + PANEL[0] + x, self.y + PANEL[1] + y),
                                      background.pixel(PANEL_SLICE[0] + x, PANEL_SLICE[1] + y)) > 80)

    def same_text(self, item, other):
        a, b = self.ink(item), self.ink(other)
        return len(a ^ b) <= max(3, len(a | b) // 30)

    def total_shown(self):
        """The panel shows a total size that is not the received size's 000.0 MBytes."""
        return bool(self.ink("received")) and bool(self.ink("total")) and not self.same_text("received", "total")

    def folder_text(self):
        return self.crop(*FOLDER_TEXT).data


# ---------------------------------------------------------------------------
# The files

def sizes_on_disk(folder, files):
    return {name: os.path.getsize(os.path.join(folder, name)) for name, _ in files
            if os.path.isfile(os.path.join(folder, name))}


def bytes_on_disk(folder, files):
    return sum(min(size, dict(files)[name]) for name, size in sizes_on_disk(folder, files).items())


def write_version_file(work_dir, download_folder):
    folder = os.path.join(work_dir, "temp", *WORK_FOLDER)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "version.txt"), "wb") as file:
        file.write((VERSION + "\n" + driver.to_windows_path(download_folder) + "\\").encode())


def read_version_file(session):
    with open(session.temp_path(*WORK_FOLDER, "version.txt"), "rb") as file:
        return file.read().decode()


class RoadTestCase(unittest.TestCase):
    """What every test here needs: the program opened and read, its buttons pressed."""

    def open_program(self, session):
        """Starts the program and waits until it shows the manifest's total size
        (its first fetch is over); returns the window and that screen."""
        session.start()
        window = session.wait_window(TITLE, timeout=60)
        session.mouse_move(*AWAY)
        ready = self.wait_screen(session, window, Screen.total_shown, "the manifest's total size in the panel",
                                 "ready")
        return window, ready

    @staticmethod
    def screen(session, window, name):
        return Screen(session.screenshot(name), window)

    def wait_screen(self, session, window, condition, what, name, timeout=30.0):
        """Takes screenshots until condition(screen) holds; the last one is saved
        as <name>.png."""
        seen = []

        def check():
            if not session.running():
                raise DriverError("the program ended (exit code %d) while waiting for %s" % (
                    session.wait_exit(), what))
            screen = self.screen(session, window, name)
            seen[:] = [screen]
            return screen if condition(screen) else None
        return driver.wait_until(check, timeout, what,
                                 lambda: "buttons %r, fill %d" % (seen[0].buttons(), seen[0].fill_width())
                                 if seen else "nothing")

    @staticmethod
    def press(session, window, button):
        """Clicks a picture button and takes the pointer off the window again."""
        left, top = BUTTONS[button]
        session.click(window.x + left + BUTTON_SIZE[0] // 2, window.y + top + BUTTON_SIZE[1] // 2)
        session.mouse_move(*AWAY)

    def quit_with_confirmation(self, session, window, answers=("Cancel", "OK")):
        """The quit button asks first: Cancel keeps the program, OK ends it with 1."""
        for answer in answers:
            self.press(session, window, "cancel")
            box = session.wait_box(CAPTION)
            self.assertEqual((box.text, box.owner, set(box.buttons)), (QUESTION, window.hwnd, {1, 2}))
            session.answer(box, answer)
            if answer == "Cancel":
                session.expect_running(1.0)
        self.assertEqual(session.wait_exit(), 1)

    def assert_files_identical(self, served, folder):
        different = [name for name, _ in served.files
                     if not os.path.isfile(os.path.join(folder, name))
                     or not filecmp.cmp(os.path.join(served.client, name), os.path.join(folder, name), shallow=False)]
        self.assertEqual(different, [], "files missing or different in %s" % folder)


# ---------------------------------------------------------------------------
# The road, with each server

class DownloadRoad:
    """Start, progress, pause, start again, completion and launch in a first run;
    a second run that finds every file complete and a quit with confirmation.
    Mixed into a TestCase with `server_class`."""

    server_class = None

    @classmethod
    def setUpClass(cls):
        cls.served = content()
        cls.server = cls.server_class(cls.served)
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_download_road(self):
        served = self.served
        work = tempfile.mkdtemp(prefix="zentav-e2e-road-")
        self.addCleanup(shutil.rmtree, work, ignore_errors=True)
        download = os.path.join(work, "download")
        write_version_file(work, download)
        name = "road-" + self.server.name

        with Session(name + "-first", work_dir=work) as session:
            window, ready = self.open_program(session)
            self.assertEqual(ready.buttons(), READY)
            self.assertEqual(ready.fill_width(), 0)
            with open(session.temp_path(*WORK_FOLDER, "file.json"), "rb") as file:
                self.assertEqual(file.read(), served.manifest_bytes)

            # Start: the buttons change, the bar and the panel follow the run.
            self.press(session, window, "start")
            samples = [self.wait_screen(session, window, lambda s: s.buttons() == RUNNING, "the running buttons",
                                        "running")]
            while bytes_on_disk(download, served.files) < served.total * 0.5:
                self.assertLess(len(samples), RUN_TIMEOUT * 2, "the run hardly advances")
                samples.append(self.screen(session, window, "running"))  # about two a second
            self.assertGreaterEqual(len(samples), 3, "the run went too fast to be watched")
            fills = [s.fill_width() for s in samples]
            self.assertEqual(fills, sorted(fills), "the bar went back during the run")
            self.assertGreater(fills[-1], fills[0])
            for item in ("received", "elapsed"):
                self.assertGreater(len({s.value(item) for s in samples}), 1, "the %s value never changed" % item)
            # running.png: the window during the run, kept among the artifacts.

            # Pause: the run stops, the panel and the bar keep what they showed.
            self.press(session, window, "pause")
            paused = self.wait_screen(session, window, lambda s: s.buttons() == PAUSED, "the paused buttons",
                                      "paused")
            on_disk = sizes_on_disk(download, served.files)
            time.sleep(1.5)
            later = self.screen(session, window, "paused-later")
            self.assertEqual(sizes_on_disk(download, served.files), on_disk, "files grew after pause")
            for item in VALUES:
                self.assertEqual(later.value(item), paused.value(item), "the %s value changed after pause" % item)
            for region in (BAR_RATE_TEXT, BAR_SPEED_TEXT):
                self.assertEqual(later.bar_text(region), paused.bar_text(region))
            paused_fill = paused.fill_width()
            self.assertEqual(later.fill_width(), paused_fill)
            self.assertGreater(paused_fill, 0)
            self.assertLess(paused_fill, FULL_FILL)
            for item in ("received", "elapsed"):
                self.assertNotEqual(paused.value(item), ready.value(item))

            # Start again: the bar drops to 0.00 % and climbs back as the files on
            # disk are counted. The content server holds the first replies back, so
            # that the empty bar can be seen for certain.
            stalled = self.server.stall_next_requests(4, 3)
            self.press(session, window, "start")
            restarted = self.wait_screen(session, window, lambda s: s.buttons() == RUNNING, "the running buttons",
                                         "restarted")
            if stalled:
                self.assertEqual(restarted.fill_width(), 0)
                self.assertEqual(restarted.bar_text(BAR_RATE_TEXT), ready.bar_text(BAR_RATE_TEXT), "not 0.00%")
            else:
                self.assertLess(restarted.fill_width(), paused_fill)
            climb = []

            def ended(screen):
                climb.append(screen.fill_width())
                return screen.buttons() == ENDED
            self.wait_screen(session, window, ended, "the end of the run", "ending", timeout=RUN_TIMEOUT)
            climb.insert(0, restarted.fill_width())
            self.assertEqual(climb, sorted(climb), "the bar went back while it climbed")
            self.assertTrue(any(0 < fill < FULL_FILL for fill in climb), "no climb seen: %r" % climb)

            # Completion: pause disabled, launch enabled, the bar full in its frame,
            # the received size equal to the total size.
            complete = self.wait_screen(
                session, window,
                lambda s: s.fill_width() == FULL_FILL and s.same_text("received", "total"),
                "the last figures of the run", "complete")
            self.assertEqual(complete.buttons(), ENDED)
            self.assertTrue(complete.bar_frame_kept())
            self.assert_files_identical(served, download)
            written = {name: os.stat(os.path.join(download, name)).st_mtime_ns for name, _ in served.files}

            # Launch: the client's executable starts in the download folder and the
            # downloader ends with exit code 1.
            self.press(session, window, "launch")
            self.assertEqual(session.wait_exit(), 1)
            started = os.path.join(download, "client-started.txt")
            driver.wait_until(lambda: os.path.exists(started), 30, "the client to record its start")

        with Session(name + "-second", work_dir=work) as session:
            window, ready = self.open_program(session)
            self.assertEqual(ready.buttons(), READY)
            self.assertEqual(ready.fill_width(), 0)

            # Every file is complete: the run counts them and transfers nothing.
            self.press(session, window, "start")
            complete = self.wait_screen(
                session, window,
                lambda s: s.buttons() == ENDED and s.fill_width() == FULL_FILL and s.same_text("received", "total"),
                "the end of the second run", "complete", timeout=RUN_TIMEOUT)
            # The speed reads 0.000 MiB/Sec as before the start, now over the full bar.
            self.assertEqual(complete.bar_ink(BAR_SPEED_TEXT, BAR_FILL), ready.bar_ink(BAR_SPEED_TEXT, BAR_BACKGROUND))
            rewritten = [name for name, _ in served.files
                         if os.stat(os.path.join(download, name)).st_mtime_ns != written[name]]
            self.assertEqual(rewritten, [], "files were written again")
            self.assert_files_identical(served, download)
            self.quit_with_confirmation(session, window)


class DownloadRoadWithContentServer(DownloadRoad, RoadTestCase):
    server_class = ContentServerAtBase


class DownloadRoadWithNginx(DownloadRoad, RoadTestCase):
    server_class = NginxAtBase


# ---------------------------------------------------------------------------
# The download folder and the free-space rule

FREE_SPACE_LINE = re.compile(r"^At least (\d+\.\d{3})GB is required\.\nYour free space : (\d+\.\d{3})GB$")


class FolderAndSpaceTest(RoadTestCase):
    @classmethod
    def setUpClass(cls):
        cls.served = content()
        cls.server = ContentServerAtBase(cls.served)
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def open_folder_dialog(self, session, window):
        """Presses the folder button; returns the browse dialog (a Window), its OK
        button and the text of its title line."""
        self.press(session, window, "folder")
        box = session.wait_box()
        dialog = session.wait_window(box.caption)
        children = session.children(dialog)
        ok = next(c for c in children if c.id == 1)
        line = driver.wait_until(
            lambda: next((c.text for c in session.children(dialog) if c.text.startswith("At least ")), None),
            10, "the dialog's space line", lambda: session.children(dialog))
        return dialog, ok, line

    def choose(self, session, dialog, linux_path):
        """Walks the dialog's folder tree to the folder as a person does with the
        keyboard: from the drive, type each name to select it, Right to open it."""
        session.activate(dialog)
        for index, name in enumerate(p for p in linux_path.split("/") if p):
            if index:
                # Open the selected folder and go to its first child; the tree is
                # busy for a moment while it reads the folder.
                session.key("KP_Add", "Right")
                time.sleep(1.0)
            session.type_text(name)  # the tree selects the item that begins so
            time.sleep(1.0)  # a pause ends the search

    def test_folder_choice_persists_across_runs(self):
        served = self.served
        # Short names that differ early: the window shows the path's beginning
        # when it is longer than its place.
        work, first, chosen = (tempfile.mkdtemp(prefix="zr-%s-" % name) for name in ("run", "first", "chosen"))
        for folder in (work, first, chosen):
            self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        write_version_file(work, first)

        with Session("road-folder-choice", work_dir=work) as session:
            window, ready = self.open_program(session)
            dialog, ok, line = self.open_folder_dialog(session, window)
            required, _ = FREE_SPACE_LINE.match(line).groups()
            self.assertEqual(required, "%.3f" % (served.total / 2.0 ** 30))
            self.choose(session, dialog, chosen)
            ok = next(c for c in session.children(dialog) if c.id == 1)
            self.assertTrue(ok.enabled, "OK is disabled for %s" % chosen)
            left, top, right, bottom = ok.rect
            session.click((left + right) // 2, (top + bottom) // 2)
            session.mouse_move(*AWAY)
            # The dialog is hidden at once; Wine then takes two seconds to let it go
            # before the program goes on and records the choice.
            expected = VERSION + "\n" + driver.to_windows_path(chosen)
            driver.wait_until(lambda: read_version_file(session) == expected, 10, "version.txt to name the choice",
                              lambda: read_version_file(session))
            after = self.wait_screen(session, window, lambda s: s.folder_text() != ready.folder_text(),
                                     "the new folder's path", "chosen")
            self.quit_with_confirmation(session, window)

        with Session("road-folder-second-run", work_dir=work) as session:
            window, ready = self.open_program(session)
            self.assertEqual(ready.folder_text(), after.folder_text(), "the second run shows another folder")
            # A run of some ten seconds, so that the quit finds it under way.
            self.server.pace(64 << 10)
            self.addCleanup(self.server.serve_normally)
            self.press(session, window, "start")
            driver.wait_until(lambda: len(sizes_on_disk(chosen, served.files)) >= 10, RUN_TIMEOUT,
                              "files in the chosen folder")
            self.assertEqual(os.listdir(first), [], "files went to the former folder")

            # Quit in the middle of the run: the run ends with the program.
            self.quit_with_confirmation(session, window, answers=("OK",))
            on_disk = sizes_on_disk(chosen, served.files)
            self.assertLess(len(on_disk), len(served.files), "the run was over before the quit")
            time.sleep(1.0)
            self.assertEqual(sizes_on_disk(chosen, served.files), on_disk, "files grew after the program ended")
            whole = [name for name, size in served.files if on_disk.get(name) == size]
            self.assertGreaterEqual(len(whole), 10)
            for name in whole:
                self.assertTrue(filecmp.cmp(os.path.join(served.client, name), os.path.join(chosen, name),
                                            shallow=False), name)

    def test_start_refused_without_enough_space(self):
        served = self.served
        # No drive here has 4 EiB free: a manifest that asks for that much is refused
        # by the start button and by the folder dialog.
        enormous = 1 << 62
        text = re.sub(rb'"TotalSize": \d+', b'"TotalSize": %d' % enormous, served.manifest_bytes)
        served.serve_manifest(text)
        self.addCleanup(served.restore_manifest)
        work = tempfile.mkdtemp(prefix="zentav-e2e-space-")
        self.addCleanup(shutil.rmtree, work, ignore_errors=True)
        download = os.path.join(work, "download")
        write_version_file(work, download)

        with Session("road-no-space", work_dir=work) as session:
            window, ready = self.open_program(session)
            version_file = read_version_file(session)
            self.press(session, window, "start")
            box = session.wait_box(NO_SPACE_CAPTION)
            self.assertEqual((box.text, box.owner, set(box.buttons)), (NO_SPACE_TEXT % "Z:", window.hwnd, {1}))
            session.answer(box, "OK")
            refused = self.wait_screen(session, window, lambda s: s.buttons() == READY, "the buttons as before",
                                       "refused")
            self.assertEqual(refused.fill_width(), 0)
            self.assertEqual(refused.value("received"), ready.value("received"))
            self.assertEqual(os.listdir(download), [], "a refused start wrote files")

            dialog, ok, line = self.open_folder_dialog(session, window)
            required, _ = FREE_SPACE_LINE.match(line).groups()
            self.assertEqual(required, "%.3f" % (enormous / 2.0 ** 30))
            self.choose(session, dialog, work)
            ok = next(c for c in session.children(dialog) if c.id == 1)
            with self.subTest("OK disabled for a folder without enough space"):
                self.assertFalse(ok.enabled, "OK is enabled for %s" % work)
            cancel = next(c for c in session.children(dialog) if c.id == 2)
            left, top, right, bottom = cancel.rect
            session.click((left + right) // 2, (top + bottom) // 2)
            session.mouse_move(*AWAY)
            session.wait_window_gone(dialog)
            session.expect_no_box(3.0)  # the dialog's end takes two seconds under Wine
            self.assertEqual(read_version_file(session), version_file)
            self.quit_with_confirmation(session, window)


class PanelAndBarUnderThePointerTest(RoadTestCase):
    """A person watching the run moves the pointer over the bar and the panel:
    the window stays where it is, and only a press there drags it."""

    @classmethod
    def setUpClass(cls):
        cls.served = content()
        cls.server = NginxAtBase(cls.served)
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_pointer_moves_nothing_and_a_press_drags(self):
        places = {"panel": (PANEL[0] + 250, PANEL[1] + 10), "bar": (BAR[0] + 150, BAR[1] + BAR[3] // 2)}
        with Session("road-pointer") as session:
            window, _ = self.open_program(session)
            # A press on the panel drags the window, as one on its background does.
            session.activate(window)
            x, y = places["panel"]
            start = (window.x + x, window.y + y)
            session.drag(start, (start[0] + 60, start[1] + 40))
            session.mouse_move(*AWAY)
            time.sleep(0.5)
            moved = session.refresh(window)
            self.assertEqual(moved.rect, (window.x + 60, window.y + 40, window.rect[2] + 60, window.rect[3] + 40))

            # The pointer passing over them without a press leaves the window alone.
            for name, (x, y) in places.items():
                session.mouse_move(moved.x + x, moved.y + y)
                time.sleep(0.5)
                session.mouse_move(moved.x + x + 40, moved.y + y)
                time.sleep(0.5)
                session.mouse_move(*AWAY)
                time.sleep(0.5)
                self.assertEqual(session.refresh(window).rect, moved.rect,
                                 "the window followed the pointer that passed over the " + name)


def tearDownModule():
    if _CONTENT is not None:
        _CONTENT.remove()


if __name__ == "__main__":
    unittest.main()
