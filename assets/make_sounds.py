#!/usr/bin/env python3
"""Synthesises the eighteen start-up sound effects as 16-bit mono PCM wave files.

Deterministic: the same bytes on every run (no clock, no randomness without a fixed seed).
Usage: make_sounds.py OUTPUT_DIR
"""
import math
import random
import struct
import sys
import wave
from pathlib import Path

RATE = 22050


def envelope(t, length, attack=0.005):
    """A short attack and an exponential fall that reaches silence at the end."""
    if t < attack:
        return t / attack
    fall = math.exp(-5.0 * (t - attack) / max(length - attack, 1e-6))
    return fall * (1.0 - t / length) ** 0.5


def tone(freqs, length, shape="sine", glide=0.0, vibrato=0.0):
    """A sequence of notes (or one note gliding by `glide` octaves) of equal share of `length`."""
    samples = []
    note_len = length / len(freqs)
    phase = 0.0
    for f0 in freqs:
        n = int(note_len * RATE)
        for i in range(n):
            t = i / RATE
            f = f0 * (2.0 ** (glide * t / note_len)) * (1.0 + vibrato * math.sin(2 * math.pi * 7 * t))
            phase += 2 * math.pi * f / RATE
            if shape == "square":
                v = 1.0 if math.sin(phase) >= 0 else -1.0
                v *= 0.5
            elif shape == "triangle":
                v = 2.0 / math.pi * math.asin(math.sin(phase))
            else:
                v = math.sin(phase)
            samples.append(v * envelope(t, note_len))
    return samples


def chime(freq, length, partials=(1.0, 2.76, 5.4)):
    """A bell-like tone: inharmonic partials that die away faster the higher they are."""
    n = int(length * RATE)
    out = []
    for i in range(n):
        t = i / RATE
        v = sum(math.sin(2 * math.pi * freq * p * t) * math.exp(-t * 4.0 * p) / (k + 1)
                for k, p in enumerate(partials))
        out.append(v * min(1.0, t / 0.003))
    return out


def noise_burst(length, seed, cutoff=0.2):
    """Filtered noise with a fast fall, for knocks and swishes."""
    rng = random.Random(seed)
    n = int(length * RATE)
    out, y = [], 0.0
    for i in range(n):
        y += cutoff * (rng.uniform(-1.0, 1.0) - y)
        out.append(y * 2.5 * envelope(i / RATE, length, 0.002))
    return out


SOUNDS = {
    "be2_01.wav": lambda: tone([880.0], 0.12, "square"),
    "be2_02.wav": lambda: tone([660.0, 990.0], 0.18, "square"),
    "be2_03.wav": lambda: tone([990.0, 660.0], 0.18, "square"),
    "pico01.wav": lambda: tone([1320.0], 0.08, "triangle"),
    "pico03.wav": lambda: tone([1046.5, 1318.5, 1568.0], 0.21, "triangle"),
    "pico06.wav": lambda: tone([1568.0, 1318.5, 1046.5], 0.21, "triangle"),
    "pico08.wav": lambda: tone([2093.0], 0.10, "sine", glide=-1.0),
    "pico2_06.wav": lambda: tone([523.25, 659.25, 783.99, 1046.5], 0.32, "square"),
    "pico2_08.wav": lambda: tone([440.0], 0.25, "triangle", glide=1.0),
    "se_sad05.wav": lambda: tone([392.0, 349.2, 311.1, 261.6], 0.8, "triangle", vibrato=0.01),
    "se_soc06.wav": lambda: noise_burst(0.15, seed=6, cutoff=0.08),
    "se_sua02.wav": lambda: chime(1174.7, 0.6),
    "se_sua04.wav": lambda: chime(880.0, 0.7),
    "se_sua06.wav": lambda: chime(1568.0, 0.5),
    "se_sua07.wav": lambda: chime(659.25, 0.9),
    "se_sub06.wav": lambda: tone([220.0], 0.3, "sine", glide=-0.5),
    "se_sud05.wav": lambda: noise_burst(0.35, seed=5, cutoff=0.5),
    "wa_007.wav": lambda: tone([330.0, 440.0], 0.4, "sine", vibrato=0.03),
}


def write_wave(path, samples):
    peak = max(1e-9, max(abs(s) for s in samples))
    scale = 0.7 * 32767 / peak
    data = b"".join(struct.pack("<h", int(round(s * scale))) for s in samples)
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, make in SOUNDS.items():
        write_wave(out / name, make())


if __name__ == "__main__":
    main()
