#!/usr/bin/env python3
"""Writes each ```c and ```cpp block of a Markdown file to a source file of its
own (example-<n>.c or .cpp) in a folder, and prints their paths, one a line.
Files whose text did not change are left alone, so they are not compiled again.
usage: extract_examples.py GUIDE.md FOLDER"""
import pathlib
import re
import sys

guide, folder = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
folder.mkdir(parents=True, exist_ok=True)
blocks = re.findall(r"^```(c|cpp)\n(.*?)^```$", guide.read_text(encoding="utf-8"), re.M | re.S)
paths = [folder / f"example-{number}.{language}" for number, (language, _) in enumerate(blocks, 1)]
for old in set(folder.glob("example-*")) - set(paths):
    old.unlink()
for path, (_, code) in zip(paths, blocks):
    if not path.exists() or path.read_text(encoding="utf-8") != code:
        path.write_text(code, encoding="utf-8")
    print(path)
