"""The downloader under Wine, driven as a person would, for scripts/demo.py and
bench/run: its working folder with a version.txt that names the download folder,
its window, the manifest it fetches at start-up and its buttons.

    with driver.Session("demo") as session:
        downloader = Downloader(session, "C:\\Games\\ZENTAV\\")
        window = downloader.start()
        downloader.wait_manifest()
        downloader.press(START_BUTTON)

Processes, screenshots and clean-up are the session's (tests/e2e/driver.py).
"""
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import driver  # noqa: E402

TITLE = "ZENTAV full-client downloader..."
VERSION = "201904221642"
# Button centres in the main window's client area (the built-in UI description).
START_BUTTON = (390 + 35, 335 + 15)
LAUNCH_BUTTON = (312 + 35, 335 + 15)


def manifest_files(manifest_path):
    """(name, size) of every entry, read from the publisher's plain layout."""
    files = []
    with open(manifest_path) as f:
        for line in f:
            line = line.strip()
            if line.startswith('{ "Name"'):
                name = line.split('"Name": "', 1)[1].split('"', 1)[0]
                size = int(line.split('"Size": ', 1)[1].split(" ", 1)[0])
                files.append((name, size))
    return files


def present_bytes(download, files):
    """Bytes of `files` ((name, size) pairs) on disk under the folder `download`."""
    total = 0
    for name, size in files:
        path = os.path.join(download, name)
        if os.path.exists(path):
            total += min(os.path.getsize(path), size)
    return total


class Downloader:
    """The downloader of a driver.Session (not owned), set up to download into
    `download_folder` (a Windows path ending with a backslash)."""

    def __init__(self, session, download_folder):
        self.session = session
        self.download_folder = download_folder
        # The working folder the program expects under its temporary folder.
        self.work_folder = os.path.join(session.temp_dir, "PluvoLauncher_Live", "VM_cn_cbt")
        self.window = None

    def start(self, timeout=60):
        """Writes version.txt, starts the program and waits for its window; returns it."""
        os.makedirs(self.work_folder, exist_ok=True)
        with open(os.path.join(self.work_folder, "version.txt"), "wb") as f:
            f.write((VERSION + "\n" + self.download_folder).encode())
        self.session.start()
        self.window = self.session.wait_window(TITLE, timeout=timeout)
        return self.window

    def wait_manifest(self, timeout=30):
        """Waits until the manifest fetched at start-up is in place as file.json."""
        # The panel fetches it about 333 ms after the window appears, first as fileT.json
        # when a local copy exists.
        driver.wait_until(lambda: os.path.exists(os.path.join(self.work_folder, "file.json"))
                          and not os.path.exists(os.path.join(self.work_folder, "fileT.json")),
                          timeout, "the manifest")

    def press(self, button):
        """Clicks a button given by its centre in the window's client area, as
        Session.click does; returns the time.monotonic() of the release, when the
        button acts."""
        x, y, _, _ = self.session.geometry(self.window)
        self.session.mouse_move(x + button[0], y + button[1])
        time.sleep(0.1)
        self.session.mouse_down()
        time.sleep(0.1)
        self.session.mouse_up()
        released = time.monotonic()
        time.sleep(0.1)
        return released

    def linux_pid(self):
        """The Linux process that runs the program: Wine names it by the program's
        Windows path, in the session's prefix. None if it is not (or no longer) there."""
        name = driver.to_windows_path(driver.program_path()).lower().encode()
        prefix = ("WINEPREFIX=" + self.session.env["WINEPREFIX"]).encode()
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    if f.read().split(b"\0", 1)[0].lower() != name:
                        continue
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if prefix not in f.read().split(b"\0"):
                        continue
            except OSError:  # ended meanwhile, or not ours to read
                continue
            found.append(int(entry))
        if len(found) > 1:
            raise driver.DriverError("more than one Linux process runs %s: %s" % (name.decode(), found))
        return found[0] if found else None


def process_usage(pid):
    """(CPU seconds, peak resident MiB) of a Linux process so far, or None once it
    has ended: utime + stime of /proc/<pid>/stat (every thread, ended ones too) and
    VmHWM of /proc/<pid>/status."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            # The fields after the command name, which is in parentheses and may hold spaces.
            fields = f.read().rsplit(")", 1)[1].split()
        with open("/proc/%d/status" % pid) as f:
            peak_kib = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
    except (OSError, StopIteration):
        return None
    ticks = int(fields[11]) + int(fields[12])  # utime and stime: fields 14 and 15 of the line
    return ticks / os.sysconf("SC_CLK_TCK"), peak_kib / 1024.0


def wait_present(download, files, timeout, running, poll=0.05):
    """Waits until every one of `files` has its full size under `download`; fails
    when `running()` turns false first or after `timeout` seconds."""
    left = list(files)
    deadline = time.monotonic() + timeout
    while True:
        left = [(name, size) for name, size in left
                if not os.path.exists(os.path.join(download, name)) or os.path.getsize(os.path.join(download, name)) < size]
        if not left:
            return
        if not running():
            raise driver.DriverError("the downloader ended with %d files incomplete" % len(left))
        if time.monotonic() > deadline:
            raise driver.DriverError("%d files incomplete after %.0f s, e.g. %s" % (len(left), timeout, left[0][0]))
        time.sleep(poll)
