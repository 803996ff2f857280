#!/usr/bin/env python3
"""Converts a rendered picture to the host's raw form: "BGRA", the width and
the height as little-endian 32-bit numbers, then the rows from the top, four
bytes a pixel (blue, green, red, alpha; alpha not multiplied in), the pixels
that GDI+ decodes the picture to. ImageMagick reads the picture; the host
then needs no image codec to show it.

Usage: raw_picture.py <picture.png> <picture.bgra>
"""
import struct
import subprocess
import sys


def main():
    source, target = sys.argv[1], sys.argv[2]
    size = subprocess.run(["identify", "-format", "%w %h", source], check=True, capture_output=True,
                          text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    pixels = subprocess.run(["convert", source, "-depth", "8", "BGRA:-"], check=True, capture_output=True).stdout
    if len(pixels) != width * height * 4:
        sys.exit(f"{source}: {len(pixels)} bytes of pixels for {width} x {height}")
    with open(target, "wb") as raw:
        raw.write(b"BGRA" + struct.pack("<II", width, height) + pixels)


if __name__ == "__main__":
    main()
