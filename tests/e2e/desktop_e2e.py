#!/usr/bin/python3
"""The player's window under real window managers: openbox on an Xvfb, and Xwayland on
weston's headless backend, the way GNOME's Wayland session runs X programs; and on an Xvfb
without any manager.

Each case of CASES starts an X server and a window manager of its own (a private display;
for weston also a private XDG_RUNTIME_DIR), runs the player on it as player_e2e.py does,
and stops them again. XTest input crashes a headless Xwayland 22, so under weston only the
window, its drawing and its closing are tried.

Run by ctest, one test per process, with the environment player_e2e.py takes.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import player_e2e as e2e
from player_e2e import RATE, wait_for

# Each case: the window manager, what the player's environment adds, and the size its
# window opens at and keeps.
CASES = [
    ("none", {}, (300, 150)),
    ("none", {"BRASKO_SCALE": "2"}, (600, 300)),
    ("openbox", {}, (300, 150)),
    ("openbox", {"BRASKO_SCALE": "2"}, (600, 300)),
    ("weston", {}, (300, 150)),
    ("weston", {"BRASKO_SCALE": "2"}, (600, 300)),
]
TAKES_INPUT = {"none", "openbox"}
MANAGERS = ("openbox", "weston")

CLOSE_TO_GONE = 0.3  # seconds from the close request until the window has gone
CLOSE_TO_EXIT = 2.5  # ... until the process has ended


def free_display():
    n = 300 + os.getpid() % 500
    while os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
        n += 1
    return ":%d" % n


class Desktop:
    """An X server with a window manager on it: openbox on an Xvfb, or weston's headless
    compositor with the Xwayland it starts; or an Xvfb alone ("none"). Ready once the
    manager has announced itself on the root window; stop() ends both."""

    def __init__(self, manager, folder):
        self.processes = []
        self.log = os.path.join(folder, manager + ".log")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["HOME"] = folder
        try:
            if manager in ("none", "openbox"):
                self.display = free_display()
                # -noreset: the server would reset as the probe below leaves, and refuse
                # the manager meanwhile. -bs: no backing store, so that a window loses the
                # pixels of every part covered, moved off screen or unmapped, and has to
                # draw them again.
                self.spawn(["Xvfb", self.display, "-screen", "0", "1024x768x24", "-nolisten",
                            "tcp", "-noreset", "-bs"], env)
                wait_for(self.answers, 10, "Xvfb on " + self.display, every=0.05)
                if manager == "none":
                    return
                self.spawn(["openbox", "--sm-disable"], dict(env, DISPLAY=self.display))
            else:
                env["XDG_RUNTIME_DIR"] = os.path.join(folder, "runtime")
                os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
                self.spawn(["weston", "--backend=headless-backend.so", "--xwayland",
                            "--socket=brasko", "--idle-time=0", "--log=" + self.log,
                            # Large enough for the window at twice its size, wholly seen.
                            "--width=1280", "--height=1024"], env)
                self.display = wait_for(self.xwayland_display, 10, "weston's X display")
            wait_for(self.managed, 10, "%s on %s" % (manager, self.display), every=0.05)
        except BaseException:
            self.stop()
            raise

    def spawn(self, argv, env):
        with open(self.log, "a") as log:
            self.processes.append(subprocess.Popen(argv, env=env, stdout=log,
                                                   stderr=subprocess.STDOUT))

    def xwayland_display(self):
        with open(self.log) as f:
            found = re.search(r"xserver listening on display (:\d+)", f.read())
        return found.group(1) if found else None

    def answers(self):
        return subprocess.run(["xprop", "-display", self.display, "-root", "-len", "0",
                               "WM_NAME"], capture_output=True).returncode == 0

    def managed(self):
        """True once a window manager holds the root window (_NET_SUPPORTING_WM_CHECK)."""
        for process in self.processes:
            if process.poll() is not None:
                with open(self.log) as f:
                    raise AssertionError("%s ended early:\n%s" % (process.args[0], f.read()))
        said = subprocess.run(["xprop", "-display", self.display, "-root",
                               "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True)
        return "window id #" in said.stdout

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


class UnderWindowManagers(e2e.PlayerTestCase):
    """The window as a window manager handles it, case by case."""

    def setUp(self):
        # Each case starts a desktop and a player of its own.
        self.player = self.window = self.work = None

    def on_each_desktop(self, check, managers=None):
        """Calls check(size) once per case (of the managers named, or all), with the player
        started on a desktop of its own; a case that fails leaves the others to run."""
        for manager, env, size in CASES:
            if managers is not None and manager not in managers:
                continue
            with self.subTest(manager=manager, size=size):
                folder = tempfile.mkdtemp(prefix="brasko-desktop-")
                display = os.environ.get("DISPLAY")
                desktop = None
                try:
                    desktop = Desktop(manager, folder)
                    self.manager = manager
                    os.environ["DISPLAY"] = desktop.display
                    self.scale = size[0] // 300
                    self.start_player(env, rest=manager in TAKES_INPUT)
                    check(size)
                finally:
                    self.end_player()
                    if desktop is not None:
                        desktop.stop()
                    if display is None:
                        os.environ.pop("DISPLAY", None)
                    else:
                        os.environ["DISPLAY"] = display
                    shutil.rmtree(folder, ignore_errors=True)

    def geometry(self, window):
        """(left, top, width, height) of a window on the screen, and its parent's id (None
        for a child of the root window)."""
        info = subprocess.run(["xwininfo", "-tree", "-stats", "-id", window], capture_output=True,
                              text=True, check=True).stdout

        def value(name):
            return int(re.search(name + r": +(-?\d+)", info).group(1))
        root = re.search(r"Root window id: (0x[0-9a-f]+)", info).group(1)
        parent = re.search(r"Parent window id: (0x[0-9a-f]+)", info).group(1)
        return ((value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                 value("Height")), None if parent == root else parent)

    def size(self):
        return self.geometry(self.window)[0][2:]

    def frame(self):
        """The geometry of the window's top-level ancestor: the manager's frame, if any."""
        window = self.window
        while True:
            area, parent = self.geometry(window)
            if parent is None:
                return area
            window = parent

    def test_the_window_is_framed_and_keeps_its_size_against_a_resize_request(self):
        def check(size):
            (left, top, width, height), _ = self.geometry(self.window)
            self.assertEqual(size, (width, height))
            frame = self.frame()
            # A frame around the window, with a title bar above it.
            self.assertGreater(frame[2], width, "no frame: %s" % (frame,))
            self.assertGreater(top - frame[1], 0, "no title bar: %s" % (frame,))
            self.assertLessEqual(left + width, frame[0] + frame[2])
            subprocess.run(["xdotool", "windowsize", self.window, str(2 * size[0]),
                            str(3 * size[1])], check=True)
            # The request has long been answered ten turns later; a window that the
            # manager resized has one turn to take its size back.
            self.wait_turns(10)
            wait_for(lambda: self.size() == size, 2, "the window at %s again" % (size,))
            self.wait_turns(10)
            self.assertEqual(size, self.size())
            self.wait_for_looks({"play": "off", "pause": "off", "stop": "off", "star": "off"})
        self.on_each_desktop(check, MANAGERS)

    def test_it_takes_forty_turns_a_second_and_shows_no_frame_while_still(self):
        def check(size):
            self.settle()
            frames, first, begin = self.frames_shown(), self.turns_run(), time.monotonic()
            self.wait_turns(80)
            rate = (self.turns_run() - first) / (time.monotonic() - begin)
            self.figure("turns a second", rate, "")
            self.assertGreater(rate, 30)
            self.assertLess(rate, 44)
            self.assertEqual(frames, self.frames_shown(), "frames shown while still")
            self.assertEqual(size, self.size())
            self.wait_for_looks({"play": "off", "pause": "off", "stop": "off", "star": "off"})
        self.on_each_desktop(check)

    def test_the_idle_panel_is_drawn_again_whenever_its_pixels_are_lost(self):
        self.on_each_desktop(lambda size: self.check_lost_pixels("idle"))

    def test_the_panel_is_drawn_again_whenever_its_pixels_are_lost_playing_paused_and_ended(self):
        def check(size):
            self.check_lost_pixels("playing", self.play_and_hear)
            self.check_lost_pixels("paused", lambda: self.press(e2e.PAUSE))
            self.check_lost_pixels("ended", lambda: (  # played on from 98 %
                self.press(e2e.PAUSE), self.press((197, e2e.BAR_Y)),
                self.wait_for_looks({"play": "off"}, 5)))
        self.on_each_desktop(check, TAKES_INPUT)

    def check_lost_pixels(self, state, reach=lambda: None):
        """Brings the player into the state, then has the window lose its pixels in each way
        the desktop can, undoes it, and waits for the picture the window showed before."""
        reach()
        self.settle()
        rows = slice(0, e2e.BAR_TOP * self.scale if state == "playing" else None)  # bar grows
        (left, top, width, height), _ = self.geometry(self.window)
        area = "%dx%d+%d+%d" % (width + 20, height + 20, left - 10, top - 10)
        w = self.window
        faults = [("covered", None, None),
                  ("unmapped", ["windowunmap", "--sync", w], ["windowmap", "--sync", w]),
                  ("minimised", ["windowminimize", "--sync", w], ["windowactivate", "--sync", w]),
                  ("moved off screen", ["windowmove", w, 3000, 3000], ["windowmove", w, left, top]),
                  ("resized", ["windowsize", w, 2 * width, 3 * height], None)]
        skipped = {"none": "minimised", "weston": "moved off screen"}.get(self.manager)
        for fault, lose, undo in faults:
            if fault == skipped:
                continue
            drawn = self.screenshot(whole=True)[rows]
            if lose is None:
                with subprocess.Popen(["xlogo", "-geometry", area, "-xrm",
                                       "*overrideRedirect: true"], stderr=subprocess.DEVNULL) as over:
                    wait_for(lambda: self.viewable_child(area), 10, "a window over the player's")
                    self.wait_turns(3)
                    over.terminate()
            else:
                self.xdotool(*lose)
                self.wait_turns(3)
                if undo is not None:
                    self.xdotool(*undo)

            def same():
                try:  # the manager may still be showing the window again
                    shot = self.screenshot(whole=True)[rows].astype(int)
                except subprocess.CalledProcessError:
                    return False
                return bool(shot.shape == drawn.shape and abs(shot - drawn).mean() < 1)
            wait_for(same, 3, "the panel again after %s, %s" % (fault, state))

    def viewable_child(self, area):
        """True iff a top-level window of that geometry is viewable."""
        tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True,
                              text=True).stdout
        found = re.search(r"(0x[0-9a-f]+) .*  %s  " % re.escape(area), tree)
        return found is not None and "IsViewable" in subprocess.run(
            ["xwininfo", "-id", found.group(1)], capture_output=True, text=True).stdout

    def press(self, point):
        """Clicks, and rests the pointer once the player has handled the click."""
        self.click(point)
        self.settle()
        self.move_to(e2e.REST)

    def test_a_close_request_takes_the_window_away_and_ends_the_player(self):
        def check(size):
            asked = time.monotonic()
            closed = subprocess.run([os.environ["BRASKO_XWIN"], "close", self.window,
                                     str(CLOSE_TO_GONE)], capture_output=True, text=True)
            self.assertEqual(0, closed.returncode, "the window was still there after %.1f s"
                             % CLOSE_TO_GONE)
            self.figure("close request to the window gone", float(closed.stdout), "s")
            self.player.wait(CLOSE_TO_EXIT)
            self.figure("close request to exit", time.monotonic() - asked, "s")
            self.assertLess(time.monotonic() - asked, CLOSE_TO_EXIT)
            self.assertEqual(0, self.player.returncode)
        self.on_each_desktop(check)

    def test_a_click_on_play_lights_it_and_starts_the_song(self):
        def check(size):
            onset = self.play_and_hear()
            self.wait_for_looks({"play": "on", "pause": "off", "stop": "off", "star": "off"})
            self.assert_song_time(onset + RATE // 2, 0.5, what="half a second in")
        self.on_each_desktop(check, TAKES_INPUT)


if __name__ == "__main__":
    unittest.main(verbosity=2)
