#!/usr/bin/python3
"""The desktop controls (MPRIS) end to end: each test starts the player as player_e2e.py does on
a session bus of its own, which starts no services (so no playerctld), drives it with playerctl,
reads its types with busctl --user and what it announces with dbus-monitor."""
import os
import re
import subprocess
import unittest

import player_e2e as e2e
from player_e2e import RATE, setUpModule, tearDownModule, wait_for  # noqa: F401 (Xvfb)

PLAYER = "org.mpris.MediaPlayer2.Player"
LENGTH = int(e2e.SONG_SECONDS * 1000000)
TRACK, NO_TRACK = "/io/github/brasko/Brasko/Track", "/org/mpris/MediaPlayer2/TrackList/NoTrack"
BUS = ('<busconfig><type>session</type><listen>unix:dir=%s</listen><policy context="default">'
       '<allow own="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>'
       '</policy></busconfig>')


class MprisEndToEnd(e2e.PlayerTestCase):
    def bus_address(self):
        with open(os.path.join(self.work, "bus.conf"), "w") as conf:
            conf.write(BUS % self.work)
        self.address, pid = subprocess.run(
            ["dbus-daemon", "--config-file", conf.name, "--fork", "--print-address=1",
             "--print-pid=1"], capture_output=True, text=True, check=True).stdout.split()
        self.bus_pid = int(pid)
        self.addCleanup(self.stop_bus)
        return self.address

    def stop_bus(self):
        subprocess.run(["kill", str(self.bus_pid)], stderr=subprocess.DEVNULL)

    def setUp(self):
        super().setUp()
        wait_for(lambda: "brasko" in self.ctl("-l"), 5, "playerctl -l to list the player")

    def client(self, *command):
        return subprocess.run(command, capture_output=True, text=True, timeout=10, env=dict(
            os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)).stdout.strip()

    def ctl(self, *args, status=None):
        """playerctl for this player ("-l": for all); with status, waits until it says so."""
        said = self.client("playerctl", *(args if args == ("-l",) else ("-p", "brasko") + args))
        if status:
            wait_for(lambda: self.ctl("status") == status, 5, "%s after %s" % (status, args))
        return said

    def props(self, interface, names):
        said = self.client("busctl", "--user", "get-property", "org.mpris.MediaPlayer2.brasko",
                           "/org/mpris/MediaPlayer2", interface, *names)
        return dict(zip(names, said.splitlines()))

    def monitor(self):
        """Starts dbus-monitor on the player's signals; returns a function that reads it."""
        log = os.path.join(self.work, "monitor.log")
        with open(log, "w") as out:
            process = subprocess.Popen(["dbus-monitor", "--address", self.address,
                                        "type='signal',path='/org/mpris/MediaPlayer2'"], stdout=out)
        self.addCleanup(lambda: (process.terminate(), process.wait()))
        wait_for(lambda: "NameLost" in open(log).read(), 5, "dbus-monitor to start")
        return lambda: open(log).read()

    def play_pause_heard_from(self, second):
        before = self.capture.frames()
        self.ctl("play-pause")
        onset = wait_for(lambda: self.capture.sound_after(before), 5, "sound after play-pause")
        self.assert_song_time(onset + 1100, second + 1100 / RATE, what="after play-pause")
        return onset

    def test_a_second_player_takes_an_instance_name(self):
        second = subprocess.Popen([os.environ["BRASKO_EXE"]], cwd=self.work, env=dict(
            self.env, ALSOFT_DRIVERS="null", BRASKO_FRAME_COUNT_FILE=self.frame_count + "2"))
        self.addCleanup(lambda: (second.kill(), second.wait()))
        name = "brasko.instance%d" % second.pid
        wait_for(lambda: name in self.ctl("-l").split(), 10, name)

    def test_status_follows_clicks_on_the_window_and_commands(self):
        said = self.monitor()
        steps = [(e2e.PLAY, "Playing"), ("pause", "Paused"), (e2e.PAUSE, "Playing"),
                 (e2e.PAUSE, "Paused"), ("play", "Playing"), (e2e.STOP, "Stopped"),
                 ("play-pause", "Playing"), ("play-pause", "Paused"), ("stop", "Stopped")]
        for action, status in steps:
            self.click(action) if isinstance(action, tuple) else self.ctl(action)
            wait_for(lambda: self.ctl("status") == status, 5, "%s after %s" % (status, action))
        # Each change announced once, with its value; the track once, at the first Play.
        announced = lambda: re.findall(r'"PlaybackStatus"\s+variant\s+string "(\w+)"', said())
        wait_for(lambda: len(announced()) >= len(steps), 5, "every change announced")
        self.assertEqual([status for _, status in steps], announced())
        self.assertEqual(1, said().count('"Metadata"'))

    def test_play_pause_and_stop_change_the_buttons_and_the_sound(self):
        onset = self.play_pause_heard_from(0)
        self.wait_for_looks({"play": "on", "pause": "off", "stop": "off"})
        self.wait_for_frames(onset + RATE)
        self.ctl("play-pause")
        self.wait_for_looks({"play": "on", "pause": "on"})
        held = float(self.ctl("position"))
        self.settle()  # held: it goes on from there
        self.play_pause_heard_from(held)
        self.wait_for_looks({"play": "on", "pause": "off"})
        self.ctl("stop")
        self.wait_for_looks({"play": "off", "pause": "off", "stop": "on"})
        self.settle()  # stopped: the next sound is the song's beginning
        self.play_pause_heard_from(0)
        self.wait_for_looks({"play": "on", "pause": "off", "stop": "off"})

    def test_seeks_land_at_the_exact_time_and_each_sends_one_seeked(self):
        self.ctl("play", status="Playing")
        self.ctl("pause", status="Paused")
        said = self.monitor()
        # Held still, to the microsecond (one percent of this song is 60 ms): the bar's seek,
        # then playerctl's; past the end nothing happens, before the start means the start.
        steps = [((61, e2e.BAR_Y), 1800000), ("2.345", 2345000), ("1.5+", 3845000),
                 ("9", 3845000), ("1-", 2845000), ("10+", 2845000), ("5-", 0), ("3", 3000000)]
        for to, position in steps:
            self.click(to) if isinstance(to, tuple) else self.ctl("position", to)
            wait_for(lambda: self.props(PLAYER, ["Position"])["Position"] == "x %d" % position,
                     5, "position %d after %s" % (position, to))
        # One Seeked for each seek that moved, with where it landed.
        moved = [p for (_, p), (_, q) in zip(steps, [(None, None)] + steps) if p != q]
        seeks = lambda: [int(v) for v in re.findall(r"Seeked\n\s+int64 (\d+)", said())]
        wait_for(lambda: len(seeks()) >= len(moved), 5, "a Seeked for each seek")
        self.assertEqual(moved, seeks())
        self.play_pause_heard_from(3)

    def test_a_held_press_on_the_bar_and_a_held_key_each_send_one_seeked(self):
        self.ctl("play", status="Playing")
        self.ctl("pause", status="Paused")
        said = self.monitor()
        position = lambda: self.props(PLAYER, ["Position"])["Position"]
        # Held for 40 turns each: the press seeks again every turn, the key repeats.
        steps = [(("mousemove", "--window", self.window, 11, e2e.BAR_Y, "mousedown", 1),
                  ("mouseup", 1), 300000),  # 5 %
                 (("keydown", "Right"), ("keyup", "Right"), 5300000),
                 (("keydown", "Left"), ("keyup", "Left"), 300000)]
        for press, release, landed in steps:
            self.xdotool("windowfocus", "--sync", self.window, *press)
            self.wait_turns(40)
            self.xdotool(*release)
            wait_for(lambda: position() == "x %d" % landed, 5, "%d after %s" % (landed, press))
        seeks = lambda: [int(v) for v in re.findall(r"Seeked\n\s+int64 (\d+)", said())]
        self.settle()
        self.assertEqual([landed for _, _, landed in steps], seeks())

    def test_metadata_and_position_have_the_types_clients_need(self):
        self.assertEqual({"Metadata": 'a{sv} 1 "mpris:trackid" o "%s"' % NO_TRACK},
                         self.props(PLAYER, ["Metadata"]))
        self.ctl("play", status="Playing")
        self.ctl("pause", status="Paused")
        self.ctl("position", "2")
        self.ctl("volume", "0.3")  # changes nothing: the player has no volume
        self.assertEqual({"Position": "x 2000000", "Volume": "d 1", "PlaybackStatus": 's "Paused"',
                          "Metadata": 'a{sv} 4 "mpris:trackid" o "%s" "mpris:length" x %d '
                          '"xesam:title" s "granite.mp3" "xesam:url" s "file://%s/granite.mp3"'
                          % (TRACK, LENGTH, self.work)},
                         self.props(PLAYER, ["Position", "Volume", "PlaybackStatus", "Metadata"]))
        self.assertEqual(str(LENGTH), self.ctl("metadata", "mpris:length"))

    def test_no_properties_changed_in_ten_seconds_of_steady_playback(self):
        os.remove(os.path.join(self.work, "granite.mp3"))
        os.symlink(os.path.join(os.environ["BRASKO_RESSOURCES"], "..", "granite.mp3"),
                   os.path.join(self.work, "granite.mp3"))  # 88 s long
        said = self.monitor()
        self.ctl("play", status="Playing")
        wait_for(lambda: "PropertiesChanged" in said(), 5, "the change to Playing announced")
        start = float(self.ctl("position"))
        wait_for(lambda: float(self.ctl("position")) >= start + 10, 15, "ten seconds", every=0.5)
        self.assertEqual(1, said().count("path=/org/mpris/MediaPlayer2;"), said())

    def test_when_the_bus_goes_away_it_says_so_once_and_plays_as_before(self):
        self.stop_bus()
        said = lambda: open(self.out.name).read()
        wait_for(lambda: "lost the session bus" in said(), 5, "the player to say so")
        self.play_and_hear()
        self.wait_for_looks({"play": "on", "pause": "off", "stop": "off"})
        self.assertEqual(1, said().count("brasko: "), said())


if __name__ == "__main__":
    unittest.main(verbosity=2)
