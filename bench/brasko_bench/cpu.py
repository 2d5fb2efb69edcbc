"""The CPU table: every subject in turns, on a desktop of its own, over a window of steady
state."""

import os
import shutil
import signal
import subprocess
import time

from .common import PAUSE_BUTTON, PLAY_BUTTON, RATE, ROOT, SINK, SONG, STOP_BUTTON, log
from .desktop import Scratch
from .figures import median_spread, table
from .processes import cpu_seconds, peak_rss_mib
from .recording import snapshot


class Subject:
    """One program measured in the CPU table. command may hold "{ao}", replaced by the
    output's name (pulse or alsa); clicks are window points clicked 0.3 s after the first
    frame and then 3 s apart."""

    def __init__(self, key, name, command, window, clicks=(), cwd=ROOT, env=None,
                 prime=False, openal=False):
        self.key = key  # what --subjects selects it by
        self.name = name
        self.command = command
        self.window = window
        self.clicks = list(clicks)
        self.cwd = cwd
        self.env = env or {}
        self.prime = prime  # run once first, so that its own first-start work is done
        self.openal = openal  # plays through OpenAL Soft: sent to the output by environment
        self.template = None

    def argv(self, output):
        return [a.replace("{ao}", output) for a in self.command] if self.command else None

    def shown(self, output):
        if not self.command:
            return "(the sound server alone)"
        env = " ".join(f"{k}={v}" for k, v in self.env.items())
        if self.openal:
            env = (env + (" ALSOFT_DRIVERS=pulse" if output == "pulse"
                          else " ALSOFT_CONF=<drivers = alsa>")).strip()
        where = "" if self.cwd == ROOT else f"(cd {self.cwd}) "
        text = where + (env + " " if env else "") + " ".join(self.argv(output))
        names = {PLAY_BUTTON: "Play", PAUSE_BUTTON: "Pause", STOP_BUTTON: "Stop"}
        if self.clicks:
            text += ", " + " then ".join(f"{names.get(c, '?')} clicked at {c[0]},{c[1]}"
                                         for c in self.clicks)
        return text.replace(ROOT + "/", "")


def measure(tools, subject, output, seconds, warmup, finder=None):
    """Starts the subject, lets it settle, measures one window; returns a dict of figures."""
    scratch = Scratch(output, subject.template)
    figures = {}
    process = None
    before = after = None
    try:
        env = dict(subject.env)
        if subject.openal:
            env.update(scratch.openal())
        probe = None
        if subject.window:
            probe = subprocess.Popen([tools.bench_x, "firstframe", "60"],
                                     env={**os.environ, "DISPLAY": scratch.x.display},
                                     stdout=subprocess.PIPE, text=True)
            time.sleep(0.05)
        started = time.monotonic()
        if subject.command:
            process = subprocess.Popen(subject.argv(output), cwd=subject.cwd,
                                       env=scratch.env(env), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, start_new_session=True)
        settle = started + warmup
        if probe is not None:
            out, _ = probe.communicate(timeout=90)
            if probe.returncode == 0:
                figures["first_frame"] = float(out) - started
        for i, point in enumerate(subject.clicks):
            time.sleep(3.0 if i else 0.3)
            tools.x(scratch.x.display, "click", *map(str, point))
            settle = max(settle, time.monotonic() + 2.0)
        time.sleep(max(0.0, settle - time.monotonic()))
        if process is not None and process.poll() is not None:
            raise RuntimeError(f"{subject.name} ended early (status {process.returncode})")
        if finder is not None and scratch.server:
            before = snapshot(scratch.server)

        def readings():
            return {"player": cpu_seconds(process.pid) if process else None,
                    "x": cpu_seconds(scratch.x.process.pid), "bus": scratch.bus.cpu(),
                    "server": scratch.server.cpu() if scratch.server else None,
                    "sink": scratch.sink.consumed() if scratch.sink else None,
                    "time": time.monotonic()}

        # The X server counts the frames the window is given over the same seconds.
        counter = None
        if subject.window and process is not None:
            counter = subprocess.Popen([tools.bench_x, "frames", f"{seconds:g}"],
                                       env={**os.environ, "DISPLAY": scratch.x.display},
                                       stdout=subprocess.PIPE, text=True)
        start = readings()
        time.sleep(seconds)
        end = readings()
        if counter is not None:
            out, _ = counter.communicate(timeout=10)
            if counter.returncode == 0:
                count, counted = out.split()
                figures["frames"] = int(count) / float(counted)
        if process is not None:
            figures["rss"] = peak_rss_mib(process.pid)
            if process.poll() is not None:
                raise RuntimeError(f"{subject.name} ended during the measurement")
        minutes = (end["time"] - start["time"]) / 60
        for key in ("player", "x", "bus", "server"):
            if start[key] is not None and end[key] is not None:
                figures[key] = (end[key] - start[key]) / minutes
        figures["total"] = sum(figures.get(k, 0.0) for k in ("player", "x", "bus", "server"))
        if scratch.sink:
            figures["sink"] = (end["sink"] - start["sink"]) / (end["time"] - start["time"]) / RATE
        if scratch.server:
            scratch.server.check()
            streams = scratch.server.streams()
            figures["streams"] = streams
            figures["stream"] = (", ".join("corked" if c else "running" for _, _, c in streams)
                                 or "none")
            figures["sink_state"] = scratch.server.sink_state()
            if finder is not None:
                after = snapshot(scratch.server)
        if subject.window and process is not None:
            tools.x(scratch.x.display, "close", timeout=10)
            try:
                process.wait(3)
            except subprocess.TimeoutExpired:
                pass
    finally:
        if process is not None and process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        scratch.close()
    if finder is not None and output == "pulse" and (before is None or after is None):
        figures["heard"] = "not recorded"
    if before is not None and after is not None:
        (t0, s0), (t1, s1) = before, after
        p0, heard0 = finder.position(s0)
        p1, heard1 = finder.position(s1)
        figures["heard"] = heard0 if heard0 == heard1 else f"{heard0} → {heard1}"
        if p0 is not None and p1 is not None:
            figures["song"] = (p1 - p0) / (t1 - t0)
    return figures


def set_ini(path, section, key, value):
    """Sets key in [section] of an INI file, adding either where missing."""
    with open(path) as f:
        lines = f.read().splitlines()
    header = f"[{section}]"
    if header not in lines:
        lines += ["", header, f"{key}={value}"]
    else:
        at = lines.index(header) + 1
        end = next((i for i in range(at, len(lines)) if lines[i].startswith("[")), len(lines))
        for i in range(at, end):
            if lines[i].split("=", 1)[0] == key:
                lines[i] = f"{key}={value}"
                break
        else:
            lines.insert(at, f"{key}={value}")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def choose_output(home, output):
    """Points a primed HOME of qmmp or audacious at the output, whatever they found by
    themselves on their first start."""
    qmmprc = os.path.join(home, ".qmmp", "qmmprc")
    if os.path.exists(qmmprc):
        set_ini(qmmprc, "Output", "current_plugin", output)
    registry = os.path.join(home, ".config", "audacious", "plugin-registry")
    if os.path.exists(registry):
        wanted = {"pulse": "pulse_audio.so", "alsa": "alsa.so"}[output]
        with open(registry) as f:
            lines = f.read().splitlines()
        plugin = None
        for i, line in enumerate(lines):
            word, _, rest = line.partition(" ")
            if word in ("transport", "playlist", "input", "effect", "output", "vis", "general",
                        "iface"):
                plugin = (word, os.path.basename(rest))
            elif word == "enabled" and plugin and plugin[0] == "output":
                lines[i] = f"enabled {int(plugin[1] == wanted)}"
        with open(registry, "w") as f:
            f.write("\n".join(lines) + "\n")


def prime(tools, subject, output, folder):
    """Runs a peer once in a HOME of its own, which later runs start from a copy of."""
    scratch = Scratch(output)
    try:
        process = subprocess.Popen(subject.argv(output), cwd=subject.cwd,
                                   env=scratch.env(subject.env), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        if subject.window:
            tools.x(scratch.x.display, "firstframe", "60", timeout=90)
        time.sleep(3)
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(10)
        template = os.path.join(folder, subject.key + "-home")
        asoundrc = os.path.join(scratch.home, ".asoundrc")
        if os.path.exists(asoundrc):
            os.remove(asoundrc)
        shutil.copytree(scratch.home, template, symlinks=True)
        choose_output(template, output)
        subject.template = template
    finally:
        scratch.close()


def brasko_subjects(path, label):
    """The player playing, idle, stopped and paused. Through a sound server it plays through
    its own client of the server; elsewhere, and when BRASKO_OUTPUT asks, through OpenAL
    Soft."""
    return [Subject("brasko", label, [path], True, clicks=[PLAY_BUTTON], openal=True),
            Subject("brasko-idle", f"{label} idle", [path], True, openal=True),
            Subject("brasko-stopped", f"{label} stopped", [path], True,
                    clicks=[PLAY_BUTTON, STOP_BUTTON], openal=True),
            Subject("brasko-paused", f"{label} paused", [path], True,
                    clicks=[PLAY_BUTTON, PAUSE_BUTTON], openal=True)]


def all_subjects(tools, args):
    subjects = []
    if args.output == "pulse":
        subjects.append(Subject("server", "sound server alone", None, False))
    subjects.append(Subject("floor", "drawing every frame (bench_floor)",
                            [tools.bench_floor], True))
    subjects += brasko_subjects(tools.brasko, "brasko")
    if args.output == "pulse":
        subjects.append(Subject("brasko-openal", "brasko through OpenAL Soft", [tools.brasko],
                                True, clicks=[PLAY_BUTTON], env={"BRASKO_OUTPUT": "openal"},
                                openal=True))
    if args.baseline:
        # Another build of the player beside this one, for before/after comparisons.
        subjects += brasko_subjects(os.path.join(os.path.abspath(args.baseline), "brasko"),
                                    "brasko baseline")
    subjects += [
        Subject("qmmp", "qmmp", ["qmmp", SONG], True, prime=True),
        Subject("audacious", "audacious", ["audacious", SONG], True, prime=True),
        Subject("mpv", "mpv --no-video", ["mpv", "--no-video", "--ao={ao}", SONG], False),
        Subject("mpg123", "mpg123", ["mpg123", "-q", "-o", "{ao}", SONG], False),
    ]
    return subjects


def chosen(subjects, names):
    """The subjects that names select: "brasko" selects brasko, brasko-idle, ..."""
    return [s for s in subjects
            if any(s.key == n or s.key.startswith(n + "-") for n in names)]


def cpu_section(tools, args, folder, finder):
    subjects = chosen(all_subjects(tools, args), args.subjects)
    for s in subjects:
        if s.prime:
            log(f"first start of {s.name} in a scratch HOME")
            prime(tools, s, args.output, folder)
    results = {s.name: [] for s in subjects}
    for r in range(args.repeats):
        order = subjects[r % len(subjects):] + subjects[:r % len(subjects)]
        for s in order:
            log(f"round {r + 1}/{args.repeats}: {s.name}")
            try:
                results[s.name].append(measure(tools, s, args.output, args.seconds,
                                               args.warmup, finder))
            except (RuntimeError, subprocess.TimeoutExpired) as error:
                log(f"  {s.name}: {error}")
    pulse = args.output == "pulse"
    rows = []
    for s in subjects:
        runs = results[s.name]

        def col(key, scale=1.0, digits=2):
            return median_spread([r.get(key) for r in runs], scale, digits)

        def states(key):
            return "/".join(dict.fromkeys(r[key] for r in runs if key in r)) or "n/a"

        row = [f"**{s.name}**", col("player") if s.command else "–", col("x")]
        if pulse:
            row += [col("server")]
        row += [col("bus"), col("total"), col("frames", 1, 1) if s.window else "–",
                col("rss", 1, 1) if s.command else "–",
                col("first_frame", 1000, 0) if s.window else "–"]
        if pulse:
            songs = [r["song"] for r in runs if "song" in r]
            row += [states("stream"),
                    median_spread(songs, 100, 1) if songs else states("heard")]
        else:
            row += [col("sink", 100, 1)]
        rows.append(row + [len(runs)])
    header = ["subject", "CPU s/min player", "CPU s/min Xvfb"]
    if pulse:
        header += ["CPU s/min sound server"]
    header += ["CPU s/min bus", "CPU s/min total", "frames/s (X server)", "peak RSS MiB",
               "exec → 1st frame ms"]
    header += (["stream at the server", "song, % of real time"] if pulse
               else ["sink % of real time"])
    header += ["runs"]
    commands = [f"- {s.name}: `{s.shown(args.output)}`" for s in subjects]
    details = []
    if pulse:
        # What the server saw of each player that was not playing, in the last round.
        for s in subjects:
            if s.key.startswith("brasko-") and results[s.name]:
                last = results[s.name][-1]
                found = "; ".join(f"\"{name}\" {sample}, Corked: {'yes' if corked else 'no'}"
                                  for name, sample, corked in last.get("streams", [])) or "none"
                details.append(f"- {s.name}: {found}; sink `{SINK}` "
                               f"{last.get('sink_state', '?')}")
    return table(header, rows), commands, details
