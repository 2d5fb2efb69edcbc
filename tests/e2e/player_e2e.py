#!/usr/bin/python3
"""End-to-end tests of the real player, used as a person would use it.

Each test starts the built brasko in a scratch folder that holds the shipped ressources/ and
the test song as granite.mp3, clicks its window with xdotool, reads the window back with xwd,
and listens to what it plays through OpenAL Soft's wave writer, whose file grows in real time
while the player runs.

The test song is a sine gliding linearly in pitch (see CMakeLists.txt beside this file), so
the pitch heard at any moment tells which point of the song is playing.

Run by ctest, one test per process. The environment names the programs and files:
BRASKO_EXE, BRASKO_XWIN, BRASKO_FRAME_COUNTER (preloaded into the player to count the frames
it shows and the turns of its loop), BRASKO_RESSOURCES, BRASKO_E2E_SONG and BRASKO_E2E_GLIDE ("FROM_HZ:TO_HZ:SECONDS");
BRASKO_E2E_KEEP=1 keeps the scratch folders. Without DISPLAY the test starts an Xvfb of its
own.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest

import numpy as np
from PIL import Image

RATE = 44100
GLIDE_FROM, GLIDE_TO, SONG_SECONDS = (float(v) for v in os.environ["BRASKO_E2E_GLIDE"].split(":"))
GLIDE_SLOPE = (GLIDE_TO - GLIDE_FROM) / SONG_SECONDS  # Hz per second of song

# Window-relative points: inside each button, and a resting place away from every control.
PLAY, PAUSE, STOP, STAR = (15, 113), (43, 113), (78, 113), (118, 113)
REST = (250, 60)
BAR_Y = 146
BUTTON_LEFT = {"play": 2, "pause": 30, "stop": 65, "star": 105}
BUTTON_FRAME = {"play": 0, "pause": 2, "stop": 4, "star": 6}  # the "off" frame; "on" is next
BUTTON_TOP, BUTTON_SIZE = 100, 28
TITLE_AREA = (slice(0, 40), slice(0, 150))  # rows, columns
BAR_TOP, BAR_WIDTH, BAR_HEIGHT = 143, 200, 7

SILENT = 16  # the writer dithers its 16-bit output: silence reads as -1, 0 or +1
LOUD = 1000  # the song is a half-scale sine, peaks near 16000
FRAME_TOLERANCE = 4.0  # mean difference per colour channel for "this is that frame"


def wait_for(condition, seconds, what, every=0.01):
    """Polls condition every `every` seconds until it returns something other than None or
    False; fails after the deadline."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value is not None and value is not False:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("gave up after %.1f s waiting for %s" % (seconds, what))
        time.sleep(every)


class Capture:
    """The player's sound output as OpenAL Soft's wave writer leaves it, read while it
    grows. Positions are frames (one sample per channel) from the start of the data."""

    def __init__(self, path):
        self.path = path

    def data_start(self):
        try:
            with open(self.path, "rb") as f:
                head = f.read(256)
        except FileNotFoundError:
            return None
        if len(head) < 12 or head[:4] != b"RIFF" or head[8:12] != b"WAVE":
            return None
        at = 12
        while at + 8 <= len(head):
            chunk, size = struct.unpack("<4sI", head[at:at + 8])
            if chunk == b"data":
                return at + 8
            at += 8 + size + (size & 1)
        return None

    def frames(self):
        """How many frames have been written so far."""
        start = self.data_start()
        if start is None:
            return 0
        return max(0, (os.path.getsize(self.path) - start) // 4)

    def read(self, first, last):
        """Frames first..last-1 (fewer if not written yet) as floats, shape (n, 2)."""
        first = max(0, first)
        start = self.data_start()
        if start is None or last <= first:
            return np.zeros((0, 2))
        with open(self.path, "rb") as f:
            f.seek(start + 4 * first)
            raw = f.read(4 * (last - first))
        n = len(raw) // 4
        return np.frombuffer(raw[:4 * n], dtype="<i2").reshape(n, 2).astype(float)

    def sound_after(self, first):
        """The first frame at or after first where the sound is loud, or None."""
        data = np.abs(self.read(first, self.frames())).max(axis=1)
        loud = np.nonzero(data > LOUD)[0]
        return first + int(loud[0]) if len(loud) else None

    def silence_after(self, first, least=0.05):
        """The first frame at or after first that starts at least `least` seconds of
        silence, or None while there is none yet."""
        data = np.abs(self.read(first, self.frames())).max(axis=1)
        gap = int(least * RATE)
        noisy = np.concatenate(([-1], np.nonzero(data > SILENT)[0], [len(data)]))
        long_gaps = np.nonzero(np.diff(noisy) > gap)[0]
        return first + int(noisy[long_gaps[0]]) + 1 if len(long_gaps) else None

    def loudest(self, first, last):
        data = self.read(first, last)
        return float(np.abs(data).max()) if len(data) else 0.0

    def song_time(self, centre):
        """Which second of the song sounds around frame centre, from the pitch there."""
        block = self.read(centre - 1024, centre + 1024).mean(axis=1)
        if len(block) < 2048:
            raise AssertionError("no sound captured around frame %d yet" % centre)
        spectrum = np.abs(np.fft.rfft(block * np.hanning(len(block)), 4 * len(block)))
        k = int(np.argmax(spectrum[1:-1])) + 1
        a, b, c = np.log(spectrum[k - 1:k + 2] + 1e-9)
        peak = k + 0.5 * (a - c) / (a - 2 * b + c)  # on a Gaussian through the three bins
        pitch = peak * RATE / (4 * len(block))
        return (pitch - GLIDE_FROM) / GLIDE_SLOPE


def parse_xwd(raw):
    """An xwd window dump (ZPixmap, 32 bits per pixel) as an RGB array (height, width, 3)."""
    header = struct.unpack(">25I", raw[:100])
    header_size, _, pixmap_format, _, width, height = header[:6]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    masks, colours = header[14:17], header[19]
    if pixmap_format != 2 or bits_per_pixel != 32:
        raise AssertionError("unexpected xwd dump: format %d, %d bits per pixel"
                             % (pixmap_format, bits_per_pixel))
    pixels = np.frombuffer(raw, dtype="<u4" if byte_order == 0 else ">u4",
                           count=height * bytes_per_line // 4, offset=header_size + 12 * colours)
    pixels = pixels.reshape(height, bytes_per_line // 4)[:, :width]
    channels = [(pixels & m) >> ((m & -m).bit_length() - 1) for m in masks]
    return np.dstack(channels).astype(np.uint8)


def load_rgba(path):
    return np.asarray(Image.open(path).convert("RGBA")).astype(float)


private_xvfb = None


def setUpModule():
    global private_xvfb
    if os.environ.get("DISPLAY"):
        return
    n = 150 + os.getpid() % 500
    while os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
        n += 1
    private_xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24",
                                     "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: os.path.exists("/tmp/.X11-unix/X%d" % n), 10, "Xvfb on :%d" % n)
    os.environ["DISPLAY"] = ":%d" % n


def tearDownModule():
    if private_xvfb is not None:
        private_xvfb.terminate()
        private_xvfb.wait()


class PlayerTestCase(unittest.TestCase):
    """One running player per test, with its window, pointer and sound output, and the
    helpers that drive it, look at it and listen to it. Points and pictures are in the
    coordinates of the normal size; a window drawn `scale` times as large is clicked and
    read back through them."""

    scale = 1

    def setUp(self):
        self.addCleanup(self.end_player)
        self.start_player()

    def start_player(self, extra_env=None, rest=True):
        """Starts the player with the environment additions and waits for its window, its
        first frame and its sound output; then rests the pointer unless told not to (that
        moves it through XTest). end_player ends what this got to."""
        self.player = None
        self.window = None
        self.work = tempfile.mkdtemp(prefix="brasko-e2e-")
        shutil.copytree(os.environ["BRASKO_RESSOURCES"], os.path.join(self.work, "ressources"))
        shutil.copyfile(os.environ["BRASKO_E2E_SONG"], os.path.join(self.work, "granite.mp3"))
        capture = os.path.join(self.work, "capture.wav")
        conf = os.path.join(self.work, "openal.conf")
        with open(conf, "w") as f:
            f.write("[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
                    "sample-type = int16\n[wave]\nfile = %s\n" % capture)
        self.frame_count = os.path.join(self.work, "frames")
        # Added to what is preloaded already (the sanitizer run preloads a library too).
        preload = " ".join(filter(None, [os.environ["BRASKO_FRAME_COUNTER"],
                                         os.environ.get("LD_PRELOAD")]))
        # Window pixels per point of the panel, whatever the desktop's scale.
        if "double_size" in self._testMethodName:
            self.scale = 2
        env = dict(os.environ, ALSOFT_CONF=conf, LD_PRELOAD=preload,
                   BRASKO_FRAME_COUNT_FILE=self.frame_count,
                   DBUS_SESSION_BUS_ADDRESS=self.bus_address(), BRASKO_SCALE=str(self.scale))
        env.pop("ALSOFT_DRIVERS", None)
        env.update(extra_env or {})
        self.env = env
        self.capture = Capture(capture)
        self.out = open(os.path.join(self.work, "brasko.out"), "w")
        started = time.monotonic()
        self.player = subprocess.Popen([os.environ["BRASKO_EXE"]], cwd=self.work, env=env,
                                       stdout=self.out, stderr=subprocess.STDOUT)
        found = subprocess.run([os.environ["BRASKO_XWIN"], "find", str(self.player.pid), "10"],
                               capture_output=True, text=True)
        self.assertEqual(0, found.returncode, "the player's window did not appear")
        self.window = found.stdout.strip()
        self.figure("window viewable after", time.monotonic() - started, "s")
        wait_for(lambda: self.frames_shown() > 0, 10, "the first frame")
        self.figure("first frame shown after", time.monotonic() - started, "s")
        # The sound device opens in the background as the window appears; from then on the
        # capture grows.
        wait_for(lambda: self.capture.frames() > RATE // 10, 5, "the sound output to run")
        if rest:
            self.move_to(REST)

    def bus_address(self):
        """The session bus the player is given: here an address where none listens, so that
        it runs as it does without one, whatever bus the machine has."""
        return "unix:path=" + os.path.join(self.work, "no-bus")

    def end_player(self):
        """Closes the player if it still runs; it must end with status 0 either way, which
        also fails the test on any report of the sanitizers in a sanitizer build."""
        player, self.player = self.player, None
        if player is None:
            if self.work:
                shutil.rmtree(self.work, ignore_errors=True)
            return
        if player.poll() is None:
            if self.window:
                subprocess.run([os.environ["BRASKO_XWIN"], "close", self.window])
            try:
                player.wait(5 if self.window else 0)
            except subprocess.TimeoutExpired:
                player.kill()
                player.wait()
        self.out.close()
        with open(self.out.name) as f:
            said = f.read()
        if os.environ.get("BRASKO_E2E_KEEP") == "1":
            print("kept", self.work)
        else:
            shutil.rmtree(self.work, ignore_errors=True)
        self.assertEqual(0, player.returncode, "the player ended with status %d:\n%s"
                         % (player.returncode, said[-4000:]))

    # --- driving the player -------------------------------------------------------------

    def figure(self, name, value, unit):
        print("figure: %s %.3f %s" % (name, value, unit), flush=True)

    def move_to(self, point):
        """Moves the pointer, then waits until the window shows what it does there: the
        counter counts each turn once its frame, if any, is on screen, so the third count
        from now comes after a turn wholly run with the pointer at its new place."""
        self.xdotool("mousemove", "--window", self.window, *(self.scale * v for v in point))
        self.wait_turns(3)

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(arg) for arg in args], check=True)

    def wait_turns(self, count):
        target = self.turns_run() + count
        wait_for(lambda: self.turns_run() >= target, 5 + count / 40, "%d turns" % count)

    def key(self, name, action="key"):
        """Presses a key with the window focused; returns the capture frame reached before.
        Then waits, so that a next press is not taken for the keyboard's repeat."""
        before = self.capture.frames()
        self.xdotool("windowfocus", "--sync", self.window, action, name)
        self.wait_turns(3)
        return before

    def click(self, point):
        """Clicks at a window-relative point; returns the capture frame reached just before.
        The pointer stays there: the player handles one input event per turn and looks
        where the pointer is when it handles the press, so the pointer may leave only once
        the click has been seen to take effect."""
        before = self.capture.frames()
        self.xdotool("mousemove", "--window", self.window, *(self.scale * v for v in point),
                     "click", 1)
        return before

    def frames_shown(self, column=0):
        """Frames shown so far; column 1: turns run."""
        try:
            with open(self.frame_count) as f:
                return int((f.read().split() or ["0", "0"])[column])
        except FileNotFoundError:
            return 0

    def turns_run(self):
        return self.frames_shown(1)

    def settle(self):
        """Waits until the player has run 20 more turns. It takes one input event per turn,
        and the queue holds a few at most (those of the last clicks and moves, and those of
        its start), so by then it has seen them all, whatever the machine's load."""
        self.wait_turns(20)

    def close(self):
        """Asks the window to close as a window manager does; returns the exit status."""
        subprocess.run([os.environ["BRASKO_XWIN"], "close", self.window], check=True)
        return self.player.wait(5)

    # --- listening ----------------------------------------------------------------------

    def wait_for_frames(self, frame, what="the capture to grow"):
        wait_for(lambda: self.capture.frames() >= frame, 5 + frame / RATE, what)

    def play_and_hear(self):
        """Clicks Play and waits until the song is heard; returns the frame where it begins."""
        clicked = self.click(PLAY)
        onset = wait_for(lambda: self.capture.sound_after(clicked), 5, "the song to sound")
        self.move_to(REST)
        self.figure("click to sound", (onset - clicked) / RATE, "s")
        return onset

    def assert_song_time(self, frame, expected, tolerance=0.06, what=""):
        self.wait_for_frames(frame + 1024)
        measured = self.capture.song_time(frame)
        self.assertAlmostEqual(expected, measured, delta=tolerance,
                               msg="%s: song at %.3f s, expected %.3f s"
                               % (what, measured, expected))

    def jump_after(self, clicked, target):
        """The first frame within a second of a click on the bar from which the song sounds
        from target seconds on, or None."""
        self.wait_for_frames(clicked + RATE + 2048)
        return next((frame for frame in range(clicked, clicked + RATE, RATE // 200)
                     if abs(self.capture.song_time(frame + 1024) - (target + 1024 / RATE))
                     < 0.06), None)

    def assert_silent(self, first, last, what):
        self.wait_for_frames(last, what)
        self.assertLessEqual(self.capture.loudest(first, last), SILENT,
                             "%s: sound in %.2f..%.2f s of the capture"
                             % (what, first / RATE, last / RATE))

    # --- looking ------------------------------------------------------------------------

    def screenshot(self, whole=False):
        """The window as on screen; at double size one pixel of each 2 x 2, unless whole."""
        shot = parse_xwd(subprocess.run(["xwd", "-silent", "-id", self.window],
                                        capture_output=True, check=True).stdout)
        return shot if whole or shot.shape[1] == 300 else shot[::2, ::2]

    def background(self):
        return load_rgba(os.path.join(self.work, "ressources", "bg.png"))

    def expected_button(self, name, lit):
        """The button's frame from the sheet drawn over the background, as on screen."""
        sheet = load_rgba(os.path.join(self.work, "ressources", "buttons.png"))
        frame = BUTTON_FRAME[name] + (1 if lit else 0)
        picture = sheet[:, frame * BUTTON_SIZE:(frame + 1) * BUTTON_SIZE]
        left = BUTTON_LEFT[name]
        under = self.background()[BUTTON_TOP:BUTTON_TOP + BUTTON_SIZE, left:left + BUTTON_SIZE, :3]
        alpha = picture[:, :, 3:] / 255.0
        return picture[:, :, :3] * alpha + under * (1 - alpha)

    def button_look(self, shot, name):
        """'on' or 'off' as the button's frame on screen matches, else None."""
        left = BUTTON_LEFT[name]
        seen = shot[BUTTON_TOP:BUTTON_TOP + BUTTON_SIZE, left:left + BUTTON_SIZE].astype(float)
        for look in ("on", "off"):
            if np.abs(seen - self.expected_button(name, look == "on")).mean() < FRAME_TOLERANCE:
                return look
        return None

    def looks(self, shot):
        return {name: self.button_look(shot, name) for name in BUTTON_LEFT}

    def wait_for_looks(self, expected, seconds=3):
        """Waits until the buttons on screen look as expected ({name: 'on'/'off'})."""
        seen = {}

        def matches():
            shot = self.screenshot()
            seen.update(self.looks(shot))
            return shot if all(seen[n] == look for n, look in expected.items()) else None

        try:
            return wait_for(matches, seconds, "buttons %s" % expected)
        except AssertionError:
            Image.fromarray(self.screenshot()).save(os.path.join(self.work, "seen.png"))
            raise AssertionError("buttons look %s, expected %s (screen in %s/seen.png, kept "
                                 "with BRASKO_E2E_KEEP=1)" % (seen, expected, self.work))

    def title_pixels(self, shot):
        """How many pixels of the title's corner differ clearly from the background."""
        rows, columns = TITLE_AREA
        seen = shot[rows, columns].astype(float)
        return int((np.abs(seen - self.background()[rows, columns, :3]).max(axis=2) > 24).sum())

    def bar_length(self, shot):
        """How many columns of the progress bar are filled, from the left."""
        rows = slice(BAR_TOP, BAR_TOP + BAR_HEIGHT)
        seen = shot[rows, :BAR_WIDTH].astype(float)
        differs = (np.abs(seen - self.background()[rows, :BAR_WIDTH, :3]).max(axis=2) > 24).any(0)
        filled = np.nonzero(differs)[0]
        return int(filled[-1]) + 1 if len(filled) else 0


class PlayerEndToEnd(PlayerTestCase):
    """The player used with the mouse and the keyboard."""

    def test_first_frame_shows_every_button_dark_and_no_title(self):
        shot = self.wait_for_looks({"play": "off", "pause": "off", "stop": "off", "star": "off"})
        self.assertEqual(0, self.title_pixels(shot))
        self.assertEqual(0, self.bar_length(shot))

    def test_a_button_lights_under_the_cursor_and_goes_dark_when_it_leaves(self):
        self.wait_for_looks({"stop": "off"})
        self.move_to(STOP)
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "on", "star": "off"})
        self.move_to(REST)
        self.wait_for_looks({"stop": "off"})
        self.assertLessEqual(self.capture.loudest(0, self.capture.frames()), SILENT,
                             "hovering made a sound")

    def test_play_starts_the_song_from_its_beginning(self):
        onset = self.play_and_hear()
        # The pitch follows the glide from its first second on, at the song's own speed.
        for second in (0.1, 0.4, 0.7, 1.0):
            self.assert_song_time(onset + int(second * RATE), second, what="%.1f s after the onset" % second)
        # Both channels carry the half-scale sine (RMS 0.354 of full scale).
        rms = np.sqrt((self.capture.read(onset, onset + RATE) ** 2).mean(axis=0)) / 32768
        for channel, level in zip(("left", "right"), rms):
            self.assertAlmostEqual(0.354, level, delta=0.04, msg="%s channel RMS" % channel)

    def test_playing_lights_play_and_shows_the_song_name(self):
        self.play_and_hear()
        shot = self.wait_for_looks({"play": "on", "pause": "off", "stop": "off", "star": "off"})
        self.assertGreater(self.title_pixels(shot), 150, "no title drawn at the top left")

    def test_bar_fills_as_far_as_the_song_has_got(self):
        onset = self.play_and_hear()
        self.wait_for_frames(onset + int(1.5 * RATE))
        before = (self.capture.frames() - onset) / RATE
        shot = self.screenshot()
        after = (self.capture.frames() - onset) / RATE
        # Two columns per whole percent of the song.
        length = self.bar_length(shot)
        self.assertGreaterEqual(length, 2 * int(100 * (before - 0.3) / SONG_SECONDS))
        self.assertLessEqual(length, 2 * int(100 * (after + 0.05) / SONG_SECONDS) + 2)

    def test_pause_holds_the_song_and_a_second_pause_goes_on_from_the_same_point(self):
        onset = self.play_and_hear()
        self.wait_for_frames(onset + RATE)
        clicked = self.click(PAUSE)
        held = wait_for(lambda: self.capture.silence_after(clicked), 5, "the pause")
        self.move_to(REST)
        self.figure("click to silence", (held - clicked) / RATE, "s")
        self.wait_for_looks({"play": "on", "pause": "on"})
        self.assert_silent(held, held + int(0.8 * RATE), "while paused")
        stopped_at = self.capture.song_time(held - 1100) + 1100 / RATE

        clicked = self.click(PAUSE)
        resumed = wait_for(lambda: self.capture.sound_after(clicked), 5, "the song to go on")
        self.move_to(REST)
        self.figure("click to sound again", (resumed - clicked) / RATE, "s")
        self.assertGreater(resumed - held, int(0.8 * RATE))
        self.wait_for_frames(resumed + 4 * RATE // 10)
        # The song goes on where it stopped, not where it would be had it run on unheard.
        self.assert_song_time(resumed + 1100, stopped_at + 1100 / RATE,
                              what="after the second Pause")
        self.assert_song_time(resumed + RATE // 4, stopped_at + 0.25, what="a moment later")
        self.wait_for_looks({"play": "on", "pause": "off"})

    def test_a_click_on_the_bar_jumps_to_that_point_of_the_song(self):
        onset = self.play_and_hear()
        self.wait_for_frames(onset + RATE // 2)
        # x / 2 is the percent: 141 -> 70 % of 6 s = 4.2 s; then back to 61 -> 30 % = 1.8 s.
        for x, target in ((141, 0.7 * SONG_SECONDS), (61, 0.3 * SONG_SECONDS)):
            clicked = self.click((x, BAR_Y))
            jumped = self.jump_after(clicked, target)
            self.assertIsNotNone(jumped, "no jump to %.1f s within a second of the click" % target)
            self.figure("click to jump", (jumped - clicked) / RATE, "s")
            # Once there, it plays on from that point.
            for later in (0.2, 0.4):
                self.assert_song_time(jumped + int(later * RATE), target + later,
                                      what="%.1f s after the jump to %.1f s" % (later, target))

    def test_stop_silences_the_song_and_lights_stop(self):
        onset = self.play_and_hear()
        self.wait_for_frames(onset + RATE // 2)
        clicked = self.click(STOP)
        silent = wait_for(lambda: self.capture.silence_after(clicked), 5, "the stop")
        self.move_to(REST)
        self.figure("click to silence", (silent - clicked) / RATE, "s")
        self.assertLess(silent - clicked, RATE // 2)
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "on"})
        self.assert_silent(silent, silent + RATE, "after Stop")

    def test_play_after_stop_starts_the_song_again_from_its_beginning(self):
        onset = self.play_and_hear()
        self.wait_for_frames(onset + RATE)
        clicked = self.click(STOP)
        wait_for(lambda: self.capture.silence_after(clicked), 5, "the stop")
        onset = self.play_and_hear()
        self.wait_for_frames(onset + RATE // 2)
        self.assert_song_time(onset + int(0.1 * RATE), 0.1, what="after Play again")
        self.wait_for_looks({"play": "on", "stop": "off"})

    def test_the_song_ends_once_leaving_play_and_pause_dark(self):
        onset = self.play_and_hear()
        self.wait_for_frames(onset + RATE // 5)
        clicked = self.click((181, BAR_Y))  # 90 %: 0.6 s before the end
        jumped = self.jump_after(clicked, 0.9 * SONG_SECONDS)
        self.assertIsNotNone(jumped, "no jump to 90 % of the song")
        end = wait_for(lambda: self.capture.silence_after(jumped), 5, "the song's end")
        self.move_to(REST)
        # It played to its very end (the glide's top) and then nothing more.
        self.assert_song_time(end - 1100, SONG_SECONDS - 1100 / RATE, tolerance=0.08,
                              what="just before the end")
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "off"})
        self.assert_silent(end, end + int(1.5 * RATE), "after the end")

    def test_a_frame_is_shown_only_when_the_picture_changes(self):
        self.settle()
        shown = self.frames_shown()
        self.wait_turns(40)
        self.assertEqual(shown, self.frames_shown(), "frames shown while nothing changed")
        self.play_and_hear()
        self.move_to(REST)
        shown, bar = self.frames_shown(), self.bar_length(self.screenshot())
        self.wait_turns(40)
        steps = (self.bar_length(self.screenshot()) - bar) // 2  # two columns a percent
        self.assertGreater(steps, 5)
        self.assertAlmostEqual(steps, self.frames_shown() - shown, delta=2)

    def test_star_changes_only_its_own_look(self):
        self.wait_for_looks({"star": "off"})
        self.click(STAR)
        self.settle()
        self.move_to(REST)
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "off", "star": "on"})
        shot = self.screenshot()
        self.assertEqual(0, self.title_pixels(shot))
        self.assertLessEqual(self.capture.loudest(0, self.capture.frames()), SILENT)

    def test_keys_play_pause_jump_and_stop_as_heard(self):
        pressed = self.key("space")
        onset = wait_for(lambda: self.capture.sound_after(pressed), 5, "the song after Space")
        self.figure("key to sound", (onset - pressed) / RATE, "s")
        self.wait_for_looks({"play": "on", "pause": "off"})
        pressed = self.key("space")
        wait_for(lambda: self.capture.silence_after(pressed), 5, "the pause after Space")
        # Paused early: Right jumps 5 s on, Left back and then stops at the start, Right
        # jumps again, and a Right past the end does nothing.
        for name in ("Right", "Left", "Left", "Right", "Right"):
            self.key(name)
        pressed = self.key("space")
        resumed = wait_for(lambda: self.capture.sound_after(pressed), 5, "the song to go on")
        self.assert_song_time(resumed + 1100, 5 + 1100 / RATE, what="after the jumps")
        pressed = self.key("s")
        silent = wait_for(lambda: self.capture.silence_after(pressed), 5, "the stop after S")
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "on"})
        self.assert_silent(silent, silent + RATE // 2, "after S")

    def test_space_with_the_song_missing_leaves_play_dark_and_says_why(self):
        os.remove(os.path.join(self.work, "granite.mp3"))
        self.key("space")
        said = lambda: open(self.out.name).read().count('cannot play "granite.mp3": file not found')
        wait_for(lambda: said() == 1, 5, "the player to say why")
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "off"})

    def test_at_double_size_every_pixel_shows_twice_and_clicks_answer_at_doubled_points(self):
        shot = self.screenshot(whole=True).astype(int)
        self.assertEqual((300, 600, 3), shot.shape)
        below = shot[2 * TITLE_AREA[0].stop:]  # the title is drawn at the window's own size
        for dy, dx in ((0, 1), (1, 0), (1, 1)):
            self.assertTrue((below[dy::2, dx::2] == below[::2, ::2]).all(), (dy, dx))
        self.play_and_hear()
        shot = self.wait_for_looks({"play": "on", "pause": "off", "stop": "off", "star": "off"})
        self.assertGreater(self.title_pixels(shot), 150, "no title drawn at the top left")
        clicked = self.click((141, BAR_Y))  # 70 %, as at the normal size
        self.assertIsNotNone(self.jump_after(clicked, 0.7 * SONG_SECONDS), "no jump to 70 %")

    def test_a_close_request_ends_the_player_with_status_0_while_it_plays(self):
        onset = self.play_and_hear()
        self.wait_for_frames(onset + RATE // 2)
        asked = time.monotonic()
        self.assertEqual(0, self.close())
        self.figure("close request to exit", time.monotonic() - asked, "s")
        # Closed cleanly, the writer has completed its header: the sizes match the file.
        size = os.path.getsize(self.capture.path)
        data = self.capture.data_start()
        with open(self.capture.path, "rb") as f:
            head = f.read(data)
        self.assertEqual((b"RIFF", size - 8), struct.unpack("<4sI", head[:8]))
        self.assertEqual((b"data", size - data), struct.unpack("<4sI", head[-8:]))


if __name__ == "__main__":
    unittest.main(verbosity=2)
