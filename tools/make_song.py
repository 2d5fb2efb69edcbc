#!/usr/bin/python3
"""Synthesises "granite", the song the player ships with, into a 16-bit 44.1 kHz stereo WAV.

A calm piece in D major at 96 beats per minute, 34 bars (about 88 s with the final ring):

  intro   4 bars   soft pad, a plucked arpeggio creeping in
  verse   8 bars   electric-piano melody, bass, pad, arpeggio
  bridge  8 bars   new chords and melody, light percussion joins
  verse   8 bars   the melody again, varied, with an octave shimmer
  outro   6 bars   slowing melody, a last D major chord left to ring

Voices: a detuned additive pad, a round bass, an FM electric piano with a ping-pong echo,
a plucked additive arpeggio, and a kick / snap / shaker kit. Everything is sent to a
convolution reverb built from decaying noise. Deterministic: one fixed seed drives the
small timing and velocity variations, the noise and the reverb.

Usage: make_song.py OUT.wav     (tools/make_song.sh encodes it to granite.mp3)
Run with /usr/bin/python3 (needs python3-numpy).
"""
import sys
import wave

import numpy as np

SR = 44100
BPM = 96
BEAT = 60.0 / BPM
SEED = 20240611
RING_OUT = 3.5  # seconds after the last bar for the final chord and the reverb to fade
PEAK_DBFS = -1.2  # a little headroom under -1 dBFS for the mp3 encoder's overshoot
rng = np.random.default_rng(SEED)

# ---------------------------------------------------------------------------------------
# The score. A bar is a list of "chord:beats" items; a melody bar is "note:beats" items
# ("r" rests). Chords are voiced for the pad; the bass plays the root given with them.

CHORDS = {  # name: (bass root, pad voicing)
    "D": ("D2", "D3 A3 D4 F#4"),
    "Dmaj7": ("D2", "D3 A3 C#4 F#4"),
    "Bm7": ("B1", "F#3 B3 D4 A4"),
    "Gmaj7": ("G2", "G3 B3 D4 F#4"),
    "A": ("A1", "E3 A3 C#4 E4"),
    "A7": ("A1", "E3 G3 C#4 E4"),
    "Asus4": ("A1", "E3 A3 D4 E4"),
    "Em7": ("E2", "E3 G3 B3 D4"),
    "F#m7": ("F#2", "F#3 A3 C#4 E4"),
}

VERSE_CHORDS = ["Dmaj7", "Bm7", "Gmaj7", "A", "Dmaj7", "Bm7", "Gmaj7", "Asus4:2 A:2"]
SECTIONS = [
    # name, chords, melody
    ("intro", ["D", "Bm7", "Gmaj7", "Asus4:2 A:2"], ["r:4"] * 4),
    ("verse", VERSE_CHORDS, [
        "F#5:1.5 E5:.5 D5:1 A4:1", "B4:1.5 C#5:.5 D5:1 F#5:1",
        "G5:1.5 F#5:.5 E5:1 D5:1", "E5:2 C#5:1 A4:1",
        "F#5:1.5 E5:.5 D5:1 A5:1", "F#5:2 D5:1 E5:.5 F#5:.5",
        "G5:1 B5:1 A5:1 G5:.5 F#5:.5", "E5:3 r:1"]),
    ("bridge", ["Em7", "A7", "F#m7", "Bm7", "Gmaj7", "Em7", "Asus4", "A:2 A7:2"], [
        "B4:1 D5:1 G5:2", "F#5:1 E5:1 C#5:2",
        "C#5:1 E5:1 A5:2", "F#5:3 D5:1",
        "B5:1.5 A5:.5 G5:1 F#5:1", "G5:1.5 F#5:.5 E5:1 D5:1",
        "D5:2 E5:2", "C#5:2 E5:1 G5:1"]),
    ("verse2", VERSE_CHORDS, [
        "F#5:1.5 E5:.5 D5:1 A4:1", "B4:1.5 C#5:.5 D5:1 F#5:1",
        "G5:1.5 F#5:.5 E5:1 D5:1", "E5:2 C#5:1 A4:1",
        "A5:1.5 F#5:.5 E5:1 D5:1", "F#5:1 D5:1 B4:1 D5:.5 E5:.5",
        "G5:1 B5:1 A5:1.5 F#5:.5", "E5:2 D5:1 C#5:1"]),
    ("outro", ["Gmaj7", "A", "Bm7", "Gmaj7:2 Asus4:1 A:1", "D", "D"], [
        "D5:1.5 C#5:.5 B4:1 D5:1", "C#5:2 E5:2",
        "F#5:1.5 E5:.5 D5:2", "B4:2 D5:1 C#5:1",
        "D5:8", "r:4"]),
]

NOTE_INDEX = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7,
              "G#": 8, "A": 9, "A#": 10, "B": 11}


def midi(name):
    return 12 * (int(name[-1]) + 1) + NOTE_INDEX[name[:-1]]


def hz(m):
    return 440.0 * 2 ** ((m - 69) / 12.0)


def parse_bar(text):
    """'F#5:1.5 E5:.5' -> [('F#5', 1.5), ('E5', 0.5)]"""
    items = []
    for item in text.split():
        name, _, beats = item.partition(":")
        items.append((name, float(beats) if beats else 4.0))
    return items


def timeline():
    """Flattens the score into chord and melody events: (section, start beat, beats, name),
    and returns the beat where the score ends."""
    chords, melody, beat = [], [], 0.0
    for section, bars, tune in SECTIONS:
        for chord_bar, tune_bar in zip(bars, tune):
            b = beat
            for name, beats in parse_bar(chord_bar):
                if chords and chords[-1][3] == name:  # the same chord again is held, not re-struck
                    chords[-1] = chords[-1][:2] + (chords[-1][2] + beats, name)
                else:
                    chords.append((section, b, beats, name))
                b += beats
            b = beat
            for name, beats in parse_bar(tune_bar):
                if name != "r":
                    melody.append((section, b, beats, name))
                b += beats
            beat += 4
    return chords, melody, beat


# ---------------------------------------------------------------------------------------
# Instruments. Each returns a mono float array starting at the note onset.

def envelope(n_on, attack, decay, sustain, release):
    """ADSR over n_on held samples plus the release tail (times in seconds)."""
    a, d, r = (max(int(x * SR), 1) for x in (attack, decay, release))
    held = np.ones(n_on) * sustain
    ramp = np.arange(n_on)
    held[:a] = np.minimum(ramp[:a] / a, 1.0)
    tail = ramp[a:]
    held[a:] = sustain + (1 - sustain) * np.exp(-(tail - a) / d)
    last = held[-1] if n_on else 0.0
    fall = (np.exp(-5.0 * np.arange(r) / r) - np.exp(-5.0)) / (1 - np.exp(-5.0))  # ends at 0
    return np.concatenate([held, last * fall])


def wavetable_osc(freq, n, table, phase0=0.0):
    phase = (phase0 + freq * np.arange(n) / SR) % 1.0
    idx = phase * len(table)
    i0 = idx.astype(int)
    frac = idx - i0
    return table[i0] * (1 - frac) + table[(i0 + 1) % len(table)] * frac


def harmonic_table(amps, size=4096):
    x = np.arange(size) / size
    t = sum(a * np.sin(2 * np.pi * (k + 1) * x) for k, a in enumerate(amps))
    return t / np.abs(t).max()


PAD_TABLE = harmonic_table([1 / (k ** 1.7) * (0.6 if k % 2 == 0 else 1.0) for k in range(1, 11)])
BASS_TABLE = harmonic_table([1.0, 0.32, 0.12, 0.04])


def pad_note(m, seconds, detune_cents):
    n = int(seconds * SR)
    env = envelope(n, 0.45, 1.5, 0.8, 1.4)
    tone = wavetable_osc(hz(m) * 2 ** (detune_cents / 1200), len(env), PAD_TABLE, rng.random())
    return tone * env


def bass_note(m, seconds):
    n = int(seconds * SR)
    env = envelope(n, 0.008, 0.35, 0.55, 0.18)
    return wavetable_osc(hz(m), len(env), BASS_TABLE) * env


def epiano_note(m, seconds):
    """FM electric piano: a 1:1 pair whose brightness decays, plus a faint bell partial."""
    n = int(seconds * SR)
    env = envelope(n, 0.004, 0.9, 0.0, 0.35) * 0.75 + envelope(n, 0.004, 3.0, 0.0, 0.35) * 0.25
    t = np.arange(len(env)) / SR
    f = hz(m)
    index = 1.6 * np.exp(-t / 0.35) + 0.25
    tone = np.sin(2 * np.pi * f * t + index * np.sin(2 * np.pi * f * t))
    tone += 0.12 * np.sin(2 * np.pi * 4.0 * f * t) * np.exp(-t / 0.18)
    return tone * env


def pluck_note(m, seconds=1.6):
    """Plucked string made of harmonics that die away faster the higher they are."""
    t = np.arange(int(seconds * SR)) / SR
    f = hz(m)
    tone = np.zeros_like(t)
    for k in range(1, 9):
        if k * f > 9000:
            break
        tone += np.sin(2 * np.pi * k * f * t + rng.random() * 0.3) / k * np.exp(-t * (2.2 + 0.9 * k ** 1.4))
    return tone * np.minimum(t / 0.002, 1) * np.minimum((t[-1] - t) / 0.05, 1)


def kick():
    t = np.arange(int(0.45 * SR)) / SR
    freq = 46 + 70 * np.exp(-t / 0.035)
    return np.sin(2 * np.pi * np.cumsum(freq) / SR) * np.exp(-t / 0.2) * np.minimum(t / 0.002, 1)


def band_noise(seconds, lo, hi):
    n = int(seconds * SR)
    spectrum = np.fft.rfft(rng.normal(0, 1, n))
    f = np.fft.rfftfreq(n, 1 / SR)
    spectrum *= np.clip((f - lo) / (0.3 * lo), 0, 1) * np.clip((hi - f) / (0.3 * hi), 0, 1)
    x = np.fft.irfft(spectrum, n)
    return x / np.abs(x).max()


def snap():
    t = np.arange(int(0.25 * SR)) / SR
    body = np.sin(2 * np.pi * 310 * t) * np.exp(-t / 0.03)
    return (0.7 * band_noise(0.25, 1200, 5500) * np.exp(-t / 0.045) + 0.5 * body) * np.minimum(t / 0.001, 1)


def shaker():
    t = np.arange(int(0.12 * SR)) / SR
    return band_noise(0.12, 5000, 14000) * np.minimum(t / 0.006, 1) * np.exp(-t / 0.03)


# ---------------------------------------------------------------------------------------
# Mixing

class Bus:
    def __init__(self, seconds):
        self.dry = np.zeros((2, int(seconds * SR)))
        self.send = np.zeros_like(self.dry)

    def add(self, beat, signal, gain, pan=0.0, reverb=0.2, humanise=True):
        """Places signal at a beat position; pan -1 (left) .. 1 (right)."""
        when = beat * BEAT + (rng.normal(0, 0.006) if humanise else 0.0)
        start = max(int(when * SR), 0)
        signal = signal[: self.dry.shape[1] - start]
        angle = (pan + 1) * np.pi / 4
        for ch, weight in enumerate((np.cos(angle), np.sin(angle))):
            part = signal * gain * weight
            self.dry[ch, start:start + len(part)] += part
            self.send[ch, start:start + len(part)] += part * reverb


def ping_pong(signal, delay_beats=0.75, feedback=0.38, taps=6):
    """Echo that alternates between right and left; returns a stereo (2, n) array."""
    d = int(delay_beats * BEAT * SR)
    out = np.zeros((2, len(signal) + d * taps))
    out[:, :len(signal)] += signal
    for k in range(1, taps + 1):
        # Each repeat a little darker: a short moving average.
        echo = np.convolve(signal, np.ones(1 + 2 * k) / (1 + 2 * k), mode="same") * feedback ** k
        out[(k + 1) % 2, k * d:k * d + len(signal)] += echo * 0.8  # odd repeats left
    return out


def reverb_ir(seconds=2.6, rt60=2.1):
    t = np.arange(int(seconds * SR)) / SR
    decay = np.exp(-6.9 * t / rt60)
    irs = []
    for _ in range(2):
        bright = rng.normal(0, 1, len(t))
        dark = np.convolve(rng.normal(0, 1, len(t)), np.ones(9) / 3, mode="same")
        ir = (bright * np.exp(-t / 0.25) + dark * (1 - np.exp(-t / 0.25))) * decay
        ir[: int(0.018 * SR)] = 0  # pre-delay
        irs.append(ir / np.sqrt(np.sum(ir ** 2)))
    return irs


def convolve(x, ir):
    n = len(x) + len(ir)
    size = 1 << (n - 1).bit_length()
    return np.fft.irfft(np.fft.rfft(x, size) * np.fft.rfft(ir, size), size)[: len(x)]


# ---------------------------------------------------------------------------------------
# The arrangement

ARPEGGIO = {"intro": (0, 1, 2, 3, 2, 1, 2, 3), "verse": (0, 2, 1, 3, 2, 1, 3, 2),
            "bridge": (0, 1, 2, 3, 1, 2, 3, 2), "verse2": (0, 2, 1, 3, 2, 1, 3, 2),
            "outro": (0, 1, 2, 3, 2, 3, 1, 2)}


def arrange(bus, end_beat):
    chords, melody, _ = timeline()
    last_chord = chords[-1][1]  # the closing D, held to the very end

    for section, start, beats, name in chords:
        root, voicing = CHORDS[name]
        notes = [midi(v) for v in voicing.split()]
        final = start == last_chord
        hold = (end_beat - start) if final else beats + 0.25  # a little overlap between chords
        level = {"intro": 1.25, "outro": 0.95}.get(section, 1.0)
        if section == "intro" and start < 4:
            level *= 0.6 + 0.1 * start

        # Pad: each note three times, slightly detuned and spread across the stereo field.
        for m in notes:
            for cents, pan in ((-7, -0.55), (0, 0.0), (7, 0.55)):
                bus.add(start, pad_note(m, hold * BEAT, cents), 0.055 * level, pan, 0.35, humanise=False)

        # Bass from the verse on: root, a pickup and the fifth; whole notes in the outro.
        r = midi(root)
        if section == "outro":
            bus.add(start, bass_note(r, (hold if final else beats) * BEAT), 0.34, 0.0, 0.05)
        elif section != "intro" and beats == 4:
            for b, m, length in ((0, r, 2.4), (2.5, r + 12, 0.45), (3, r + 7, 0.9)):
                bus.add(start + b, bass_note(m, length * BEAT), 0.34 * (0.8 if b else 1), 0.0, 0.05)
        elif section != "intro":
            bus.add(start, bass_note(r, beats * 0.9 * BEAT), 0.34, 0.0, 0.05)

        # Plucked arpeggio in eighths, an octave above the pad; it creeps in during the intro.
        if section == "intro" and start < 8:
            continue
        pattern = ARPEGGIO[section]
        steps = 5 if final else int(beats * 2)  # the last chord gets one rising figure
        for i in range(steps):
            step = int(((start % 4) * 2 + i) % 8)
            m = notes[pattern[step]] + 12
            vel = (0.85 if i % 2 == 0 else 0.6) * (1 + rng.normal(0, 0.08))
            bus.add(start + i * 0.5, pluck_note(m), 0.15 * vel, -0.45, 0.4)

    # Melody on the electric piano, with a ping-pong echo; an octave shimmer in the last verse.
    for section, start, beats, name in melody:
        m = midi(name)
        vel = (1 + rng.normal(0, 0.07)) * (0.95 if section == "bridge" else 1.0)
        stereo = ping_pong(epiano_note(m, beats * BEAT * 0.95))
        for ch, pan in ((0, -0.25), (1, 0.35)):
            bus.add(start, stereo[ch], 0.30 * vel, pan, 0.3)
        if section == "verse2":
            bus.add(start, epiano_note(m + 12, beats * BEAT * 0.8), 0.07 * vel, 0.5, 0.5)

    # A rolled D major chord under the last melody note.
    for i, name in enumerate(("D4", "F#4", "A4", "D5")):
        bus.add(last_chord + i * 0.12, epiano_note(midi(name), 4 * BEAT), 0.16, -0.3 + 0.2 * i, 0.45)

    # Percussion: bridge and last verse, then only the shaker for the first outro bars.
    for section, start, beats, name in chords:
        if start % 4 or section not in ("bridge", "verse2", "outro") or start >= last_chord - 4:
            continue
        in_outro = section == "outro"
        if not in_outro:
            for b in (0, 2.5):
                bus.add(start + b, kick(), 0.55 * (1 if b == 0 else 0.7), 0.0, 0.05)
            for b in (1, 3):
                bus.add(start + b, snap(), 0.4 * (1 + rng.normal(0, 0.1)), -0.12, 0.5)
        for i in range(8):
            accent = 1.0 if i % 2 else 0.55
            fade = 0.7 if in_outro else 1.0
            bus.add(start + i * 0.5, shaker(), 0.2 * accent * fade * (1 + rng.normal(0, 0.12)), 0.35, 0.3)


def master(bus, seconds):
    ir_l, ir_r = reverb_ir()
    wet_l = convolve(bus.send[0], ir_l) + 0.25 * convolve(bus.send[1], ir_l)
    wet_r = convolve(bus.send[1], ir_r) + 0.25 * convolve(bus.send[0], ir_r)
    mix = bus.dry + 0.55 * np.stack([wet_l, wet_r])
    mix -= mix.mean(axis=1, keepdims=True)

    t = np.arange(mix.shape[1]) / SR
    fade_in = np.clip(t / 1.5, 0, 1)
    fade_out = np.clip((seconds - t) / 3.0, 0, 1)
    mix *= (0.5 - 0.5 * np.cos(np.pi * fade_in)) * (0.5 - 0.5 * np.cos(np.pi * fade_out))
    return soft_limit(mix, 10 ** (PEAK_DBFS / 20))


def soft_limit(mix, ceiling, knee=0.8):
    """Scales the mix so all but its rarest peaks sit under knee * ceiling, and rounds
    those few peaks off smoothly towards the ceiling instead of turning everything down."""
    loud = np.percentile(np.abs(mix), 99.995)
    mix = mix * (knee * ceiling / loud)
    k = knee * ceiling
    over = np.abs(mix) > k
    excess = np.abs(mix[over]) - k
    mix[over] = np.sign(mix[over]) * (k + (ceiling - k) * np.tanh(excess / (ceiling - k)))
    return mix * (ceiling / np.abs(mix).max())


def write_wav(path, mix):
    dither = (rng.random(mix.shape) - rng.random(mix.shape)) / 32768  # TPDF, one LSB
    pcm = np.clip(np.round((mix + dither) * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(pcm.T.tobytes())


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_song.py OUT.wav")
    _, _, end_beat = timeline()
    seconds = end_beat * BEAT + RING_OUT
    bus = Bus(seconds)
    arrange(bus, end_beat + RING_OUT / BEAT)
    mix = master(bus, seconds)
    write_wav(sys.argv[1], mix)
    print("make_song.py: wrote %s (%.1f s)" % (sys.argv[1], seconds))


if __name__ == "__main__":
    main()
