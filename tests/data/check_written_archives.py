#!/usr/bin/env python3
"""Checks the archives the writing tests made with the program, with the Linux 7-Zip.

Each line of archives.txt in the folder given names one archive, its password, one entry
and that entry's content (all but the name in hexadecimal). The archive must give the
entry with exactly that password, and must not with the password changed by a character.
"""
import os
import subprocess
import sys
from pathlib import Path


def extract(sevenzip, archive, entry, password):
    result = subprocess.run(
        [sevenzip, "e", "-so", "-p" + password, str(archive), entry],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
        env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8"))
    return result.returncode, result.stdout


def main():
    folder = Path(sys.argv[1])
    sevenzip = sys.argv[2]
    listing = folder / "archives.txt"
    if not listing.exists():
        sys.exit(f"no archives were written: {listing} is missing")
    failures = 0
    lines = listing.read_text().splitlines()
    for line in lines:
        name, password, entry, content = line.split("\t")
        password = bytes.fromhex(password).decode()
        entry = bytes.fromhex(entry).decode()
        content = bytes.fromhex(content)
        archive = folder / name
        code, data = extract(sevenzip, archive, entry, password)
        if code != 0 or data != content:
            print(f"{name}: {entry} does not come out with password {password!r}")
            failures += 1
        for other in (password + "x", password[:-1]):
            code, data = extract(sevenzip, archive, entry, other)
            if code == 0 and data == content:
                print(f"{name}: {entry} also comes out with password {other!r}")
                failures += 1
    print(f"{len(lines)} archives checked with the Linux 7-Zip, {failures} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
