"""The sound layer alone (bench_sound): play2D on long files, seek time, where seeks land."""

import os
import subprocess

from .common import SONG
from .figures import median_spread


def make_files(folder):
    """A 1-minute and a 60-minute VBR MP3 without info tag (lame -V2 -t), the second made of
    60 copies of the first one's frames."""
    one = os.path.join(folder, "one-minute.mp3")
    sixty = os.path.join(folder, "sixty-minutes.mp3")
    if os.path.exists(one) and os.path.exists(sixty):
        return one, sixty
    wav = os.path.join(folder, "song.wav")
    cut = os.path.join(folder, "one-minute.wav")
    subprocess.run(["mpg123", "-q", "-w", wav, SONG], check=True)
    subprocess.run(["sox", wav, cut, "trim", "0", "60"], check=True)
    subprocess.run(["lame", "--quiet", "-V2", "-t", cut, one], check=True)
    with open(one, "rb") as f:
        frames = f.read()
    with open(sixty + ".part", "wb") as f:
        for _ in range(60):
            f.write(frames)
    os.rename(sixty + ".part", sixty)
    os.remove(wav)
    os.remove(cut)
    return one, sixty


def sound_runs(tools, command, env):
    result = subprocess.run([tools.bench_sound, *command], env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, timeout=300)
    if result.returncode != 0:
        raise RuntimeError(f"bench_sound {command[0]} failed")
    # The engine's own lines (which output it plays through) are not figures.
    return [line.split() for line in result.stdout.splitlines()
            if not line.startswith("brasko")]


def sound_section(tools, args, folder, one, sixty):
    silent = os.path.join(folder, "null.conf")
    with open(silent, "w") as f:
        f.write("[general]\ndrivers = null\n")
    env = {**os.environ, "ALSOFT_CONF": silent}
    rows = []
    # play2D on both files, in turns.
    opened = {one: [], sixty: []}
    for r in range(args.repeats):
        for path in (one, sixty) if r % 2 == 0 else (sixty, one):
            opened[path].append(float(sound_runs(tools, ["open", path], env)[0][0]))
    rows.append(["play2D, 1-minute VBR MP3 without info tag", median_spread(opened[one], 1, 1),
                 "ms", f"`bench_sound open one-minute.mp3` ×{args.repeats}"])
    rows.append(["play2D, 60-minute VBR MP3 without info tag", median_spread(opened[sixty], 1, 1),
                 "ms", f"`bench_sound open sixty-minutes.mp3` ×{args.repeats}"])
    # Seek time on the playing song.
    for path, label in ((SONG, "granite.mp3"), (sixty, "sixty-minutes.mp3")):
        times = [float(t) / 1000 for _, t in sound_runs(tools, ["seek", path, str(args.seeks)], env)]
        rows.append([f"setPlayPosition, {label} playing", median_spread(times, 1, 2), "ms",
                     f"`bench_sound seek {label} {args.seeks}`"])
    # Where seeks land.
    reference = os.path.join(folder, "granite.raw")
    with open(reference, "wb") as f:
        subprocess.run(["mpg123", "-q", "-s", SONG], stdout=f, check=True)
    lines = sound_runs(tools, ["accuracy", SONG, str(args.seeks), reference], env)
    os.remove(reference)
    errors = [int(e) for t, e in lines if t != "reference" and e != "none"]
    missing = sum(1 for t, e in lines if e == "none")
    same = next((e for t, e in lines if t == "reference"), "?")
    rows.append(["seek error vs `mpg123 -s` whole decode, granite.mp3",
                 f"{min(errors, default=0)} … {max(errors, default=0)}"
                 + (f", {missing} not found" if missing else ""),
                 "frames", f"`bench_sound accuracy granite.mp3 {args.seeks} granite.raw` "
                 f"(reader = mpg123 on {same} samples)"])
    lines = sound_runs(tools, ["accuracy", sixty, str(max(3, args.seeks // 3))], env)
    errors = [int(e) for t, e in lines if e != "none"]
    missing = sum(1 for t, e in lines if e == "none")
    rows.append(["seek error vs whole decode, sixty-minutes.mp3",
                 f"{min(errors, default=0)} … {max(errors, default=0)}"
                 + (f", {missing} not found" if missing else ""),
                 "frames", f"`bench_sound accuracy sixty-minutes.mp3 {max(3, args.seeks // 3)}`"])
    return rows
