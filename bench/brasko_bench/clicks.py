"""From a click on the player's buttons to what the sound server (or OpenAL Soft's wave
writer) played."""

import os
import struct
import subprocess
import time

from .common import HALF_WAY, PAUSE_BUTTON, PERIOD, PLAY_BUTTON, ROOT, STOP_BUTTON, log
from .desktop import Scratch
from .figures import median_spread
from .processes import stop
from .recording import Recorder, SongFinder


def wave_frames(path):
    """Returns (frames written, data offset, frame size, format tag) of a wave file being
    written."""
    with open(path, "rb") as f:
        head = f.read(256)
    offset = 12
    channels = bits = tag = None
    while offset + 8 <= len(head):
        name, size = struct.unpack_from("<4sI", head, offset)
        if name == b"fmt ":
            tag, channels, _, _, _, bits = struct.unpack_from("<HHIIHH", head, offset + 8)
            if tag == 0xFFFE:
                tag = struct.unpack_from("<H", head, offset + 32)[0]
        if name == b"data":
            data = offset + 8
            frame = channels * bits // 8
            return (os.path.getsize(path) - data) // frame, data, frame, tag, channels
        offset += 8 + size
    return None


def first_sound(path, data, frame, tag, channels, start_frame):
    """Index of the first frame at or after start_frame with a sample that is not 0."""
    kind = "f" if tag == 3 else {2: "h", 4: "i"}[frame // channels]
    size = frame // channels
    with open(path, "rb") as f:
        f.seek(data + start_frame * frame)
        index = start_frame
        while True:
            block = f.read(frame * 4096)
            if len(block) < frame:
                return None
            count = len(block) // size
            samples = struct.unpack(f"<{count}{kind}", block[:count * size])
            for i, value in enumerate(samples):
                if value != 0:
                    return index + i // channels
            index += len(block) // frame


def wave_click(tools, args, brasko, found):
    """Click on Play to the first sound, through OpenAL Soft's wave writer. Two readings:
    by sample index (the writer mixes frames [k*P, (k+1)*P) once (k+1)*P/44100 s have passed
    since it started, P the period; the start is found from how the file grows), and by the
    moment the sample was in the file (polled every 2 ms). One run, added to found."""
    scratch = Scratch(args.output)
    process = None
    try:
        wave = os.path.join(scratch.folder, "out.wav")
        conf = scratch.write("wave.conf", f"[general]\ndrivers = wave\nperiod_size = {PERIOD}\n"
                             f"[wave]\nfile = {wave}\n")
        process = subprocess.Popen([brasko], cwd=ROOT,
                                   env=scratch.env({"ALSOFT_CONF": conf}),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if tools.x(scratch.x.display, "firstframe", "60", timeout=90) is None:
            raise RuntimeError("no window")
        time.sleep(0.5)
        # The writer has written at most (now - started) * 44100 frames: the earliest
        # start consistent with every reading is the estimate.
        started = None
        deadline = time.monotonic() + 0.6
        while time.monotonic() < deadline:
            info = wave_frames(wave)
            now = time.monotonic()
            if info:
                estimate = now - info[0] / 44100
                started = estimate if started is None else min(started, estimate)
            time.sleep(0.003)
        data, frame, tag, channels = info[1:]
        before = info[0]
        clicker = subprocess.Popen([tools.bench_x, "click", *map(str, PLAY_BUTTON)],
                                   env={**os.environ, "DISPLAY": scratch.x.display},
                                   stdout=subprocess.PIPE, text=True)
        # Watches what the writer adds until a sample is not 0.
        seen = None
        checked = before
        deadline = time.monotonic() + 3
        while seen is None and time.monotonic() < deadline:
            now = time.monotonic()
            written = wave_frames(wave)[0]
            if written > checked and first_sound(wave, data, frame, tag, channels,
                                                 checked) is not None:
                seen = now
            checked = written
            time.sleep(0.002)
        pressed = float(clicker.communicate(timeout=10)[0])
        time.sleep(0.3)
        index = first_sound(wave, data, frame, tag, channels, before)
        if index is not None and seen is not None:
            found["play"][0].append(started + (index // PERIOD + 1) * PERIOD / 44100 - pressed)
            found["play"][1].append(seen - pressed)
        tools.x(scratch.x.display, "close", timeout=10)
        process.wait(5)
    except (RuntimeError, subprocess.TimeoutExpired, TypeError, ValueError) as error:
        log(f"  click: {error}")
    finally:
        stop(process)
        scratch.close()


def server_click(tools, args, brasko, env, found, finder):
    """Clicks on Play, on Pause, on Pause again after 1 s of pause, on the progress bar half
    way and on Stop, each 1.5 s after the last, and what the server played after each,
    recorded from its monitor from before the first: the first sound after Play and after
    the resume, the first frame of lasting silence (0.3 s) after Pause and Stop, and the first
    frame of the song's middle after the seek. Two readings of each: by the frame's index in
    the recording, and by the moment it was seen (polled every 2 to 5 ms; for the seek, the
    moment the whole second after the click was there, so not read). The click on Play is
    also watched at the X server, to the first frame that changes the window. One run, added
    to found."""
    scratch = Scratch(args.output)
    process = recorder = None
    # The engine's own arithmetic: the length in whole milliseconds, half of it, and the
    # frame of that millisecond.
    length_ms = finder.length * 1000 // 44100
    middle = (length_ms * 50 // 100) * 44100 // 1000
    steps = (("play", PLAY_BUTTON, "sound"), ("pause", PAUSE_BUTTON, "silence"),
             ("resume", PAUSE_BUTTON, "sound"), ("seek", HALF_WAY, "middle"),
             ("stop", STOP_BUTTON, "silence"))
    try:
        process = subprocess.Popen([brasko], cwd=ROOT,
                                   env=scratch.env({**scratch.openal(), **env}),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if tools.x(scratch.x.display, "firstframe", "60", timeout=90) is None:
            raise RuntimeError("no window")
        recorder = Recorder(scratch.server)
        time.sleep(1.0)
        for i, (what, button, awaited) in enumerate(steps):
            if i:
                time.sleep(1.5 if what != "resume" else 1.0)
            frame = recorder.frames()
            if what == "play":
                # The same click, while the X server is watched for the first frame it
                # changes.
                clicker = subprocess.Popen([tools.bench_x, "clickframe", *map(str, button)],
                                           env={**os.environ, "DISPLAY": scratch.x.display},
                                           stdout=subprocess.PIPE, text=True)
            else:
                pressed = float(tools.x(scratch.x.display, "click", *map(str, button)))
            if awaited == "sound":
                index, seen = recorder.first_sound(frame, 3.0)
            elif awaited == "silence":
                index, seen = recorder.first_silence(frame, 44100 * 3 // 10, 3.0)
                if seen is not None:
                    seen -= 0.3  # seen once it had lasted that long
            else:
                index = recorder.find(finder.song[middle:middle + 4096], frame, 44100)
                seen = None
            if what == "play":
                pressed, shown = clicker.communicate(timeout=10)[0].split()
                pressed = float(pressed)
                if shown != "none":
                    found["frame"][0].append(float(shown) - pressed)
            if index is None:
                raise RuntimeError(f"nothing after the click ({what})")
            if recorder.date(index) < pressed - 0.05:
                raise RuntimeError(f"heard before the click ({what})")
            found[what][0].append(recorder.date(index) - pressed)
            if seen is not None:
                found[what][1].append(seen - pressed)
        tools.x(scratch.x.display, "close", timeout=10)
        process.wait(5)
    except (RuntimeError, subprocess.TimeoutExpired, TypeError, ValueError) as error:
        log(f"  click: {error}")
    finally:
        if recorder is not None:
            recorder.close()
        stop(process)
        scratch.close()


def click_section(tools, args):
    pulse = args.output == "pulse"
    builds = [("brasko", tools.brasko, {})]
    if pulse:
        builds.append(("brasko through OpenAL Soft", tools.brasko, {"BRASKO_OUTPUT": "openal"}))
    if args.baseline:
        builds.append(("brasko baseline",
                       os.path.join(os.path.abspath(args.baseline), "brasko"), {}))
    actions = {"play": "click on Play → first sound",
               "pause": "click on Pause → lasting silence",
               "resume": "click on Pause after 1 s of pause → first sound",
               "seek": "click on the bar half way → first frame of the middle",
               "stop": "click on Stop → lasting silence"}
    found = {label: {what: ([], []) for what in (actions if pulse else ["play"])}
             for label, _, _ in builds}
    if pulse:
        for label in found:
            found[label]["frame"] = ([], [])
    finder = SongFinder() if pulse else None
    for r in range(args.clicks):
        for label, path, env in builds if r % 2 == 0 else builds[::-1]:
            log(f"click {r + 1}/{args.clicks}: {label}")
            if pulse:
                server_click(tools, args, path, env, found[label], finder)
            else:
                wave_click(tools, args, path, found[label])
    rows = []
    for label, _, env in builds:
        if pulse:
            command = f"`{label}` through the server, parec on its monitor ×{args.clicks}"
            where = "at the server"
        else:
            command = f"`{label}`, OpenAL Soft wave writer, XTest press ×{args.clicks}"
            where = "in the file"
        for what, (by_index, by_seen) in found[label].items():
            if what == "frame":
                rows.append([f"{label}: click on Play → its first frame, seen by the X server",
                             median_spread(by_index, 1000, 0), "ms",
                             f"`{label}`, `bench_x clickframe` (Damage) ×{args.clicks}"])
                continue
            rows.append([f"{label}: {actions[what]}, by its sample index",
                         median_spread(by_index, 1000, 0), "ms", command])
            if by_seen:
                rows.append([f"{label}: {actions[what]} seen {where}",
                             median_spread(by_seen, 1000, 0), "ms", command])
    return rows
