"""Peak RSS of the player playing a short and a long file."""

import os
import subprocess

from .common import PLAY_BUTTON, ROOT, log
from .cpu import Subject, measure
from .figures import median_spread


def memory_section(tools, args, folder, one, sixty):
    """The player playing each file as its song, from a folder of its own."""
    subjects = []
    for path, label in ((one, "1-minute"), (sixty, "60-minute")):
        place = os.path.join(folder, label)
        os.makedirs(place, exist_ok=True)
        for name, target in (("ressources", os.path.join(ROOT, "ressources")),
                             ("granite.mp3", path)):
            link = os.path.join(place, name)
            if not os.path.lexists(link):
                os.symlink(target, link)
        subjects.append(Subject(label, label, [tools.brasko], True, clicks=[PLAY_BUTTON],
                                cwd=place, openal=True))
    peaks = {s.name: [] for s in subjects}
    for r in range(args.repeats):
        for s in subjects if r % 2 == 0 else subjects[::-1]:
            log(f"memory {r + 1}/{args.repeats}: {s.name}")
            try:
                peaks[s.name].append(measure(tools, s, args.output, args.memory_seconds,
                                             1.0)["rss"])
            except (RuntimeError, subprocess.TimeoutExpired) as error:
                log(f"  {s.name}: {error}")
    return [[f"peak RSS playing a {s.name} MP3 ({args.memory_seconds:g} s)",
             median_spread(peaks[s.name], 1, 1), "MiB",
             f"`brasko` with granite.mp3 → {os.path.basename(p)}, Play clicked"]
            for s, p in zip(subjects, (one, sixty))]
