"""The instructions of the player's turns, counted by callgrind."""

import glob
import os
import re
import subprocess
import time

from .common import ROOT, log
from .desktop import Scratch
from .processes import stop


def frame_cost(tools, args, program):
    """Instructions of an idle window, all threads but OpenAL Soft's mixer, counted by
    callgrind between two moments of its steady state: per turn of its loop (one sf::sleep
    each, whether the turn shows a frame or not), and per second; with the turns and the
    frames shown counted."""
    scratch = Scratch(args.output)
    process = None
    try:
        out = os.path.join(scratch.folder, "cg.out")
        silent = scratch.write("null.conf", "[general]\ndrivers = null\n")
        process = subprocess.Popen(
            ["valgrind", "--tool=callgrind", "--separate-threads=yes", "--compress-strings=no",
             "--compress-pos=no", f"--callgrind-out-file={out}", program], cwd=ROOT,
            env=scratch.env({"ALSOFT_CONF": silent}), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        if tools.x(scratch.x.display, "firstframe", "180", timeout=200) is None:
            raise RuntimeError("no window under callgrind")
        time.sleep(3)
        subprocess.run(["callgrind_control", "--zero", str(process.pid)], check=True,
                       stdout=subprocess.DEVNULL)
        zeroed = time.monotonic()
        time.sleep(args.frame_seconds)
        subprocess.run(["callgrind_control", "--dump", str(process.pid)], check=True,
                       stdout=subprocess.DEVNULL)
        seconds = time.monotonic() - zeroed
        frames = 0
        turns = 0
        render = 0
        for path in glob.glob(out + ".1-*"):
            with open(path) as f:
                text = f.read()
            total = int(re.search(r"^summary: (\d+)", text, re.M).group(1))
            calls = [int(c) for c in re.findall(r"^cfn=glXSwapBuffers\ncalls=(\d+)", text, re.M)]
            frames = max([frames] + calls)
            sleeps = re.findall(r"^cfn=sf::sleep\(sf::Time\)\ncalls=(\d+)", text, re.M)
            turns = max(turns, sum(int(c) for c in sleeps))
            functions = set(re.findall(r"^fn=(.+)$", text, re.M))
            if "main" in functions or "libopenal" not in text:
                render += total
        tools.x(scratch.x.display, "close", timeout=10)
        process.wait(60)
        return render / turns if turns else None, turns, frames, render / seconds
    finally:
        stop(process)
        scratch.close()


def frame_section(tools, args):
    programs = [("brasko idle", tools.brasko),
                ("drawing every frame (bench_floor)", tools.bench_floor)]
    if args.baseline:
        programs.insert(1, ("brasko baseline idle",
                            os.path.join(os.path.abspath(args.baseline), "brasko")))
    rows = []
    for label, program in programs:
        log(f"frame cost: {label}")
        try:
            cost, turns, frames, rate = frame_cost(tools, args, program)
        except (RuntimeError, subprocess.SubprocessError, AttributeError) as error:
            log(f"  {label}: {error}")
            cost, turns, frames, rate = None, 0, 0, None
        command = f"`valgrind --tool=callgrind {os.path.basename(program)}`"
        rows.append([f"instructions per turn, {label} (callgrind)",
                     f"{cost:,.0f}" if cost else "n/a", "Ir",
                     f"{command}, {turns} turns and {frames} frames counted"])
        rows.append([f"instructions per second, {label} (callgrind)",
                     f"{rate:,.0f}" if rate else "n/a", "Ir/s",
                     f"{command}, {args.frame_seconds:g} s counted"])
    return rows
