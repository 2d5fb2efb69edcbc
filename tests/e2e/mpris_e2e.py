#!/usr/bin/python3
"""End-to-end tests of the player's desktop controls, MPRIS on the session bus.

Each test starts a session bus of its own and the built brasko on it, as player_e2e.py
starts it (same environment), and uses it as the desktop does: playerctl drives it, busctl
--user reads its properties with their D-Bus types, dbus-monitor counts what it announces.
The bus starts no services, so that playerctld never stands between playerctl and the player.
"""
import os
import re
import shutil
import signal
import subprocess
import unittest

import player_e2e as e2e
from player_e2e import RATE, setUpModule, tearDownModule, wait_for  # noqa: F401 (Xvfb)

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir=%s</listen><auth>EXTERNAL</auth>
 <policy context="default"><allow own="*"/><allow send_destination="*" eavesdrop="true"/>
  <allow eavesdrop="true"/></policy></busconfig>
"""
PATH = "/org/mpris/MediaPlayer2"
ROOT, PLAYER = "org.mpris.MediaPlayer2", "org.mpris.MediaPlayer2.Player"
LENGTH = int(e2e.SONG_SECONDS * 1000000)


class Monitor:
    """dbus-monitor on the signals of the player's object, read as its output grows."""

    def __init__(self, test):
        self.log = os.path.join(test.work, "monitor.log")
        with open(self.log, "w") as out:
            process = subprocess.Popen(["dbus-monitor", "--address", test.address,
                                        "type='signal',path='%s'" % PATH], stdout=out)
        test.addCleanup(lambda: (process.terminate(), process.wait()))
        wait_for(lambda: "member=NameLost" in self.text(), 5, "dbus-monitor to start")

    def text(self):
        with open(self.log) as f:
            return f.read()

    def signals(self):
        return self.text().count("path=%s;" % PATH)

    def statuses(self):
        return re.findall(r'"PlaybackStatus"\s+variant\s+string "(\w+)"', self.text())

    def seeks(self):
        return [int(v) for v in re.findall(r"member=Seeked\n\s+int64 (-?\d+)", self.text())]


class MprisEndToEnd(e2e.PlayerTestCase):
    """The player on a session bus of its own, driven and watched through MPRIS."""

    def bus_address(self):
        with open(os.path.join(self.work, "bus.conf"), "w") as conf:
            conf.write(BUS_CONFIG % self.work)
        self.address, pid = subprocess.run(
            ["dbus-daemon", "--config-file", conf.name, "--fork", "--print-address=1",
             "--print-pid=1"], capture_output=True, text=True, check=True).stdout.split()
        self.bus_pid = int(pid)
        self.addCleanup(self.stop_bus)
        return self.address

    def setUp(self):
        super().setUp()
        wait_for(lambda: "brasko" in self.ctl("-l").split(), 5, "the player's name on the bus")

    def stop_bus(self):
        try:
            os.kill(self.bus_pid, signal.SIGTERM)
        except ProcessLookupError:
            pass

    def client(self, *command):
        return subprocess.run(command, env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address),
                              capture_output=True, text=True, timeout=10).stdout.strip()

    def ctl(self, *args):
        """What playerctl says, about this player ("-l": about all)."""
        return self.client("playerctl", *(args if args == ("-l",) else ("--player=brasko",) + args))

    def props(self, interface, *names):
        return self.client("busctl", "--user", "get-property", "org.mpris.MediaPlayer2.brasko",
                           PATH, interface, *names).splitlines()

    def command(self, args, status):
        self.ctl(*args)
        wait_for(lambda: self.ctl("status") == status, 5, "%s after %s" % (status, args))

    def test_playerctl_lists_it_and_a_second_player_under_an_instance_name(self):
        second = subprocess.Popen([os.environ["BRASKO_EXE"]], cwd=self.work,
                                  env=dict(self.env, ALSOFT_DRIVERS="null",
                                           BRASKO_FRAME_COUNT_FILE=self.frame_count + "2"),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (second.kill(), second.wait()))
        instance = "brasko.instance%d" % second.pid
        wait_for(lambda: instance in self.ctl("-l").split(), 10, instance)
        self.assertIn("brasko", self.ctl("-l").split())

    def test_status_follows_clicks_on_the_window_and_commands(self):
        monitor = Monitor(self)
        steps = [(e2e.PLAY, "Playing"), ("pause", "Paused"), (e2e.PAUSE, "Playing"),
                 (e2e.PAUSE, "Paused"), ("play", "Playing"), (e2e.STOP, "Stopped"),
                 ("play-pause", "Playing"), ("play-pause", "Paused"), ("stop", "Stopped")]
        for action, status in steps:
            if isinstance(action, tuple):
                self.click(action)
                wait_for(lambda: self.ctl("status") == status, 5, "%s after a click" % status)
            else:
                self.command([action], status)
        # Each change announced once, with the new value; the track once, at the first Play.
        wait_for(lambda: len(monitor.statuses()) >= len(steps), 5, "every change announced")
        self.assertEqual([status for _, status in steps], monitor.statuses())
        self.assertEqual(1, monitor.text().count('string "Metadata"'))

    def test_play_pause_and_stop_change_the_buttons_and_the_sound(self):
        before = self.capture.frames()
        self.ctl("play-pause")
        onset = wait_for(lambda: self.capture.sound_after(before), 5, "the song")
        self.assert_song_time(onset + RATE // 10, 0.1, what="from its beginning")
        self.wait_for_looks({"play": "on", "pause": "off", "stop": "off"})
        self.wait_for_frames(onset + RATE)
        self.ctl("play-pause")
        self.wait_for_looks({"play": "on", "pause": "on"})
        held = float(self.ctl("position"))
        self.settle()
        before = self.capture.frames()
        self.ctl("play-pause")
        resumed = wait_for(lambda: self.capture.sound_after(before), 5, "the song to go on")
        self.assert_song_time(resumed + 1100, held + 1100 / RATE, what="from where it held")
        self.wait_for_looks({"play": "on", "pause": "off"})
        self.ctl("stop")
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "on"})
        self.settle()
        before = self.capture.frames()
        self.ctl("play-pause")
        onset = wait_for(lambda: self.capture.sound_after(before), 5, "the song after Stop")
        self.assert_song_time(onset + RATE // 10, 0.1, what="from its beginning again")
        self.wait_for_looks({"play": "on", "pause": "off", "stop": "off"})

    def test_position_and_seek_land_at_the_exact_time(self):
        self.command(["play"], "Playing")
        self.command(["pause"], "Paused")
        # Held still, to the microsecond; one whole percent of this song is 60 ms. Past the end
        # nothing happens; before the start means the start.
        for args, position in ((["2.345"], 2345000), (["1.5+"], 3845000), (["9"], 3845000),
                               (["1-"], 2845000), (["5-"], 0), (["3"], 3000000)):
            self.ctl("position", *args)
            self.assertEqual(["x %d" % position], self.props(PLAYER, "Position"), args)
        before = self.capture.frames()
        self.command(["play"], "Playing")
        resumed = wait_for(lambda: self.capture.sound_after(before), 5, "the song to go on")
        self.assert_song_time(resumed + 1100, 3 + 1100 / RATE, what="after position 3")

    def test_properties_have_their_mpris_types_and_values(self):
        root = {"CanQuit": "b false", "CanRaise": "b false", "HasTrackList": "b false",
                "Identity": 's "Brasko"', "DesktopEntry": 's "io.github.brasko.Brasko"',
                "SupportedUriSchemes": 'as 1 "file"', "SupportedMimeTypes": 'as 1 "audio/mpeg"'}
        player = {"Rate": "d 1", "MinimumRate": "d 1", "MaximumRate": "d 1", "Volume": "d 1",
                  "CanGoNext": "b false", "CanGoPrevious": "b false", "CanPlay": "b true",
                  "CanPause": "b true", "CanSeek": "b true", "CanControl": "b true",
                  "PlaybackStatus": 's "Stopped"', "Position": "x 0", "Metadata":
                  'a{sv} 1 "mpris:trackid" o "/org/mpris/MediaPlayer2/TrackList/NoTrack"'}
        self.assertEqual(root, dict(zip(root, self.props(ROOT, *root))))
        self.assertEqual(player, dict(zip(player, self.props(PLAYER, *player))))
        self.command(["play"], "Playing")
        self.command(["pause"], "Paused")
        self.ctl("volume", "0.3")
        self.ctl("position", "2")
        player.update(PlaybackStatus='s "Paused"', Position="x 2000000", Metadata=(
            'a{sv} 4 "mpris:trackid" o "/io/github/brasko/Brasko/Track" "mpris:length" x %d '
            '"xesam:title" s "granite.mp3" "xesam:url" s "file://%s/granite.mp3"'
            % (LENGTH, self.work)))
        self.assertEqual(player, dict(zip(player, self.props(PLAYER, *player))))
        self.assertEqual(str(LENGTH), self.ctl("metadata", "mpris:length"))

    def test_every_seek_sends_one_seeked_and_nothing_else_does(self):
        self.command(["play"], "Playing")
        self.command(["pause"], "Paused")
        monitor = Monitor(self)
        self.click((61, e2e.BAR_Y))  # 30 % of the song: 1.8 s
        wait_for(lambda: monitor.seeks() != [], 5, "Seeked after a click on the bar")
        for args in (["9"], ["2"], ["1+"], ["10+"], ["0.5"]):
            self.ctl("position", *args)
        wait_for(lambda: len(monitor.seeks()) >= 4, 5, "Seeked after each seek")
        self.assertEqual([1800000, 2000000, 3000000, 500000], monitor.seeks())

    def test_no_properties_changed_in_ten_seconds_of_steady_playback(self):
        shutil.copyfile(os.path.join(os.environ["BRASKO_RESSOURCES"], "..", "granite.mp3"),
                        os.path.join(self.work, "granite.mp3"))  # 88 s long
        monitor = Monitor(self)
        self.command(["play"], "Playing")
        wait_for(lambda: monitor.signals() > 0, 5, "the change to Playing announced")
        start = float(self.ctl("position"))
        wait_for(lambda: float(self.ctl("position")) >= start + 10, 15, "ten seconds of song",
                 every=0.5)
        self.assertEqual(1, monitor.signals(), monitor.text())

    def test_when_the_bus_goes_away_it_says_so_once_and_plays_as_before(self):
        self.stop_bus()
        said = lambda: open(self.out.name).read()  # noqa: E731
        wait_for(lambda: "lost the session bus" in said(), 5, "the player to say so")
        self.play_and_hear()
        self.wait_for_looks({"play": "on", "pause": "off", "stop": "off"})
        self.assertEqual(1, said().count("brasko: "), said())


if __name__ == "__main__":
    unittest.main(verbosity=2)
