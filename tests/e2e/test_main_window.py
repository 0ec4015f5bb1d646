"""The downloader's main window as a person meets it: where it opens, what it shows,
that it can be dragged, and the question before quitting."""

import json
import os
import sys
import tempfile
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402
from driver import Image, Session  # noqa: E402

sys.path.insert(0, os.path.join(driver.SOURCE_DIR, "scripts"))
from nginx_server import NginxServer  # noqa: E402

# What the built-in UI description and artwork give the window.
TITLE = "ZENTAV full-client downloader..."
CAPTION = "zentav-downloader..."
QUESTION = "Are you really going to quit?"
WIDTH, HEIGHT = 640, 380
FOLDER_TEXT = (128, 343, 301, 362)  # left, top, right, bottom in the window
BACKGROUND = os.path.join(driver.SOURCE_DIR, "app", "resources", "bg.jpg")
# The program keeps its files here, under its temporary folder.
WORK_FOLDER = ("PluvoLauncher_Live", "VM_cn_cbt")

MANIFEST = {"Version": 1, "TotalCount": 1, "TotalSize": 5, "URL": "", "FileList": [{"Name": "a.txt", "Size": 5}]}
CELL = 32  # side of the squares in which the background is compared


def intersects(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


class MainWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # The program fetches its manifest right after it has shown the window and
        # ends when nothing answers: serve one at the built-in address.
        base = urllib.parse.urlsplit(driver.server_base_url())
        cls.content = tempfile.TemporaryDirectory(prefix="zentav-e2e-content-")
        os.chmod(cls.content.name, 0o755)  # nginx's workers run as another user
        manifest = dict(MANIFEST, URL=driver.server_base_url())
        cls.manifest_bytes = json.dumps(manifest).encode()
        with open(os.path.join(cls.content.name, "file.json"), "wb") as file:
            file.write(cls.manifest_bytes)
        with open(os.path.join(cls.content.name, "a.txt"), "wb") as file:
            file.write(b"hello")
        cls.server = NginxServer(cls.content.name, port=base.port, location=base.path).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.content.cleanup()

    def start(self, session):
        """Starts the program, waits until it shows its window and its first fetch
        of the manifest is over (the window is busy meanwhile), and focuses the
        window, as a window manager would."""
        session.start()
        window = session.wait_window(TITLE)
        # The information panel asks for the manifest on its first tick, a third of
        # a second after the window shows. Without the panel nothing is fetched.
        manifest = session.temp_path(*WORK_FOLDER, "file.json")
        try:
            driver.wait_until(lambda: os.path.isfile(manifest) and os.path.getsize(manifest) == len(self.manifest_bytes),
                              3, "the manifest")
        except driver.DriverError:
            pass
        session.activate(window)
        return window

    def free_cells(self, session, window):
        """Squares of the window (window coordinates) that no child window and no
        folder text covers: there only the background picture shows."""
        covered = [FOLDER_TEXT]
        for child in session.children(window):
            if child.visible:
                left, top, right, bottom = child.rect
                covered.append((left - window.x, top - window.y, right - window.x, bottom - window.y))
        cells = []
        for top in range(0, HEIGHT - CELL + 1, CELL):
            for left in range(0, WIDTH - CELL + 1, CELL):
                cell = (left, top, left + CELL, top + CELL)
                if not any(intersects(cell, c) for c in covered):
                    cells.append(cell)
        return cells

    def test_opens_borderless_placed_and_painted(self):
        with Session("main_window-opens") as session:
            window = self.start(session)
            screen_width, screen_height = driver.screen_size()
            h = (screen_height - HEIGHT) // 2
            expected = ((screen_width - WIDTH) // 2, h + h // 10, WIDTH, HEIGHT)
            self.assertEqual((window.x, window.y, window.width, window.height), expected)
            self.assertEqual(session.geometry(window), expected)
            WS_CAPTION, WS_THICKFRAME, WS_VISIBLE = 0x00C00000, 0x00040000, 0x10000000
            self.assertEqual(window.style & (WS_CAPTION | WS_THICKFRAME), 0, "the window has a frame")
            self.assertTrue(window.style & WS_VISIBLE)
            session.expect_no_box(1.0)

            shot = session.screenshot("opened")
            picture = Image.load(BACKGROUND)
            self.assertEqual((picture.width, picture.height), (WIDTH, HEIGHT))
            cells = self.free_cells(session, window)
            self.assertGreater(len(cells), 40, "too little of the background is uncovered to compare")
            for left, top, right, bottom in cells:
                seen = shot.mean(window.x + left, window.y + top, window.x + right, window.y + bottom)
                drawn = picture.mean(left, top, right, bottom)
                # JPEG decoders and the 0.99 opacity differ by a few levels at most.
                self.assertLess(driver.colour_distance(seen, drawn), 6,
                                "background at %r: %r on screen, %r in the picture" % ((left, top), seen, drawn))

            left, top, right, bottom = FOLDER_TEXT
            text = shot.crop(window.x + left, window.y + top, window.x + right, window.y + bottom)
            under = picture.crop(left, top, right, bottom)
            self.assertFalse(text.is_uniform(0, 0, text.width, text.height), "no folder text")
            changed = sum(1 for y in range(text.height) for x in range(text.width)
                          if driver.colour_distance(text.pixel(x, y), under.pixel(x, y)) > 48)
            self.assertGreater(changed, 20, "the folder text's rectangle shows only the background")

    def test_dragging_the_background_moves_the_window(self):
        with Session("main_window-drag") as session:
            window = self.start(session)
            # A square in the middle of the free ones: the press lands on the window itself.
            cells = self.free_cells(session, window)
            left, top, right, bottom = cells[len(cells) // 2]
            start = (window.x + (left + right) // 2, window.y + (top + bottom) // 2)
            session.drag(start, (start[0] + 60, start[1] + 40))
            moved = session.refresh(window)
            expected = (window.x + 60, window.y + 40, WIDTH, HEIGHT)
            self.assertEqual((moved.x, moved.y, moved.width, moved.height), expected)
            self.assertEqual(session.geometry(window), expected)
            session.expect_running(0.5)

    def test_every_close_request_asks_before_quitting(self):
        requests = {
            "Escape": lambda session, window: session.key("Escape"),
            "alt+F4": lambda session, window: session.key("alt+F4"),
            "WM_CLOSE": lambda session, window: session.close_window(window),
        }
        for name, request in requests.items():
            # One program at a time: it allows a single instance.
            with self.subTest(name), Session("main_window-close-" + name.replace("+", "-")) as session:
                window = self.start(session)
                for answer in ("Cancel", "OK"):
                    session.activate(window)
                    request(session, window)
                    box = session.wait_box(CAPTION)
                    self.assertEqual((box.text, box.owner), (QUESTION, window.hwnd))
                    self.assertEqual(set(box.buttons), {1, 2})  # OK and Cancel
                    session.answer(box, answer)
                    if answer == "Cancel":
                        session.expect_running(1.0)
                        self.assertTrue(session.refresh(window).visible)
                self.assertEqual(session.wait_exit(), 1)

if __name__ == "__main__":
    unittest.main()
