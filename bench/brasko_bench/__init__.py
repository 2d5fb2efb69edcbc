"""Side-by-side benchmarks of the player and of the players Debian ships.

Prints one table and writes it, with the machine it ran on, to bench/results.md (the
"Frame cost" section of that file, written by hand, is kept). Every figure comes from this
one run on this machine: subjects are measured in turns (round robin, the order rotating
each round) so that the load of a shared machine falls on all of them alike, and each
figure is the median of the repeats with their spread (min-max).

Every run of a subject has a desktop of its own: an X server (Xvfb, same settings every
time), a D-Bus session bus (dbus-daemon --session), a scratch HOME and runtime folder, and
a sound server. The sound server is a private PulseAudio 16 (root, no autospawn) with one
null sink at 44.1 kHz stereo without rewinds: it plays in real time into nothing, as a
sound card nobody listens to. Every player plays through it: the player through its own
client of the server (libpulse), and in the row "through OpenAL Soft" through OpenAL Soft's
pulse backend (BRASKO_OUTPUT=openal ALSOFT_DRIVERS=pulse, so that a failure shows), qmmp,
audacious and mpv through their pulse outputs, mpg123 -o pulse. With --output alsa the
players write to an ALSA device instead, a FIFO that this script reads in real time (no
server then: the player plays through OpenAL Soft's ALSA driver).

Subjects of the CPU table:
  server    the sound server alone, no player: what the desktop costs with nothing open
  floor     "drawing every frame", bench_floor: the player's window showing only its
            background, drawn as the player draws it and shown 40 times a second: what a
            window that draws every frame costs at the least
  brasko    the player, Play clicked; "idle": window open, nothing played; "stopped":
            played 3 s, then Stop; "paused": played 3 s, then Pause; "through OpenAL
            Soft": Play clicked, with BRASKO_OUTPUT=openal
  qmmp, audacious, mpv --no-video, mpg123: granite.mp3 given on the command line

What is measured, and how:
  CPU       user+sys seconds (/proc/PID/stat) of the player, of the X server it draws on,
            of the sound server and of the session bus, over a window of steady state, as
            seconds per minute; "total" adds the four. The clock ticks every 10 ms: over
            a 20-second window a tick is 0.03 s/min.
  frames/s  frames the window was given over the same window, counted by the X server:
            bench_x creates a Damage object on the window (raw rectangles) and counts its
            DamageNotify bursts, requests within 4 ms of each other counting as one frame.
  peak RSS  VmHWM of the player at the end of that window.
  1st frame exec to the first time the window shows more than one colour (bench_x polls
            the window's pixels every 2 ms).
  stream    the player's streams at the server at the end of the window (pactl list
            sink-inputs): none, running or corked.
  song      proof that the player really streamed in real time: half a second of what the
            server played (parec on the null sink's monitor) is recorded just before and
            just after the window, and each is found in the decoded song (normalised
            cross-correlation); how far the song went between the two, in % of the wall
            time between them. "silent" when the server played only zeros. With --output
            alsa: the FIFO reader's rate in % of real time instead.
  click     Play clicked (an XTest press, as xdotool sends) to the first non-silent sample
            the server played, recorded by parec on the monitor from before the click: the
            monitor delivers the sink's samples in real time, so a sample's index dates it
            (the capture's start is the earliest one consistent with every reading); also
            the moment it was seen. Then, 1.5 s apart: Pause to the first frame of 0.3 s of
            silence; Pause again after 1 s of pause ("resume") to the first sound; a click on
            the bar half way to the first frame of the song's middle (found by correlation);
            Stop to the first frame of lasting silence. The click on Play is also watched at
            the X server (bench_x clickframe): to the first frame that changes the window's
            pixels, seen through the Damage extension. With --output alsa: Play to the first
            non-silent sample of OpenAL Soft's wave writer, dated by its index the same way
            (the writer mixes one 1024-frame period once that period's time has passed).
  seek      time of ISound::setPlayPosition on a playing sound; where the seek lands
            against a whole decode from the start (bench_sound).
  memory    peak RSS of the player playing a 1-minute and a 60-minute MP3 for the same time.
  play2D    time to start a 60-minute VBR MP3 without an info tag (the length scan).
  frame     instructions per turn of the loop (shown or not), and per second, of the idle
            player under callgrind (all threads but OpenAL Soft's mixer), between two
            moments of its steady state; the same for bench_floor.

--baseline BUILD_DIR measures the player built there beside this one, for before/after
figures of a change: in the same turns in the CPU table, in alternation for the clicks, and
once more under callgrind.
"""
