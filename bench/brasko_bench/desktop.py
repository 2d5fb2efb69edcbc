"""The private desktop each run gets: an X server, a session bus, a sound server (or the
FIFO sink that stands for an ALSA card), and a scratch HOME and runtime folder."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from .common import RATE, ROOT, SINK
from .processes import bytes_read, cpu_seconds, stop


class Xserver:
    """A private Xvfb; the display number is the one it picks itself."""

    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read)
        self.display = ":" + number.decode().strip()

    def close(self):
        stop(self.process)


class Sink:
    """The FIFO that the ALSA default device writes into, read in real time."""

    def __init__(self, folder):
        self.fifo = os.path.join(folder, "sink.fifo")
        os.mkfifo(self.fifo)
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "bench", "run"), "--pace", self.fifo],
            stdout=subprocess.DEVNULL)

    def asoundrc(self):
        return ("# The bench's sound card: converts to 44.1 kHz 16-bit stereo and writes it to\n"
                "# a FIFO that bench/run reads at real-time speed.\n"
                "pcm.!default {\n  type plug\n"
                "  slave { pcm \"bench\"; format S16_LE; rate 44100; channels 2 }\n}\n"
                "pcm.bench {\n  type file\n  slave.pcm \"null\"\n"
                f"  file \"{self.fifo}\"\n  format \"raw\"\n}}\n")

    def consumed(self):
        return bytes_read(self.process.pid)

    def close(self):
        stop(self.process)


def pace(fifo):
    """Reads the FIFO at RATE bytes per second: a writer blocks when it runs ahead."""
    fd = os.open(fifo, os.O_RDWR)  # never sees end of file, never blocks on open
    burst = RATE // 20
    tokens = burst
    last = time.monotonic()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        now = time.monotonic()
        tokens = min(burst, tokens + (now - last) * RATE)
        last = now
        want = int(tokens) & ~3
        if want > 0:
            tokens -= len(os.read(fd, want))
        time.sleep(0.01)


class Bus:
    """A private D-Bus session bus, as a desktop session has one."""

    def __init__(self, folder):
        result = subprocess.run(
            ["dbus-daemon", "--session", "--fork", f"--address=unix:path={folder}/bus",
             "--print-address=1", "--print-pid=1"], stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, text=True, timeout=30)
        lines = result.stdout.split()
        if result.returncode != 0 or len(lines) != 2:
            raise RuntimeError("dbus-daemon did not start")
        self.address = lines[0]
        self.pid = int(lines[1])  # forked away from this script: ended by its id

    def cpu(self):
        return cpu_seconds(self.pid)

    def close(self):
        try:
            os.kill(self.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass


class PulseServer:
    """A private PulseAudio server with one null sink, reached through a socket of its own:
    it plays in real time into nothing, as a sound card nobody listens to."""

    def __init__(self, folder, runtime, bus):
        self.socket = os.path.join(runtime, "native")
        home = os.path.join(folder, "server-home")
        os.makedirs(home)
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home,
                    "XDG_RUNTIME_DIR": runtime, "PULSE_SERVER": "unix:" + self.socket,
                    "DBUS_SESSION_BUS_ADDRESS": bus.address, "LANG": "C.UTF-8"}
        self.log = os.path.join(folder, "pulseaudio.log")
        with open(self.log, "w") as out:
            self.process = subprocess.Popen(
                ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                 "--use-pid-file=no", "-L",
                 f"module-null-sink sink_name={SINK} rate=44100 channels=2 norewinds=1", "-L",
                 f"module-native-protocol-unix socket={self.socket} auth-anonymous=1",
                 # As on a desktop: a sink with nothing to play suspends after 5 s.
                 "-L", "module-suspend-on-idle"],
                env=self.env, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        deadline = time.monotonic() + 20
        while self.pactl("info") is None:
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.close()
                with open(self.log) as f:
                    errors = [line.strip() for line in f if line.startswith("E:")]
                raise RuntimeError("pulseaudio did not start" +
                                   (f": {errors[-1]}" if errors else ""))
            time.sleep(0.05)

    def pactl(self, *args):
        try:
            result = subprocess.run(["pactl", *args], env=self.env, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, text=True, timeout=10)
        except subprocess.TimeoutExpired:
            return None
        return result.stdout if result.returncode == 0 else None

    def cpu(self):
        return cpu_seconds(self.process.pid)

    def streams(self):
        """The streams playing to the server (pactl list sink-inputs): a list of
        (application, sample format, corked)."""
        found = []
        for block in re.split(r"^Sink Input #", self.pactl("list", "sink-inputs") or "",
                              flags=re.M)[1:]:
            name = re.search(r'^\s*application\.name = "(.*)"$', block, re.M)
            sample = re.search(r"^\s*Sample Specification: (.*)$", block, re.M)
            corked = re.search(r"^\s*Corked: (\w+)$", block, re.M)
            found.append((name.group(1) if name else "?", sample.group(1) if sample else "?",
                          bool(corked) and corked.group(1) == "yes"))
        return found

    def sink_state(self):
        for line in (self.pactl("list", "sinks", "short") or "").splitlines():
            fields = line.split()
            if len(fields) > 1 and fields[1] == SINK:
                return fields[-1]
        return "?"

    def check(self):
        """Raises when the server has ended."""
        if self.process.poll() is not None:
            with open(self.log) as f:
                said = [line.strip() for line in f if line[:2] in ("E:", "W:")]
            raise RuntimeError(f"the sound server ended (status {self.process.returncode})" +
                               (f": {said[-1]}" if said else ""))

    def close(self):
        stop(self.process)


class Scratch:
    """A desktop of its own for one run: HOME, runtime folder, X server, session bus and
    sound output (a PulseAudio server, or with output "alsa" the FIFO sink)."""

    def __init__(self, output, template=None):
        self.output = output
        self.folder = tempfile.mkdtemp(prefix="brasko-bench-")
        self.home = os.path.join(self.folder, "home")
        if template:
            shutil.copytree(template, self.home, symlinks=True)
        else:
            os.makedirs(self.home)
        self.runtime = os.path.join(self.folder, "run")
        os.makedirs(self.runtime, mode=0o700)
        self.x = self.bus = self.server = self.sink = None
        try:
            self.x = Xserver()
            self.bus = Bus(self.folder)
            if output == "pulse":
                self.server = PulseServer(self.folder, self.runtime, self.bus)
            else:
                self.sink = Sink(self.folder)
                with open(os.path.join(self.home, ".asoundrc"), "w") as f:
                    f.write(self.sink.asoundrc())
                self.alsoft = self.write("alsoft.conf", "[general]\ndrivers = alsa\n")
        except BaseException:
            self.close()
            raise

    def write(self, name, text):
        path = os.path.join(self.folder, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def env(self, extra=None):
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home,
               "DISPLAY": self.x.display, "XDG_RUNTIME_DIR": self.runtime, "LANG": "C.UTF-8",
               "NO_AT_BRIDGE": "1", "DBUS_SESSION_BUS_ADDRESS": self.bus.address}
        if self.server:
            env["PULSE_SERVER"] = self.server.env["PULSE_SERVER"]
        env.update(extra or {})
        return env

    def openal(self):
        """The environment that sends OpenAL Soft to this run's output."""
        if self.server:
            return {"ALSOFT_DRIVERS": "pulse"}
        return {"ALSOFT_CONF": self.alsoft}

    def close(self):
        for part in (self.sink, self.server, self.bus, self.x):
            if part is not None:
                part.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def sink_check(output, folder):
    """mpg123 plays a 5-second clip through the output: it must take about 5 s."""
    wav = os.path.join(folder, "clip.wav")
    clip = os.path.join(folder, "clip.mp3")
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "5",
                    "sine", "440"], check=True)
    subprocess.run(["lame", "--quiet", "-t", wav, clip], check=True)
    scratch = Scratch(output)
    try:
        started = time.monotonic()
        subprocess.run(["mpg123", "-q", "-o", output, clip], env=scratch.env(), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        return time.monotonic() - started
    finally:
        scratch.close()
