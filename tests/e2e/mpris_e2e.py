#!/usr/bin/python3
"""The desktop controls (MPRIS) end to end: each test starts the player as player_e2e.py does on
a session bus of its own, which starts no services (so no playerctld), drives it with playerctl,
reads its types with busctl --user and what it announces with dbus-monitor. Songs with tags are
the test song with tag bytes written here, or converted by sox with Vorbis comments."""
import os
import re
import signal
import subprocess
import unittest
from urllib.parse import quote

import player_e2e as e2e
from player_e2e import RATE, setUpModule, tearDownModule, wait_for  # noqa: F401 (Xvfb)

PLAYER = "org.mpris.MediaPlayer2.Player"
LENGTH = int(e2e.SONG_SECONDS * 1000000)
TRACK, NO_TRACK = "/io/github/brasko/Brasko/Track/", "/org/mpris/MediaPlayer2/TrackList/NoTrack"
BUS = ('<busconfig><type>session</type><listen>unix:dir=%s</listen><policy context="default">'
       '<allow own="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>'
       '</policy></busconfig>')


def syncsafe(size):
    return bytes((size >> shift) & 0x7f for shift in (21, 14, 7, 0))


def id3v2(version, frames):
    """An ID3v2 tag of text frames, each given as (id, encoding byte + text)."""
    body = b"".join(name + (syncsafe(len(data)) if version == 4 else len(data).to_bytes(4, "big"))
                    + b"\0\0" + data for name, data in frames)
    return b"ID3" + bytes([version, 0, 0]) + syncsafe(len(body)) + body


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

    def monitor(self, rule="type='signal',path='/org/mpris/MediaPlayer2'", name="monitor"):
        """Starts dbus-monitor on the bus's messages that match rule (by default the player's
        signals), logged in the scratch folder under name; returns a function that reads it."""
        log = os.path.join(self.work, name + ".log")
        with open(log, "w") as out:
            process = subprocess.Popen(["dbus-monitor", "--address", self.address, rule], stdout=out)
        self.addCleanup(lambda: (process.terminate(), process.wait()))
        wait_for(lambda: "NameLost" in open(log).read(), 5, "dbus-monitor to start")
        return lambda: open(log).read()

    def song(self, name, head=b"", tail=b""):
        """The test song in the scratch folder under name, with bytes before and after it."""
        path = os.path.join(self.work, name)
        with open(os.environ["BRASKO_E2E_SONG"], "rb") as song, open(path, "wb") as out:
            out.write(head + song.read() + tail)
        return path

    def converted(self, name, comments):
        """The test song as FLAC or Ogg Vorbis (by name), written by sox with the given KEY=value
        Vorbis comments."""
        path = os.path.join(self.work, name)
        subprocess.run(["sox", os.environ["BRASKO_E2E_SONG"], *[arg for comment in comments for
                        arg in ("--add-comment", comment)], path], check=True)
        return path

    def open_uri(self, uri):
        """Calls OpenUri; returns the error the player answers with, empty for none."""
        return subprocess.run(
            ["dbus-send", "--print-reply", "--dest=org.mpris.MediaPlayer2.brasko",
             "/org/mpris/MediaPlayer2", PLAYER + ".OpenUri", "string:" + uri],
            capture_output=True, text=True, timeout=10,
            env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)).stderr.strip()

    def start_second(self, *args):
        """Starts the player again on the same bus and display, with its output in a file."""
        out = open(os.path.join(self.work, "second.out"), "w+")
        self.addCleanup(out.close)
        second = subprocess.Popen([os.environ["BRASKO_EXE"], *args], cwd=self.work, env=dict(
            self.env, BRASKO_FRAME_COUNT_FILE=self.frame_count + "2"), stdout=out,
            stderr=subprocess.STDOUT)
        self.addCleanup(lambda: (second.poll() is None and second.kill(), second.wait()))
        return second, lambda: open(out.name).read()

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
                          % (TRACK + "1", LENGTH, self.work)},
                         self.props(PLAYER, ["Position", "Volume", "PlaybackStatus", "Metadata"]))
        self.assertEqual(str(LENGTH), self.ctl("metadata", "mpris:length"))

    def test_open_uri_plays_a_flac_from_its_start_as_a_new_track(self):
        flac = self.converted("T\u00fcr 1.flac", [])
        self.ctl("play", status="Playing")
        self.ctl("position", "4")
        self.ctl("pause", status="Paused")
        self.settle()  # held at 4 s: the next sound is the FLAC's
        said = self.monitor()
        before = self.capture.frames()
        self.assertEqual("", self.open_uri("file://" + quote(flac)))
        onset = wait_for(lambda: self.capture.sound_after(before), 5, "the FLAC to sound")
        self.assert_song_time(onset + 1100, 1100 / RATE, what="after OpenUri")
        wait_for(lambda: TRACK + "2" in said(), 5, "the new track announced")
        self.assertEqual("T\u00fcr 1.flac '%s2' file://%s" % (TRACK, quote(flac)), self.ctl(
            "metadata", "--format", "{{xesam:title}} {{mpris:trackid}} {{xesam:url}}"))
        self.assertAlmostEqual(LENGTH, int(self.ctl("metadata", "mpris:length")), delta=100000)

    def test_uris_that_name_no_playable_local_file_are_refused_and_the_song_goes_on(self):
        self.ctl("play", status="Playing")
        folder = "file://" + quote(self.work)
        for uri in ["http://example.com/song.flac", "file://elsewhere" + quote(self.work) +
                    "/granite.mp3", folder + "/gran%00ite.mp3", folder + "/missing.flac"]:
            self.assertRegex(self.open_uri(uri), "^Error org.freedesktop.DBus.Error.InvalidArgs: ",
                             uri)
        self.assertEqual("Playing '%s1'" % TRACK, self.ctl("metadata", "--format",
                                                      "{{status}} {{mpris:trackid}}"))

    def test_tags_of_each_kind_reach_the_metadata_and_the_title_falls_back_to_the_name(self):
        utf16 = lambda text: b"\1" + text.encode("utf-16")  # with its byte order mark
        utf8 = lambda text: b"\3" + text.encode()
        songs = [
            (self.song("v23.mp3", id3v2(3, [(b"TIT2", utf16("Gr\u00fc\u00dfe \U0001d11e")),
                                            (b"TPE1", utf16("\u00c4rzte")),
                                            (b"TALB", utf16("\u00d6l"))])),
             "Gr\u00fc\u00dfe \U0001d11e|\u00c4rzte|\u00d6l"),
            (self.song("v24.mp3", id3v2(4, [(b"TIT2", utf8("\u00d1and\u00fa")),
                                            (b"TPE1", utf8("Lo\u00efc"))])),
             "\u00d1and\u00fa|Lo\u00efc|"),
            (self.song("v1.mp3", tail=b"TAG" + b"".join(f.ljust(30, b"\0") for f in
                                                         [b"Caf\xe9", b"Old", b"Tape"]) + bytes(35)),
             "Caf\u00e9|Old|Tape"),
            (self.converted("comment.flac", ["title=Vorbis", "ALBUM=Comment"]), "Vorbis||Comment"),
            (self.converted("comment.ogg", ["ARTIST=Ogg"]), "comment.ogg|Ogg|"),
            (self.song(os.fsdecode(b"caf\xe9.mp3")), "caf\ufffd.mp3||"),  # not UTF-8
        ]
        for path, expected in songs:
            self.assertEqual("", self.open_uri("file://" + quote(os.fsencode(path))))
            tags = lambda: self.ctl("metadata", "--format", "{{xesam:title}}|{{xesam:artist}}|"
                                    "{{xesam:album}}")
            wait_for(lambda: tags() == expected, 5, "%s from %s" % (expected, path))

    def test_a_second_start_hands_over_its_song_raises_the_window_and_exits(self):
        flac = self.converted("hand over.flac", [])
        cover = subprocess.Popen(["xmessage", "-title", "cover", "-geometry", "400x300+0+0", "cover"])
        self.addCleanup(lambda: (cover.kill(), cover.wait()))
        stacked = lambda: subprocess.run(["xdotool", "search", "--name", "^(cover|Brasko :: Velmar)$"],
                                         capture_output=True, text=True).stdout.split()
        wait_for(lambda: len(stacked()) == 2 and stacked()[-1] != self.window, 5,
                 "the cover over the player")
        before = self.capture.frames()
        second, said = self.start_second("hand over.flac")  # relative to its folder
        self.assertEqual(0, second.wait(10), said())
        onset = wait_for(lambda: self.capture.sound_after(before), 5, "the handed song to sound")
        self.assert_song_time(onset + 1100, 1100 / RATE, what="after the hand-over")
        self.assertEqual("file://" + quote(flac), self.ctl("metadata", "xesam:url"))
        # Still one player's window, now over the cover.
        wait_for(lambda: stacked()[1:] == [self.window], 5, "the player raised over the cover")

    def test_a_song_handed_over_that_cannot_be_played_is_refused_and_told_once_on_the_desktop(self):
        seen = self.monitor("interface='org.freedesktop.Notifications'", "notices")
        song = os.path.join(self.work, "not a s\u00f3ng.mp3")
        with open(song, "w") as out:
            out.write("These are words, not sound.\n")
        second, said = self.start_second(song)
        self.assertEqual(1, second.wait(10), said())
        self.assertIn("not a s\u00f3ng.mp3", said())
        self.assertEqual({"Metadata": 'a{sv} 1 "mpris:trackid" o "%s"' % NO_TRACK},
                         self.props(PLAYER, ["Metadata"]))
        notices = lambda: re.findall(r"member=Notify\n(.*\n.*\n.*\n.*\n.*)", seen())
        wait_for(lambda: notices(), 5, "the notice")
        self.assertEqual(1, len(notices()), seen())
        self.assertIn("not a s\u00f3ng.mp3", notices()[0])

    def test_a_start_with_a_song_on_a_frozen_bus_opens_a_window_of_its_own(self):
        os.kill(self.bus_pid, signal.SIGSTOP)
        self.addCleanup(os.kill, self.bus_pid, signal.SIGCONT)
        second, said = self.start_second(self.song("frozen.mp3"))
        found = subprocess.run([os.environ["BRASKO_XWIN"], "find", str(second.pid), "10"])
        self.assertEqual(0, found.returncode, said())
        self.assertIn("no answer from the session bus", said())

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
