"""The end-to-end driver's own test: drives sample_window.exe, a stand-in whose
window, colours, message box and exit code are known, through every mechanism the
real program's tests use."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import driver  # noqa: E402
from driver import DriverError, Session  # noqa: E402

SAMPLE = os.path.join(driver.build_dir(), "tests", "e2e", "sample_window.exe")
# Regular expression characters in the title check that xdotool's search takes it literally.
TITLE = "Sample (driver) test..."
# As sample_window.cpp has them.
LEFT, TOP, WIDTH, HEIGHT = 100, 120, 320, 200
BACKGROUND = (0x33, 0x99, 0x66)
ASK_BUTTON = (20, 20, 120, 50)  # left, top, right, bottom in the window
CAPTION = "Sample caption"
TEXT = "Sample text: end the sample?"


class SampleWindowTest(unittest.TestCase):
    @staticmethod
    def start(session, exit_code=0):
        """Starts the sample and focuses its window, as a window manager would."""
        session.start(SAMPLE, [TITLE, exit_code])
        window = session.wait_window(TITLE)
        session.activate(window)
        return window

    def click_ask(self, session, window):
        left, top, right, bottom = ASK_BUTTON
        session.click(window.x + (left + right) // 2, window.y + (top + bottom) // 2)

    def test_window_temp_folder_and_screenshot(self):
        with Session("driver-window") as session:
            window = self.start(session)
            self.assertEqual((window.x, window.y, window.width, window.height), (LEFT, TOP, WIDTH, HEIGHT))
            self.assertEqual(session.geometry(window), (LEFT, TOP, WIDTH, HEIGHT))
            self.assertEqual(session.read_file("sample-started.txt"), TITLE.encode() + b"\n")

            shot = session.screenshot("sample")
            self.assertTrue(os.path.isfile(os.path.join(session.artifacts_dir, "sample.png")))
            self.assertEqual(shot.pixel(LEFT + 200, TOP + 150), BACKGROUND)
            self.assertEqual(shot.mean(LEFT + 150, TOP + 80, LEFT + WIDTH, TOP + HEIGHT), BACKGROUND)
            self.assertTrue(shot.is_uniform(LEFT + 150, TOP + 80, LEFT + WIDTH, TOP + HEIGHT))
            left, top, right, bottom = ASK_BUTTON
            self.assertFalse(shot.is_uniform(LEFT + left, TOP + top, LEFT + right, TOP + bottom))
            self.assertGreater(driver.colour_distance(shot.pixel(LEFT - 5, TOP - 5), BACKGROUND), 20)

            with self.assertRaisesRegex(DriverError, r"timed out after 1\.0 s waiting for a window titled 'Nothing'"):
                session.wait_window("Nothing", timeout=1)
            with self.assertRaisesRegex(DriverError, "timed out .* the program to end"):
                session.wait_exit(timeout=0.5)

    def test_box_is_read_and_answered_and_exit_code_is_exact(self):
        with Session("driver-box") as session:
            window = self.start(session, -21)
            self.click_ask(session, window)
            box = session.wait_box()
            self.assertEqual((box.caption, box.text, box.owner), (CAPTION, TEXT, window.hwnd))
            self.assertEqual(box.buttons, {1: "OK", 2: "Cancel"})
            session.answer(box, "Cancel")
            session.expect_running(1)

            self.click_ask(session, window)
            session.answer(session.wait_box(CAPTION), "OK")
            self.assertEqual(session.wait_exit(), -21)
            session.close()
            # The Linux side sees only the low byte.
            self.assertEqual(session.runner_status, 235)
            self.assertEqual(driver.wine_status(-21), 235)

    def test_drag_moves_the_window(self):
        with Session("driver-drag") as session:
            window = self.start(session)
            session.drag((LEFT + 200, TOP + 150), (LEFT + 290, TOP + 190))
            moved = session.refresh(window)
            self.assertEqual((moved.x, moved.y, moved.width, moved.height), (LEFT + 90, TOP + 40, WIDTH, HEIGHT))
            self.assertEqual(session.geometry(window), (LEFT + 90, TOP + 40, WIDTH, HEIGHT))

    def test_keys_and_close_request_ask_before_quitting(self):
        with Session("driver-close-requests") as session:
            window = self.start(session, 5)
            requests = {
                "Escape": lambda: session.key("Escape"),
                "alt+F4": lambda: session.key("alt+F4"),
                "WM_CLOSE": lambda: session.close_window(window),
            }
            for name, request in requests.items():
                with self.subTest(name):
                    session.activate(window)
                    request()
                    box = session.wait_box(CAPTION)
                    self.assertEqual(box.text, TEXT)
                    session.answer(box, "Cancel")
                    session.expect_running(0.5)
            session.activate(window)
            session.key("Escape")
            session.answer(session.wait_box(CAPTION), "OK")
            self.assertEqual(session.wait_exit(), 5)

    def test_leaving_after_a_failure_ends_the_program_and_its_children(self):
        child_title = "Sample child"
        session = Session("driver-cleanup")
        with self.assertRaises(ZeroDivisionError):
            with session:
                session.start(SAMPLE, [TITLE, 0, child_title])
                window = session.wait_window(TITLE)
                driver.wait_until(lambda: [w for w in driver.top_level_windows() if w.title == child_title],
                                  driver.DEFAULT_TIMEOUT, "the child's window")
                session.close_window(window)
                session.wait_box(CAPTION)  # left open
                1 / 0
        self.assertTrue(os.path.isfile(os.path.join(session.artifacts_dir, "failure.png")))
        titles = [w.title for w in driver.top_level_windows()]
        self.assertNotIn(TITLE, titles)
        self.assertNotIn(child_title, titles)
        self.assertNotIn(CAPTION, titles)
        self.assertFalse(os.path.exists(session.work_dir))


if __name__ == "__main__":
    unittest.main()
