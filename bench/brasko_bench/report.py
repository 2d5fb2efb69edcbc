"""One run of the sections asked for, printed and written to bench/results.md."""

import datetime
import os
import platform
import shutil
import subprocess
import sys
import tempfile

from .clicks import click_section
from .common import log
from .cpu import cpu_section
from .desktop import sink_check
from .figures import table
from .frame import frame_section
from .memory import memory_section
from .programs import Tools, build
from .recording import SongFinder
from .sound import make_files, sound_section


def machine():
    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    versions = []
    for package in ("qmmp", "audacious", "mpv", "mpg123", "pulseaudio", "libpulse0", "dbus",
                    "libsfml-graphics2.5", "libopenal1", "libmpg123-0", "libgl1-mesa-dri",
                    "xvfb", "libasound2"):
        result = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        versions.append(f"{package} {result.stdout or 'not installed'}")
    load = os.getloadavg()
    return (f"{os.cpu_count()} CPUs, {model}, Linux {platform.release()}, "
            f"load average at start {load[0]:.2f}\n\nPackages: " + ", ".join(versions))


def run(args, sections):
    if not args.no_build:
        build(args.build_dir)
    tools = Tools(args.build_dir)
    if tools.missing():
        log("bench/run: not built: " + ", ".join(tools.missing()) +
            " (run without --no-build, or build those targets)")
        return 2
    started = datetime.datetime.now()
    about = machine()
    folder = tempfile.mkdtemp(prefix="brasko-bench-files-")
    out = []
    try:
        check = sink_check(args.output, folder)
        if args.output == "pulse":
            out.append(f"Sound output check: `mpg123 -o pulse` played a 5.0 s clip through the "
                       f"private PulseAudio server in {check:.2f} s.")
        else:
            out.append(f"Sound sink check: `mpg123 -o alsa` played a 5.0 s clip through it in "
                       f"{check:.2f} s (the FIFO and ALSA buffers take in its last few tenths "
                       "of a second; unpaced it takes a fraction of one).")
        if "cpu" in sections:
            finder = SongFinder() if args.output == "pulse" else None
            text, commands, details = cpu_section(tools, args, folder, finder)
            where = ("a private PulseAudio server with a null sink of its own"
                     if args.output == "pulse"
                     else "a scratch HOME whose ~/.asoundrc is the FIFO sink")
            out += ["", f"Steady state with granite.mp3 (88 s), {args.seconds:g} s measured "
                    f"after {args.warmup:g} s, {args.repeats} rounds; median (min–max):", "",
                    text, "", f"Commands (each on an Xvfb and a session bus of its own, with "
                    f"{where}):", ""] + commands
            if details:
                out += ["", "The player's streams at the server at the end of the last round "
                        "(`pactl list sink-inputs`), and the sink's state:", ""] + details
        rows = []
        if "click" in sections:
            rows += click_section(tools, args)
        if "sound" in sections or "memory" in sections:
            one, sixty = make_files(folder)
            if "sound" in sections:
                rows += sound_section(tools, args, folder, one, sixty)
            if "memory" in sections:
                rows += memory_section(tools, args, folder, one, sixty)
        if "frame" in sections:
            rows += frame_section(tools, args)
        if rows:
            out += ["", "The player alone (median (min–max)):", "",
                    table(["what", "figure", "unit", "command"], rows)]
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    report = "\n".join(out)
    print(report)
    if args.results:
        kept = ""
        if os.path.exists(args.results):
            with open(args.results) as f:
                old = f.read()
            at = old.find("\n## Frame cost")
            if at >= 0:
                kept = old[at:]
        with open(args.results, "w") as f:
            f.write(f"# Benchmarks\n\nMade by `bench/run` on {started:%Y-%m-%d %H:%M}, "
                    f"`{' '.join(sys.argv[1:]) or 'no options'}`.\n\nMachine: {about}\n\n"
                    f"{report}\n{kept}")
    return 0
