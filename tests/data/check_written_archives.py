#!/usr/bin/env python3
"""Checks the archives the writing tests made with the program, with the Linux 7-Zip, and
the compressed tars with the system's own tar.

Each line of archives.txt in the folder given names one archive, its password, one entry
and that entry's content (all but the name in hexadecimal). The archive must give the
entry with exactly that password, and must not with the password changed by a character.
Each line of tars.txt names a compressed tar, an entry's path in it and its content (the
last two in hexadecimal): tar must list the entry and give exactly that content.
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

    tars = folder / "tars.txt"
    if not tars.exists():
        sys.exit(f"no compressed tars were written: {tars} is missing")
    tar_lines = tars.read_text().splitlines()
    tar_failures = 0
    for line in tar_lines:
        name, entry, content = line.split("\t")
        entry = bytes.fromhex(entry).decode()
        content = bytes.fromhex(content)
        archive = folder / name
        # tar recognises the compression itself: gzip, xz or bzip2.
        listed = subprocess.run(["tar", "-tf", str(archive)], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=dict(os.environ, LC_ALL="C.UTF-8"))
        data = subprocess.run(["tar", "-xOf", str(archive), entry], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=dict(os.environ, LC_ALL="C.UTF-8"))
        names = listed.stdout.decode("utf-8", "replace").splitlines()
        if listed.returncode != 0 or entry not in names or data.returncode != 0 \
                or data.stdout != content:
            print(f"{name}: tar does not give {entry} as written: "
                  f"{(listed.stderr + data.stderr).decode('utf-8', 'replace').strip()}")
            tar_failures += 1
    print(f"{len(tar_lines)} entries of compressed tars checked with tar, {tar_failures} failures")
    sys.exit(1 if failures or tar_failures else 0)


if __name__ == "__main__":
    main()
