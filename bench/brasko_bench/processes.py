"""What /proc tells of a process, and ending the processes the bench started."""

import os
import subprocess

TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK
    except (OSError, IndexError):
        return None


def proc_number(pid, name, key):
    """The number after key in /proc/PID/name (a "key: value" file), or None."""
    try:
        with open(f"/proc/{pid}/{name}") as f:
            for line in f:
                if line.startswith(key + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def peak_rss_mib(pid):
    peak = proc_number(pid, "status", "VmHWM")
    return None if peak is None else peak / 1024


def bytes_read(pid):
    return proc_number(pid, "io", "rchar")


def stop(process, grace=5.0):
    """Ends a process this script started: SIGTERM, then SIGKILL."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
