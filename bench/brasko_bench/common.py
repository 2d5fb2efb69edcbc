"""What every measurement shares: the repository, the song, the player's buttons, the
sound server's sink, and the log."""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SONG = os.path.join(ROOT, "granite.mp3")
RATE = 176400  # bytes per second of 44.1 kHz 16-bit stereo
PLAY_BUTTON = (15, 114)
PAUSE_BUTTON = (43, 113)
STOP_BUTTON = (78, 113)
HALF_WAY = (101, 146)  # on the progress bar: a seek to 50 % of the song
PERIOD = 1024  # frames OpenAL Soft's wave writer mixes at a time
SINK = "bench"  # the sound server's null sink
SNAPSHOT = 22050  # frames of each recording that shows the song's position (0.5 s)

# What the bench runs, and the Debian package each comes from.
PACKAGES = {"cmake": "cmake", "Xvfb": "xvfb", "dbus-daemon": "dbus", "pulseaudio": "pulseaudio",
            "pactl": "pulseaudio-utils", "parec": "pulseaudio-utils", "qmmp": "qmmp",
            "audacious": "audacious", "mpv": "mpv", "mpg123": "mpg123", "sox": "sox",
            "lame": "lame", "valgrind": "valgrind", "callgrind_control": "valgrind",
            "numpy": "python3-numpy"}


def log(message):
    print(message, file=sys.stderr, flush=True)
