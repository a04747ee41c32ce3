#!/usr/bin/env python3
"""Writes the three notification clips (resources/sounds/101.wav, 102.wav, 103.wav).

Short sine tones with soft edges, 22050 Hz, 16-bit mono PCM: 101 a rising two-note chime
(a file finished), 102 a low double tone (a failure), 103 three quick rising notes (all done).
Run it again only to change the sounds; the clips are kept in the repository.
"""
import math
import os
import struct
import wave

RATE = 22050


def tone(freq, seconds, volume=0.45):
    n = int(RATE * seconds)
    fade = max(1, int(RATE * 0.01))
    out = []
    for i in range(n):
        edge = min(1.0, i / fade, (n - 1 - i) / fade)
        out.append(volume * edge * math.sin(2 * math.pi * freq * i / RATE))
    return out


def silence(seconds):
    return [0.0] * int(RATE * seconds)


CLIPS = {
    101: tone(880, 0.09) + silence(0.02) + tone(1320, 0.14),
    102: tone(330, 0.12) + silence(0.04) + tone(262, 0.18),
    103: tone(660, 0.07) + silence(0.02) + tone(880, 0.07) + silence(0.02) + tone(1100, 0.12),
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "sounds")
    os.makedirs(folder, exist_ok=True)
    for number, samples in CLIPS.items():
        with wave.open(os.path.join(folder, f"{number}.wav"), "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(b"".join(struct.pack("<h", int(s * 32767)) for s in samples))


if __name__ == "__main__":
    main()
