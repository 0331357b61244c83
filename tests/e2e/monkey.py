#!/usr/bin/env python3
"""The real program used at random: keys, clicks, toolbar commands and typed paths over good,
damaged, hostile and big archives (20,000 entries; 300 MB that take a moment to list, and
no more, so that what it extracts at random cannot fill the disk), seeded and repeatable.

    monkey.py WINE PROGRAM PROBE TESTDATA [--seeds N] [--actions N] [--base-seed N]

Each seed starts the program and does its actions; after each one the program must still
run, and every window of it must answer. It passes with no crash and no hang. The program
runs in a Wine prefix of its own that sees only a sandbox folder: its drive Z: (the whole
Linux file system) is gone, and the user's folders, which Wine links to the Linux home,
are folders of their own, so that a Delete pressed at random deletes nothing outside.
A seed's actions are logged in TESTDATA/monkey/seed-N.log, to be replayed.
"""
import argparse
import gzip
import os
import random
import shutil
import subprocess
import sys
import tarfile
import time
import zipfile
from pathlib import Path

parser = argparse.ArgumentParser()
parser.add_argument("wine")
parser.add_argument("program")
parser.add_argument("probe")
parser.add_argument("testdata")
parser.add_argument("--seeds", type=int, default=3)
parser.add_argument("--actions", type=int, default=120)
parser.add_argument("--base-seed", type=int, default=1)
options = parser.parse_args()

WINE = options.wine
TITLE = "Varnix File Opener - Ver 1.0"
WORK = Path(options.testdata) / "monkey"
DRIVE = "M:"
# What the program sees as its drive M:, and the copy it is made again from before each
# seed (the monkey may delete anything on it, the program itself included).
SEEN = WORK / "drive"
PRISTINE = WORK / "pristine"
FILES = SEEN / "files"


def windows_path(path):
    return DRIVE + "\\" + str(Path(path).relative_to(SEEN)).replace("/", "\\")


# --- the sandbox: the program, its probe, and archives of every kind ---

def make_sandbox():
    if WORK.exists():
        subprocess.run(["chmod", "-R", "u+w", str(WORK)], check=False)
        shutil.rmtree(WORK)
    bin_folder = PRISTINE / "bin"
    (bin_folder / "core").mkdir(parents=True)
    program = Path(options.program)
    shutil.copy(program, bin_folder)
    for name in ("7z.dll", "7z.exe"):
        shutil.copy(program.parent / "core" / name, bin_folder / "core")
    shutil.copy(options.probe, bin_folder)
    files = PRISTINE / "files"
    files.mkdir()
    data = Path(options.testdata)
    # The test data's archives of many gibibytes stay out: extracted at random, they would
    # fill the disk. Big ones of a bounded size are made below.
    for name in ("nested.zip", "plain.7z", "encrypted.7z", "encrypted.zip", "damaged.zip",
                 "truncated.7z", "hostile.zip", "rootentry.zip", "noname.zip", "longpaths.zip",
                 "headers.7z", "crc.zip", "case.zip", "outer.zip"):
        if (data / name).exists():
            shutil.copy(data / name, files)
    for folder in ("formats", "volumes", "broken"):
        if (data / folder).is_dir():
            shutil.copytree(data / folder, files / folder)
    # 300 MB of zeros in a gzip of a few hundred kilobytes: listing it takes a moment, in
    # which the monkey goes on.
    with gzip.open(files / "zeros.tar.gz", "wb", compresslevel=1) as compressed:
        header = tarfile.TarInfo("zeros.bin")
        header.size = 300 << 20
        compressed.write(header.tobuf(format=tarfile.GNU_FORMAT))
        block = bytes(1 << 20)
        for _ in range(300):
            compressed.write(block)
        compressed.write(bytes(1024))
    # Damaged and cut-short copies of a good archive, and a folder of plain files.
    good = (files / "nested.zip").read_bytes() if (files / "nested.zip").exists() else b""
    if good:
        flipped = bytearray(good)
        for at in range(len(flipped) // 2, min(len(flipped), len(flipped) // 2 + 64)):
            flipped[at] ^= 0xFF
        (files / "flip.zip").write_bytes(bytes(flipped))
        (files / "trunc.zip").write_bytes(good[:len(good) * 6 // 10])
    docs = files / "docs"
    docs.mkdir()
    for number in range(40):
        (docs / f"note{number}.txt").write_text(f"note {number}\n" * (number + 1))
    with zipfile.ZipFile(files / "many.zip", "w") as archive:
        for number in range(20000):
            archive.writestr(f"d{number % 200}/f{number}.txt", "")
    readonly = files / "readonly"
    readonly.mkdir()
    (readonly / "kept.txt").write_text("kept\n")
    (WORK / "home").mkdir()


def restore_sandbox(what=("bin", "files")):
    """The drive as it was made, before a seed; the program alone before a restart."""
    for name in what:
        target = SEEN / name
        if target.exists():
            shutil.rmtree(target, ignore_errors=True)
        subprocess.run(["cp", "-a", "--sparse=always", str(PRISTINE / name), str(target)],
                       check=False)


def make_prefix():
    """A copy of the test run's prefix that sees only the sandbox."""
    prefix = WORK / "prefix"
    subprocess.run(["cp", "-a", os.environ["WINEPREFIX"], str(prefix)], check=True)
    devices = prefix / "dosdevices"
    for device in devices.iterdir():
        if device.name.endswith(":") and device.name != "c:":
            device.unlink()
    SEEN.mkdir(exist_ok=True)
    (devices / DRIVE.lower()).symlink_to(SEEN)
    users = prefix / "drive_c" / "users"
    for user in users.iterdir():
        for folder in list(user.iterdir()) if user.is_dir() else []:
            if folder.is_symlink():
                folder.unlink()
                folder.mkdir()
    return prefix


class Wine:
    def __init__(self, prefix):
        self.env = dict(os.environ, WINEPREFIX=str(prefix), HOME=str(WORK / "home"),
                        XDG_DATA_HOME=str(WORK / "home" / "share"), WINEDEBUG="-all")

    def run(self, *arguments, timeout=60):
        try:
            return subprocess.run([WINE, *arguments], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                                  env=self.env, timeout=timeout).stdout.decode("utf-8", "replace")
        except subprocess.TimeoutExpired:
            return ""

    def probe(self, *arguments, timeout=60):
        # The monkey may have deleted the program's folder, probe and all: it comes back.
        if not (SEEN / "bin" / "ui_probe.exe").exists():
            restore_sandbox(("bin",))
        facts = {}
        for line in self.run(DRIVE + "\\bin\\ui_probe.exe", *arguments, timeout=timeout).splitlines():
            key, _, value = line.partition(": ")
            facts.setdefault(key, []).append(value)
        return facts

    def start(self):
        return subprocess.Popen([WINE, DRIVE + "\\bin\\VarnixFileOpener.exe"], env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                stdin=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=False, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def rect(text):
    return [int(v) for v in text.split()]


# --- the actions ---

KEYS = ["Return", "Return", "BackSpace", "Escape", "Escape", "Escape", "Up", "Down", "Down",
        "Home", "End", "Prior", "Next", "Tab", "space", "F5", "Delete", "shift+Delete",
        "ctrl+a", "ctrl+f", "alt+t", "alt+e", "alt+a", "alt+Up", "Menu", "shift+F10", "F2",
        "alt+Return", "ctrl+c", "F1", "y", "n", "a", "s", "q"]


class Monkey:
    def __init__(self, wine, seed):
        self.wine = wine
        self.random = random.Random(seed)
        self.log = open(WORK / f"seed-{seed}.log", "w")
        self.targets = [FILES] + sorted(p for p in FILES.rglob("*"))[:400]
        self.process = None
        self.pid = None
        self.restarts = 0

    def say(self, text):
        self.log.write(text + "\n")
        self.log.flush()

    def start(self):
        if not (SEEN / "bin" / "VarnixFileOpener.exe").exists():
            restore_sandbox(("bin",))
        self.process = self.wine.start()
        deadline = time.time() + 60
        while time.time() < deadline:
            facts = self.wine.probe("state")
            if facts.get("title") == [TITLE] and facts.get("pid"):
                self.pid = facts["pid"][0]
                return True
            time.sleep(0.3)
        return False

    def path_to_type(self):
        choice = self.random.random()
        if choice < 0.75:
            target = self.random.choice(self.targets)
            text = windows_path(target)
            if target.suffix in (".zip", ".7z") and self.random.random() < 0.3:
                text += "\\" + self.random.choice(["folder", "a", "..", ".", "x\\y", ""])
            return text
        return self.random.choice([DRIVE + "\\nothing-here.zip", ":::", "\\\\", "C:",
                                   DRIVE + "\\files\\" + "n" * 300, DRIVE + "\\files\\..\\..",
                                   "", " ", DRIVE + "\\files\\docs\\note1.txt"])

    def act(self):
        rects = self.wine.probe("rects")
        kind = self.random.choices(
            ["key", "keys", "row", "click", "path", "button", "header", "type"],
            [30, 6, 25, 8, 10, 8, 4, 4])[0]
        if kind == "key":
            key = self.random.choice(KEYS)
            self.say(f"key {key}")
            xdotool("key", key)
        elif kind == "keys":
            keys = [self.random.choice(KEYS) for _ in range(self.random.randint(2, 5))]
            self.say("keys " + " ".join(keys))
            xdotool("key", "--delay", "20", *keys)
        elif kind == "row" and rects.get("rowrect"):
            left, top, right, bottom = rect(self.random.choice(rects["rowrect"][:40]))
            x, y = left + 30, (top + bottom) // 2
            how = self.random.choice(["1", "1", "double", "3"])
            self.say(f"row click {how} at {x},{y}")
            xdotool("mousemove", str(x), str(y))
            if how == "double":
                xdotool("click", "--repeat", "2", "--delay", "60", "1")
            else:
                xdotool("click", how)
        elif kind == "click" and rects.get("frame"):
            left, top, right, bottom = rect(rects["frame"][0])
            x, y = self.random.randint(left, right - 1), self.random.randint(top, bottom - 1)
            button = self.random.choice(["1", "1", "3"])
            self.say(f"click {button} at {x},{y}")
            xdotool("mousemove", str(x), str(y), "click", button)
        elif kind == "path" and rects.get("pathbox"):
            left, top, right, bottom = rect(rects["pathbox"][0])
            text = self.path_to_type()
            self.say(f"path {text!r}")
            xdotool("mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
            xdotool("key", "ctrl+a")
            xdotool("type", "--delay", "2", text)
            xdotool("key", "Return")
        elif kind == "button" and rects.get("button"):
            left, top, right, bottom = rect(self.random.choice(rects["button"]))
            self.say(f"button at {(left + right) // 2},{(top + bottom) // 2}")
            xdotool("mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
        elif kind == "header" and rects.get("header"):
            left, top, right, bottom = rect(self.random.choice(rects["header"]))
            self.say(f"header at {(left + right) // 2}")
            xdotool("mousemove", str((left + right) // 2), str((top + bottom) // 2), "click", "1")
        else:
            text = "".join(self.random.choice("abcnot.xz") for _ in range(self.random.randint(1, 4)))
            self.say(f"type {text!r}")
            xdotool("type", "--delay", "10", text)
        time.sleep(self.random.choice([0.02, 0.1, 0.3, 0.6]))

    def tidy(self):
        """Closes the windows of other programs that an opened entry started, and second
        windows of this program (an archive inside an archive opens one). Returns the
        program's windows that do not answer."""
        silent = []
        for line in self.wine.probe("windows").get("window", []):
            handle, pid, class_name, title, answers = line.split("|")[:5]
            if pid == self.pid:
                if answers != "yes":
                    silent.append(f"{class_name} {title!r}")
            elif class_name not in ("Shell_TrayWnd", "Progman", "WorkerW") and title != "":
                self.say(f"closing another program's window {class_name} {title!r}")
                self.wine.probe("close-window", handle)
        return silent

    def running(self):
        return self.process.poll() is None

    def close(self):
        """Asks this program's main window to close (not another instance's of one title)."""
        for line in self.wine.probe("windows").get("window", []):
            handle, pid, class_name, title = line.split("|")[:4]
            if pid == self.pid and title == TITLE:
                self.wine.probe("close-window", handle)


def run_seed(wine, seed, actions):
    """Returns a list of faults found; empty when none."""
    restore_sandbox()
    monkey = Monkey(wine, seed)
    if not monkey.start():
        return [f"seed {seed}: the window did not come up"]
    faults = []
    silent_since = None
    for number in range(actions):
        monkey.say(f"# action {number}")
        monkey.act()
        if not monkey.running():
            code = monkey.process.returncode
            if code in (0, 1):
                monkey.say("the program was closed by a key; started again")
                monkey.restarts += 1
                if not monkey.start():
                    faults.append(f"seed {seed}: the window did not come up again")
                    break
                continue
            faults.append(f"seed {seed}: the program ended with code {code:#x} at action {number}"
                          f" (see {monkey.log.name})")
            break
        if shutil.disk_usage(WORK).free < (2 << 30):
            faults.append(f"seed {seed}: the disk is nearly full at action {number} (what "
                          f"the program wrote in its sandbox, or elsewhere)")
            break
        if number % 5 == 4:
            silent = monkey.tidy()
            if silent:
                silent_since = silent_since or time.time()
                if time.time() - silent_since > 30:
                    faults.append(f"seed {seed}: no answer for 30 s at action {number} from "
                                  + ", ".join(silent))
                    break
            else:
                silent_since = None
    # The end: whatever is up is closed, and the program must end.
    if monkey.running():
        for _ in range(4):
            xdotool("key", "Escape")
            time.sleep(0.2)
        monkey.close()
        deadline = time.time() + 60
        while monkey.running() and time.time() < deadline:
            xdotool("key", "Escape")
            monkey.close()
            monkey.tidy()
            time.sleep(1)
        if monkey.running():
            windows = [line + (" (its own)" if line.split("|")[1] == monkey.pid else "")
                       for line in monkey.wine.probe("windows").get("window", [])]
            subprocess.run(["import", "-window", "root", str(WORK / f"seed-{seed}-end.png")],
                           check=False)
            faults.append(f"seed {seed}: the program did not end when closed; its windows: "
                          + "; ".join(windows))
            monkey.process.kill()
        elif monkey.process.returncode not in (0, 1):
            faults.append(f"seed {seed}: the program ended with code "
                          f"{monkey.process.returncode:#x} while closing")
    monkey.say(f"# end: {len(faults)} fault(s), {monkey.restarts} restart(s)")
    print(f"seed {seed}: {actions} actions, {monkey.restarts} restart(s), "
          f"{'no fault' if not faults else faults[0]}", flush=True)
    return faults


def main():
    make_sandbox()
    prefix = make_prefix()
    wine = Wine(prefix)
    wine.run("reg", "add", "HKCU\\Software\\Varnix FileOpener", "/v", "last_path", "/d",
             DRIVE + "\\files", "/f")
    started = time.time()
    faults = []
    try:
        for seed in range(options.base_seed, options.base_seed + options.seeds):
            faults += run_seed(wine, seed, options.actions)
    finally:
        wine.stop()
        shutil.rmtree(prefix, ignore_errors=True)  # 1 GB; the logs stay
    print(f"monkey: {options.seeds} seed(s) of {options.actions} actions in "
          f"{time.time() - started:.0f} s: {len(faults)} fault(s)")
    for fault in faults:
        print("FAIL  " + fault)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
