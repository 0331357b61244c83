#!/usr/bin/env python3
"""The browser window end to end: the real program under Wine, driven from outside with
xdotool as a user would, and read back with ui_probe.exe.

    browser_e2e.py WINE PROGRAM PROBE SEVENZIP TESTDATA

Needs the X display and the Wine prefix of the test run (DISPLAY, WINEPREFIX). Screenshots
of the steps go to TESTDATA/e2e/.
"""
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile
from pathlib import Path

WINE, PROGRAM, PROBE, SEVENZIP, TESTDATA = sys.argv[1:6]
TITLE = "Varnix File Opener - Ver 1.0"
failures = []


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def probe(*arguments):
    result = subprocess.run([WINE, PROBE, *arguments], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=60)
    facts = {}
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        key, _, value = line.partition(": ")
        facts.setdefault(key, []).append(value)
    return facts


def state():
    return probe("state")


def rows(facts):
    return [row.split("|")[0] for row in facts.get("row", [])]


def wait_for(condition, what, seconds=30):
    deadline = time.time() + seconds
    facts = {}
    while time.time() < deadline:
        facts = state()
        try:
            if condition(facts):
                check(True, what)
                return facts
        except (IndexError, KeyError, ValueError):
            pass
        time.sleep(0.3)
    check(False, what + " (last seen: " + repr({k: facts.get(k) for k in
                                                ("path", "columns", "count", "title")}) + ")")
    return facts


def xdotool(*arguments):
    subprocess.run(["xdotool", *arguments], check=False)


def rect_centre(text, x_offset=None):
    left, top, right, bottom = (int(v) for v in text.split())
    x = left + x_offset if x_offset is not None else (left + right) // 2
    return x, (top + bottom) // 2


def click(x, y, twice=False):
    xdotool("mousemove", str(x), str(y))
    time.sleep(0.1)
    if twice:
        xdotool("click", "--repeat", "2", "--delay", "80", "1")
    else:
        xdotool("click", "1")
    time.sleep(0.2)


def row_rect(name):
    facts = state()
    names = rows(facts)
    rects = probe("rects").get("rowrect", [])
    return rects[names.index(name)]


def activate(name):
    click(*rect_centre(row_rect(name), 40), twice=True)


def select(name):
    click(*rect_centre(row_rect(name), 40))


def shot(name):
    subprocess.run(["import", "-window", "root", str(OUT / (name + ".png"))], check=False)


def start(*arguments):
    process = subprocess.Popen([WINE, PROGRAM, *arguments], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    wait_for(lambda f: f["title"] == [TITLE] and int(f["count"][0]) > 0, "the window is up")
    return process


def closed(process, what):
    try:
        process.wait(timeout=30)
        check(True, what)
    except subprocess.TimeoutExpired:
        process.kill()
        check(False, what)


def close(process):
    probe("close")
    closed(process, "the window closes")


def archive_entries(archive):
    result = subprocess.run([SEVENZIP, "l", "-slt", str(archive)], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    return [line[7:] for line in result.stdout.decode().splitlines() if line.startswith("Path = ")][1:]


OUT = Path(TESTDATA) / "e2e"
shutil.rmtree(OUT, ignore_errors=True)
folder = OUT / "files"
folder.mkdir(parents=True)
shutil.copy(Path(TESTDATA) / "nested.zip", folder / "set.zip")
(folder / "note.txt").write_text("a note\n")
extracted = OUT / "extracted"
extracted.mkdir()
archive = folder / "set.zip"

subprocess.run([WINE, "reg", "delete", "HKCU\\Software\\Varnix FileOpener", "/f"],
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

# First start: the Desktop, the disk columns, the three buttons.
program = start()
facts = state()
check(facts["columns"] == ["Name|Size|Type|Modified"], "disk mode has Name, Size, Type, Modified")
check(facts["path"][0].lower().endswith("\\desktop\\"), "the first start lists the Desktop: " +
      facts["path"][0])
check(facts["buttons"] == ["Add|Extract|Delete|Test"],
      "the toolbar has Add, Extract, Delete and Test")
check(facts["widths"][0].split()[:4] == ["350", "150", "150", "150"],
      "columns are 350 and 150 pixels wide")
shot("1-desktop")

# A folder typed into the path box, then Enter.
click(*rect_centre(probe("rects")["pathbox"][0]))
xdotool("key", "ctrl+a")
xdotool("type", "--delay", "15", windows_path(folder))
xdotool("key", "Return")
facts = wait_for(lambda f: f["path"] == [windows_path(folder) + "\\"], "the typed folder is listed")
check(rows(facts) == ["..", "note.txt", "set.zip"], "its rows: " + repr(rows(facts)))

# Double-click the ZIP: the archive's root with the archive columns.
activate("set.zip")
facts = wait_for(lambda f: f["columns"] == ["Name|Size|Packed|Type|Modified"],
                 "double-clicking the ZIP shows the archive columns")
check(facts["path"] == [windows_path(archive)], "the path box shows the archive")
check(rows(facts) == ["..", "dir", "dir2", "docs", "empty", "\u00fcber", "big.bin",
                     "director.txt", "top.txt"], "the archive's root rows: " + repr(rows(facts)))
shot("2-archive")


def message(what):
    """The text of the program's message box once it is up; then OK is pressed."""
    deadline = time.time() + 30
    while time.time() < deadline and probe("dialog", "Varnix File Opener").get("dialog") != ["yes"]:
        time.sleep(0.3)
    text = probe("dialog", "Varnix File Opener").get("text", [])
    probe("press", "Varnix File Opener", "1")  # OK
    check(bool(text), what + ": " + repr(text))
    return text


# Test, by its key, with no entry selected: the whole archive.
xdotool("key", "alt+t")
check("No errors were found in set.zip." in message("Alt+T tests the archive"),
      "and finds no errors")

# Find in the whole archive: Ctrl+F and a few letters list every entry whose name holds
# them, from every folder, by its path; typing in the list goes to a found row; Esc comes
# back to the root with its selection; Enter on a found folder enters it.
check(state()["status"] == ["5 folders, 3 files"], "the status line counts the archive's root")
select("top.txt")
wait_for(lambda f: f["status"] == ["5 folders, 3 files; 1 selected, 9 bytes"],
         "and the selection with its bytes")
xdotool("key", "ctrl+f")
xdotool("type", "--delay", "60", "TXT")
found_txt = ["dir\\a.txt", "dir2\\b.txt", "director.txt", "docs\\deep\\deeper\\note.txt",
             "docs\\readme.txt", "top.txt", "\u00fcber\\\u1e0bat\u00e8i.txt"]
facts = wait_for(lambda f: rows(f) == found_txt and f["find"] == ["TXT"],
                 "Ctrl+F and typing list every .txt entry of the archive by its path")
check(facts["status"] == ["0 folders, 7 files"], "the status line counts them: %r" % facts["status"])
shot("4-find")
xdotool("key", "Down")
xdotool("type", "--delay", "60", "to")
wait_for(lambda f: f["selected"] == [str(found_txt.index("top.txt"))],
         "typing a name's beginning in the found rows selects it")
xdotool("key", "Escape")
facts = wait_for(lambda f: rows(f)[:1] == [".."] and f["find"] == [""],
                 "Esc comes back to the archive's root")
check([rows(facts)[int(i)] for i in facts["selected"][0].split()] == ["top.txt"],
      "with its selection: %r" % facts["selected"])
time.sleep(1.5)  # letters typed within a moment of the last ones add to them ("toem")
xdotool("type", "--delay", "60", "em")
wait_for(lambda f: [rows(f)[int(i)] for i in f["selected"][0].split()] == ["empty"],
         "typing a name's beginning in the list selects the next row of that name")
xdotool("key", "ctrl+f")
xdotool("type", "--delay", "60", "deeper")
wait_for(lambda f: rows(f) == ["docs\\deep\\deeper"], "a found folder")
xdotool("key", "Down")
xdotool("key", "Return")
wait_for(lambda f: f["path"] == [windows_path(archive) + "\\docs\\deep\\deeper"] and
         f["find"] == [""], "Enter on a found folder enters it, and the find ends")
for _ in range(3):
    xdotool("key", "BackSpace")
wait_for(lambda f: f["path"] == [windows_path(archive)], "Backspace three times: the root again")

# The row menu of an entry: Copy path puts its path on the clipboard.
x, y = rect_centre(row_rect("top.txt"), 40)
xdotool("mousemove", str(x), str(y))
xdotool("click", "3")
wait_for(lambda f: f["menu"] == ["yes"], "a right click on an entry opens its menu")
shot("5-entry-menu")
xdotool("key", "p")  # Copy &path
deadline = time.time() + 10
while time.time() < deadline and probe("clipboard").get("clipboard") != [windows_path(archive) + "\\top.txt"]:
    time.sleep(0.3)
check(probe("clipboard").get("clipboard") == [windows_path(archive) + "\\top.txt"],
      "its Copy path copies the entry's path: %r" % probe("clipboard").get("clipboard"))

# Into a folder, up again, and up out of the archive.
activate("docs")
wait_for(lambda f: f["path"] == [windows_path(archive) + "\\docs"] and "readme.txt" in rows(f),
         "a folder of the archive is entered")
activate("..")
wait_for(lambda f: f["path"] == [windows_path(archive)], "the up row leads back to the root")
activate("..")
wait_for(lambda f: f["path"] == [windows_path(folder) + "\\"] and
         f["columns"] == ["Name|Size|Type|Modified"], "at the root it leads to the disk folder")

# A file's menu from the keyboard (the menu key), and an archive's (Shift+F10).
select("note.txt")
xdotool("key", "Menu")
wait_for(lambda f: f["menu"] == ["yes"], "the menu key opens the focused file's menu")
xdotool("key", "Escape")
wait_for(lambda f: f["menu"] == ["no"], "Esc closes it")
select("set.zip")
xdotool("key", "shift+F10")
wait_for(lambda f: f["menu"] == ["yes"], "Shift+F10 opens the archive's menu")
shot("6-archive-menu")
xdotool("key", "Escape")
wait_for(lambda f: f["menu"] == ["no"], "Esc closes it")

# The archive's right-click menu: Extract to Folder makes "set" beside it and shows it.
x, y = rect_centre(row_rect("set.zip"), 40)
xdotool("mousemove", str(x), str(y))
xdotool("click", "3")
time.sleep(0.8)
xdotool("key", "f")  # Extract to &Folder
facts = wait_for(lambda f: "set" in rows(f) and rows(f)[int(f["selected"][0])] == "set",
                 "Extract to Folder from the row's menu lists the new folder, selected")
check((folder / "set" / "docs" / "readme.txt").exists(), "with the archive's entries in it")
x, y = rect_centre(row_rect("set"), 40)
xdotool("mousemove", str(x), str(y))
xdotool("click", "3")
wait_for(lambda f: f["menu"] == ["yes"], "a right click on a folder opens its menu")
xdotool("key", "p")  # Copy &path
deadline = time.time() + 10
while time.time() < deadline and probe("clipboard").get("clipboard") != [windows_path(folder / "set")]:
    time.sleep(0.3)
check(probe("clipboard").get("clipboard") == [windows_path(folder / "set")],
      "its Copy path copies the folder's path: %r" % probe("clipboard").get("clipboard"))

# The location bar lists the path's segments, then the fixed places.
activate("set.zip")
wait_for(lambda f: f["path"] == [windows_path(archive)], "the archive again")
facts = state()
segments = len([part for part in windows_path(archive).split("\\") if part])
check(int(facts["locations"][0]) >= segments + 4 and int(facts["location"][0]) == segments - 1,
      "the location list holds %d segments, then the fixed places (%s entries, entry %s chosen)"
      % (segments, facts["locations"][0], facts["location"][0]))
left, top, right, bottom = (int(v) for v in probe("rects")["location"][0].split())
click(right - 8, (top + bottom) // 2)
time.sleep(0.8)
shot("3-locations")
xdotool("key", "Escape")
time.sleep(0.3)

# Extract with the picker.
select("top.txt")
xdotool("key", "alt+e")
picked = probe("pick-folder", windows_path(extracted))
check(picked.get("selected") == ["extracted"], "the picker shows the folder picked: %r" % picked)
deadline = time.time() + 30
while time.time() < deadline and not (extracted / "top.txt").exists():
    time.sleep(0.3)
check((extracted / "top.txt").read_text() == "top level" if (extracted / "top.txt").exists()
      else False, "Extract writes the selected entry into the picked folder")

# The Delete key, confirmed.
select("director.txt")
xdotool("key", "Delete")
deadline = time.time() + 20
while time.time() < deadline and probe("dialog", "Varnix File Opener").get("dialog") != ["yes"]:
    time.sleep(0.3)
check("Are you sure you want to delete a selected file?" in
      probe("dialog", "Varnix File Opener").get("text", []), "Delete asks first")
probe("press", "Varnix File Opener", "6")  # Yes
facts = wait_for(lambda f: "director.txt" not in rows(f) and "top.txt" in rows(f),
                 "the deleted entry is gone from the list")
check("director.txt" not in archive_entries(archive) and "top.txt" in archive_entries(archive),
      "and from the ZIP")

# Leaving inside the archive, maximised, with a column made wider.
probe("column-width", "1", "222")
probe("maximize")
time.sleep(0.5)
close(program)

# The next start is maximised, on the archive's folder, with that width.
program = start()
facts = wait_for(lambda f: f["maximized"] == ["yes"], "the window opens maximised again")
check(facts["path"] == [windows_path(folder) + "\\"], "on the folder that holds the archive: " +
      facts["path"][0])
check(facts["widths"][0].split()[1] == "222", "with the column width of the last run")
close(program)

# An archive given on the command line opens in the window.
program = start(windows_path(archive))
facts = state()
check(facts["columns"] == ["Name|Size|Packed|Type|Modified"] and
      facts["path"] == [windows_path(archive)], "an archive on the command line opens")
close(program)

# Opening five entries and then closing the window leaves none of our scratch files in
# Temp, while what others keep there stays. The entries are documents of a kind of our own
# that the stand-in tool opens, leaving a mark beside the file it was given.
users = Path(os.environ["WINEPREFIX"]) / "drive_c" / "users"
temp = next(user for user in sorted(users.iterdir()) if user.name != "Public") / "AppData/Local/Temp"
temp.mkdir(parents=True, exist_ok=True)
theirs = [temp / "Quorp1" / "theirs.txt", temp / "7z1.bat", temp / "7z2.txt"]
for path in theirs:
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text("not ours")
fake_tool = windows_path(Path(PROBE).resolve().parent / "fake_tool.exe")
for key, value in (("HKCR\\.varnixdoc", "VarnixTest.doc"),
                   ("HKCR\\VarnixTest.doc\\shell\\open\\command", f'"{fake_tool}" touch "%1"')):
    subprocess.run([WINE, "reg", "add", key, "/ve", "/d", value, "/f"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
documents = folder / "documents.zip"
with zipfile.ZipFile(documents, "w") as z:
    for letter in "abcde":
        z.writestr(f"{letter}.varnixdoc", f"document {letter}")


def our_scratch():
    return sorted(p.name for p in temp.iterdir()
                  if (p.name.startswith("Quorp") or p.name.startswith("7z")) and
                  p.name not in ("Quorp1", "7z1.bat", "7z2.txt"))


program = start(windows_path(documents))
opened = 0
for letter in "abcde":
    activate(f"{letter}.varnixdoc")
    deadline = time.time() + 30
    while time.time() < deadline and not list(temp.glob(f"Quorp*/*/{letter}.varnixdoc.opened")):
        time.sleep(0.3)
    opened += bool(list(temp.glob(f"Quorp*/*/{letter}.varnixdoc.opened")))
check(opened == 5, "five entries opened with their program (%d)" % opened)
check(len(our_scratch()) <= 1, "while open, the opened entries share one scratch folder: %r" % our_scratch())
close(program)
check(our_scratch() == [], "after closing, no scratch folder or file of ours is left: %r" % our_scratch())
check(all(path.read_text() == "not ours" for path in theirs),
      "files of others in Temp stay as they were")

# Started as the shell starts it, without a click: the keyboard works on the list at once,
# and Alt+F4 closes the window, which keeps its settings as a close does.
program = start()
desktops = subprocess.run(["xdotool", "search", "--name", "Wine desktop"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.split()
if desktops:
    xdotool("windowfocus", "--sync", desktops[0].decode())
facts = state()
check(facts["selected"] == ["0"], "at start the first row is selected: %r" % facts["selected"])
xdotool("key", "Down")
facts = wait_for(lambda f: f["selected"] == ["1"], "the Down arrow moves the selection")
check(facts["path"] == [windows_path(folder) + "\\"], "and the place shown stays: %r" % facts["path"])

# Ctrl+A selects every row but "..", F5 reads the folder again, Alt+Up goes up, and Enter
# goes back into the folder left, whose row is focused.
xdotool("key", "ctrl+a")
facts = wait_for(lambda f: len(f["selected"][0].split()) == len(rows(f)) - 1,
                 "Ctrl+A selects every row but the up row")
check("0" not in facts["selected"][0].split(), "and not the up row: %r" % facts["selected"])
check(re.fullmatch(r"\d+ folders?, \d+ files?; %d selected, [\d,]+ bytes?" % (len(rows(facts)) - 1),
                   facts["status"][0]) is not None,
      "and the status line counts them: %r" % facts["status"])
(folder / "new-after-f5.txt").write_text("made from outside")
xdotool("key", "F5")
wait_for(lambda f: "new-after-f5.txt" in rows(f), "F5 lists a file made meanwhile")
xdotool("key", "alt+Up")
wait_for(lambda f: f["path"] == [windows_path(folder.parent) + "\\"], "Alt+Up goes up")
xdotool("key", "Return")
wait_for(lambda f: f["path"] == [windows_path(folder) + "\\"],
         "Enter goes back into the folder left, which is focused")
subprocess.run([WINE, "reg", "delete", "HKCU\\Software\\Varnix FileOpener", "/v", "last_path",
                "/f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
xdotool("key", "alt+F4")
closed(program, "Alt+F4 closes the window")
saved = subprocess.run([WINE, "reg", "query", "HKCU\\Software\\Varnix FileOpener", "/v",
                        "last_path"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
check(windows_path(folder) in saved.stdout.decode("utf-8", "replace"),
      "and the settings are saved as a close saves them")

# Dragging rows out, with the pointer, onto a window of another program that takes files:
# drop_target.exe, an OLE drop target as Explorer's windows are, copies (or moves) what it is
# given into a folder of its own, and notes whether the files were there when the pointer
# first came over it.
DROP_TARGET = str(Path(PROBE).resolve().parent / "drop_target.exe")
ON_TARGET = (1050, 710)  # inside its window, which lies at 900,560 .. 1200,860 above all


def drop_target(name, *mode):
    received = OUT / name
    process = subprocess.Popen([WINE, DROP_TARGET, windows_path(received), *mode],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 30
    while time.time() < deadline and not (received / "ready").exists():
        time.sleep(0.2)
    return process, received


def drag(start_point, end_point):
    # Pressed on a row at rest (not a double-click), moved in steps, let go.
    time.sleep(0.8)
    xdotool("mousemove", str(start_point[0]), str(start_point[1]))
    xdotool("mousedown", "1")
    for step in range(1, 16):
        xdotool("mousemove", str(start_point[0] + (end_point[0] - start_point[0]) * step // 15),
                str(start_point[1] + (end_point[1] - start_point[1]) * step // 15))
        time.sleep(0.04)
    time.sleep(0.4)
    xdotool("mousemove", str(end_point[0] + 2), str(end_point[1] + 2))
    time.sleep(0.4)
    xdotool("mouseup", "1")


def wait_for_file(path, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline and not path.exists():
        time.sleep(0.3)
    return path.exists()


program = start(windows_path(archive))
target, received = drop_target("dropped")
select("docs")
xdotool("keydown", "ctrl")
select("big.bin")
xdotool("keyup", "ctrl")
drag(rect_centre(row_rect("big.bin"), 40), ON_TARGET)
if check(wait_for_file(received / "dropped.txt"), "two rows dragged onto another program are dropped"):
    given = (received / "dropped.txt").read_text(encoding="utf-8").splitlines()
    check(all("\\Varnix Drag\\" in path for path in given) and
          sorted(path.rsplit("\\", 1)[1] for path in given) == ["big.bin", "docs"],
          "as the paths of docs and big.bin in the program's drag folder: %r" % given)
    check((received / "peeked.txt").read_text(encoding="utf-8").count("|absent") == 2,
          "which were not there yet while the pointer only passed over the target")
    with zipfile.ZipFile(archive) as z:
        for entry in ("docs/readme.txt", "docs/deep/deeper/note.txt", "big.bin"):
            check((received / entry).read_bytes() == z.read(entry),
                  "%s arrives with the archive's bytes" % entry)
close(program)
target.kill()
check(not any(users.rglob("Varnix Drag/*/*")),
      "after closing, the drag folder is gone")

# A big entry is extracted at the drop under the progress dialog; its Cancel, clicked, stops
# it: the target gets nothing, and nothing is left half written.
program = start(windows_path(Path(TESTDATA) / "huge.zip"))
target, received = drop_target("cancelled")
drag(rect_centre(row_rect("five-gib.bin"), 40), ON_TARGET)
deadline = time.time() + 30
while time.time() < deadline and probe("dialog", "Extract Files").get("dialog") != ["yes"]:
    time.sleep(0.3)
cancel = probe("button-rect", "Extract Files", "2").get("rect")
if check(bool(cancel), "the drop of a 5 GiB entry shows the progress dialog"):
    click(*rect_centre(cancel[0]))
    deadline = time.time() + 30
    while time.time() < deadline and probe("dialog", "Extract Files").get("dialog") == ["yes"]:
        time.sleep(0.3)
    check(probe("dialog", "Extract Files").get("dialog") != ["yes"], "its Cancel stops it")
    check(not wait_for_file(received / "dropped.txt", 3), "and the target gets no drop")
    check(not list(users.rglob("Varnix Drag/*/*")),
          "and no half file is left")
close(program)
target.kill()

# On the disk the files themselves go; one the target moved away leaves the list.
program = start()
target, received = drop_target("moved", "move")
click(*rect_centre(probe("rects")["pathbox"][0]))
xdotool("key", "ctrl+a")
xdotool("type", "--delay", "15", windows_path(folder))
xdotool("key", "Return")
wait_for(lambda f: "note.txt" in rows(f), "the disk folder with note.txt")
drag(rect_centre(row_rect("note.txt"), 40), ON_TARGET)
check(wait_for_file(received / "dropped.txt") and
      (received / "dropped.txt").read_text(encoding="utf-8").splitlines() ==
      [windows_path(folder / "note.txt")],
      "a disk row dragged out hands over the file itself")
check(wait_for_file(received / "note.txt") and (received / "note.txt").read_text() == "a note\n",
      "which the target moves")
wait_for(lambda f: "note.txt" not in rows(f) and "set.zip" in rows(f),
         "and the folder is listed again without it")
close(program)
target.kill()

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
