"""What the sound server played: recorded from its null sink's monitor, and found in the
song."""

import os
import subprocess
import threading
import time

from .common import RATE, SINK, SNAPSHOT, SONG, log
from .processes import stop


class Recorder:
    """What the server plays, recorded from its null sink's monitor (parec) as 16-bit
    stereo, with the time it was recorded: the monitor delivers the sink's samples as the
    sink plays them, in real time, so the earliest start consistent with every reading
    dates each sample by its index."""

    def __init__(self, server):
        self.process = subprocess.Popen(
            ["parec", "-d", SINK + ".monitor", "--format=s16le", "--rate=44100",
             "--channels=2", "--raw", "--latency-msec=10"], env=server.env,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.data = bytearray()
        self.start = None
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        fd = self.process.stdout.fileno()
        while True:
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            now = time.monotonic()
            self.data += chunk
            estimate = now - len(self.data) / RATE
            self.start = estimate if self.start is None else min(self.start, estimate)

    def frames(self):
        return len(self.data) // 4

    def samples(self, first=0, last=None):
        import numpy
        end = len(self.data) // 4 if last is None else last
        return numpy.frombuffer(bytes(self.data[first * 4:end * 4]), "<i2")

    def wait(self, frames, timeout=10.0):
        deadline = time.monotonic() + timeout
        while self.frames() < frames:
            if time.monotonic() > deadline or self.process.poll() is not None:
                stop(self.process)
                said = self.process.stderr.read().decode(errors="replace").strip()
                raise RuntimeError(f"parec recorded {self.frames()} of {frames} frames: " +
                                   (said.splitlines()[-1] if said else "too slow"))
            time.sleep(0.01)

    def date(self, frame):
        return self.start + frame / 44100

    def first_sound(self, frame, timeout):
        """Waits for a sample that is not 0 at or after frame; returns its frame and the
        moment it was seen, or (None, None)."""
        import numpy
        deadline = time.monotonic() + timeout
        while True:
            now = time.monotonic()
            end = self.frames()
            loud = numpy.flatnonzero(self.samples(frame, end))
            if len(loud):
                return frame + int(loud[0]) // 2, now
            frame = end
            if now > deadline:
                return None, None
            time.sleep(0.002)

    def first_silence(self, frame, length, timeout):
        """Waits for a run of at least length frames of 0 at or after frame; returns the
        frame it starts at and the moment it was seen, or (None, None)."""
        import numpy
        deadline = time.monotonic() + timeout
        while True:
            now = time.monotonic()
            recorded = self.samples(frame).reshape(-1, 2)
            loud = numpy.flatnonzero(recorded.any(axis=1))
            edges = numpy.concatenate(([-1], loud, [len(recorded)]))
            runs = numpy.flatnonzero(numpy.diff(edges) > length)
            if len(runs):
                return frame + int(edges[runs[0]]) + 1, now
            if now > deadline:
                return None, None
            time.sleep(0.005)

    def find(self, excerpt, frame, within):
        """The frame at or after frame, within `within` frames, where the mono excerpt
        starts, once that much is recorded; None when it is not there."""
        import numpy
        self.wait(frame + within + len(excerpt), timeout=within / 44100 + 5)
        mono = self.samples(frame, frame + within + len(excerpt)).reshape(-1, 2).mean(axis=1)
        n = len(excerpt)
        correlation = numpy.correlate(mono, excerpt, "valid")
        energy = numpy.concatenate(([0.0], numpy.cumsum(mono * mono)))
        window = energy[n:] - energy[:-n]
        score = correlation / numpy.sqrt(numpy.maximum(window, 1e-9) * float(excerpt @ excerpt))
        best = int(numpy.argmax(score))
        return frame + best if score[best] > 0.9 else None

    def close(self):
        stop(self.process)
        self.thread.join(2)
        self.process.stderr.close()


def snapshot(server):
    """Half a second of what the server plays: (time of its first sample, samples); None
    when parec failed twice."""
    for attempt in range(2):
        recorder = Recorder(server)
        try:
            recorder.wait(SNAPSHOT)
            return recorder.start, recorder.samples(0, SNAPSHOT)
        except RuntimeError as error:
            log(f"  {error}")
        finally:
            recorder.close()
    return None


class SongFinder:
    """Finds where in granite.mp3 a recording of the server comes from: normalised
    cross-correlation of its mono mix against the whole song decoded by mpg123."""

    def __init__(self):
        import numpy
        raw = subprocess.run(["mpg123", "-q", "-s", SONG], stdout=subprocess.PIPE,
                             check=True).stdout
        song = numpy.frombuffer(raw, "<i2").reshape(-1, 2).mean(axis=1)
        self.song = song
        self.length = len(song)
        self.size = 1 << (self.length + SNAPSHOT).bit_length()
        self.spectrum = numpy.fft.rfft(song, self.size)
        self.energy = numpy.concatenate(([0.0], numpy.cumsum(song * song)))

    def position(self, samples):
        """Seconds into the song where the recording starts, or None when it is silent or
        not found; and "silent", "song" or "no match"."""
        import numpy
        mono = samples.reshape(-1, 2).mean(axis=1)
        power = float(numpy.dot(mono, mono))
        if not numpy.any(samples):
            return None, "silent"
        n = len(mono)
        spectrum = numpy.fft.rfft(mono, self.size)
        correlation = numpy.fft.irfft(self.spectrum * numpy.conj(spectrum), self.size)
        correlation = correlation[:self.length - n + 1]
        window = self.energy[n:] - self.energy[:-n]
        score = correlation / numpy.sqrt(numpy.maximum(window, 1e-9) * power)
        best = int(numpy.argmax(score))
        if score[best] < 0.9:
            return None, "no match"
        return best / 44100, "song"
