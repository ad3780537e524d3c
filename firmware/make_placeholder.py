#!/usr/bin/env python3
"""Writes the placeholder DSP image dsp-1.4.bin (27038 bytes).

The real image is not part of this source tree. The placeholder has the real
image's length so that every size-dependent behaviour (header word count,
chunk count, progress range, upload time) is the real one. Its bytes are a
marker line followed by a fixed xorshift32 sequence, so the file is the same
on every machine and with every Python version:

    python3 firmware/make_placeholder.py [output]
"""
import sys

LENGTH = 27038
SEED = 0x56525435  # "VRT5"
MARKER = b"VRT-58 DSP 1.4 PLACEHOLDER IMAGE - NOT FOR A REAL SCANNER\n"


def xorshift32(state):
    while True:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        yield state


def placeholder():
    data = bytearray(MARKER)
    numbers = xorshift32(SEED)
    while len(data) < LENGTH:
        data.append(next(numbers) & 0xFF)
    return bytes(data[:LENGTH])


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "dsp-1.4.bin"
    with open(path, "wb") as out:
        out.write(placeholder())


if __name__ == "__main__":
    main()
