"""The programs the bench runs: the player and its helpers, built here, and the Debian
packages of the rest."""

import importlib.util
import os
import shutil
import subprocess

from .common import PACKAGES, ROOT, log


class Tools:
    def __init__(self, build):
        self.build = build
        self.brasko = os.path.join(build, "brasko")
        self.bench_x = os.path.join(build, "bench", "bench_x")
        self.bench_sound = os.path.join(build, "bench", "bench_sound")
        self.bench_floor = os.path.join(build, "bench", "bench_floor")

    def missing(self):
        return [p for p in (self.brasko, self.bench_x, self.bench_sound, self.bench_floor)
                if not os.access(p, os.X_OK)]

    def x(self, display, *args, timeout=60):
        result = subprocess.run([self.bench_x, *args], env={**os.environ, "DISPLAY": display},
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                timeout=timeout)
        return result.stdout.strip() if result.returncode == 0 else None


def build(folder):
    log(f"building in {folder}")
    subprocess.run(["cmake", "-S", ROOT, "-B", folder, "-DCMAKE_BUILD_TYPE=Release",
                    "-DBRASKO_TESTS=OFF", "-DBRASKO_BENCH=ON"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", folder, "-j", str(os.cpu_count() or 2), "--target",
                    "brasko", "bench_sound", "bench_x", "bench_floor"], check=True,
                   stdout=subprocess.DEVNULL)


def missing_programs(names):
    """The programs (and Python modules) of names that are not installed, with their
    Debian packages."""
    gone = []
    for name in dict.fromkeys(names):
        if name == "numpy":
            if importlib.util.find_spec("numpy") is None:
                gone.append(name)
        elif shutil.which(name) is None:
            gone.append(name)
    return [(name, PACKAGES.get(name, name)) for name in gone]


def needed(args, sections):
    """The programs this run needs, for the check before anything starts."""
    names = ["Xvfb", "dbus-daemon", "mpg123", "sox", "lame"]
    if not args.no_build:
        names.append("cmake")
    if args.output == "pulse":
        names += ["pulseaudio", "pactl", "parec", "numpy"]
    if "cpu" in sections:
        for peer in ("qmmp", "audacious", "mpv", "mpg123"):
            if peer in args.subjects:
                names.append(peer)
    if "frame" in sections:
        names += ["valgrind", "callgrind_control"]
    return names
