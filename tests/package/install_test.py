#!/usr/bin/env python3
"""The installer and the portable zip, made and used for real under Wine.

    install_test.py WINE BIN_DIR SEVENZIP_LICENSE VERSION x86|x64 PROBE OUT_DIR

Makes both packages of the built program, checks what they hold and that they carry the
program's version, installs silently, starts the installed program, uninstalls silently
and checks that nothing installed, no registration and no uninstall entry is left. Needs
the Wine prefix and X display of the test run (WINEPREFIX, DISPLAY).
"""
import os
import subprocess
import sys
import time
import zipfile
from pathlib import Path

WINE, BIN_DIR, LICENSE, VERSION, FLAVOUR, PROBE, OUT = sys.argv[1:8]
HERE = Path(__file__).resolve().parent
MAKE_PACKAGE = HERE.parent.parent / "scripts" / "package" / "make_package.py"
PRODUCT = "Varnix File Opener (64-bit)" if FLAVOUR == "x64" else "Varnix File Opener"
UNINSTALL_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + (
    "VarnixFileOpener64" if FLAVOUR == "x64" else "VarnixFileOpener")
SETTINGS_KEY = "HKCU\\Software\\Varnix FileOpener"
TITLE = "Varnix File Opener - Ver 1.0"
INSTALLED = ["VarnixFileOpener.exe", "ReadMe.txt", "Uninstall.exe", "core/7z.dll",
             "core/7z.exe", "core/License.txt"]
failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wine(*arguments, timeout=120):
    return subprocess.run([WINE, *arguments], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          stdin=subprocess.DEVNULL, timeout=timeout)


def reg_values(key):
    """The values of a registry key as {name: data}, or None when the key is missing."""
    result = wine("reg", "query", key)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2] if len(parts) > 2 else ""
    return values


def version_string(exe, key):
    """A string of a file's version resource, read from its bytes."""
    data = Path(exe).read_bytes()
    name = (key + "\0").encode("utf-16-le")
    at = data.find(name)
    if at < 0:
        return None
    at += len(name)
    at += (-at) % 4  # the value starts on a 32-bit boundary
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le")


def pe_machine(exe):
    """The machine a Windows program is built for, from its PE header."""
    data = Path(exe).read_bytes()[:4096]
    at = int.from_bytes(data[0x3C:0x40], "little")
    if data[:2] != b"MZ" or data[at:at + 4] != b"PE\0\0":
        return None
    return {0x14C: "x86", 0x8664: "x64"}.get(int.from_bytes(data[at + 4:at + 6], "little"), "other")


def windows_user_folder():
    users = Path(os.environ["WINEPREFIX"]) / "drive_c" / "users"
    for user in sorted(users.iterdir()):
        if (user / "AppData" / "Local").is_dir() and user.name != "Public":
            return user
    raise SystemExit("no user folder in the Wine prefix")


def wait_until(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.5)
    return condition()


made = subprocess.run([sys.executable, str(MAKE_PACKAGE), BIN_DIR, OUT, VERSION, FLAVOUR, LICENSE],
                      stdout=subprocess.PIPE, check=True).stdout.decode().split()
installer, portable = Path(made[0]), Path(made[1])
suffix = "-x64" if FLAVOUR == "x64" else ""
check(installer.name == f"VarnixFileOpener-{VERSION}{suffix}-setup.exe", "the installer's name: " + installer.name)
check(portable.name == f"VarnixFileOpener-{VERSION}{suffix}-portable.zip", "the portable zip's name: " + portable.name)

# --- each package's programs are of its own flavour: a 64-bit Windows without the 32-bit
# subsystem starts no 32-bit installer ---
check(pe_machine(installer) == FLAVOUR, f"the installer is an {FLAVOUR} program: {pe_machine(installer)}")
check(pe_machine(Path(BIN_DIR) / "VarnixFileOpener.exe") == FLAVOUR, f"the program is an {FLAVOUR} program")

# --- one version everywhere ---
program = Path(BIN_DIR) / "VarnixFileOpener.exe"
check(version_string(program, "ProductVersion") == VERSION, "the program's version resource says " + VERSION)
check(version_string(installer, "ProductVersion") == VERSION, "the installer's version resource says " + VERSION)
check(f"Varnix Application v{VERSION}".encode("utf-16-le") in program.read_bytes(),
      "the about box says v" + VERSION)

# --- the portable zip ---
with zipfile.ZipFile(portable) as archive:
    names = sorted(archive.namelist())
    top = f"VarnixFileOpener-{VERSION}{suffix}/"
    expected = sorted(top + name for name in INSTALLED if name != "Uninstall.exe")
    check(names == expected, "the portable zip holds the program, core\\ and the read-me: " + ", ".join(names))
    check(archive.read(top + "core/7z.dll") == (Path(BIN_DIR) / "core" / "7z.dll").read_bytes(),
          "the portable zip's 7z.dll is the build's engine")

# --- install, start, uninstall; twice: keeping the settings, then removing them ---
user = windows_user_folder()
install_dir = user / "AppData" / "Local" / "Programs" / PRODUCT
start_menu = user / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / (PRODUCT + ".lnk")

for round_number, remove_settings in ((1, False), (2, True)):
    print(f"round {round_number}: install, then uninstall{' with /RemoveSettings' if remove_settings else ''}")
    wine(str(installer), "/S", timeout=300)
    check(all((install_dir / name).is_file() for name in INSTALLED),
          f"the silent install puts the program in {install_dir}")
    check(start_menu.is_file(), "the Start menu has the entry")
    check(pe_machine(install_dir / "Uninstall.exe") == FLAVOUR, f"the uninstaller is an {FLAVOUR} program")
    entry = reg_values(UNINSTALL_KEY) or {}
    check(entry.get("DisplayVersion") == VERSION and entry.get("DisplayName") == PRODUCT,
          "Programs and Features lists it at version " + VERSION)
    check("Uninstall.exe" in entry.get("UninstallString", "") and "/S" in entry.get("QuietUninstallString", ""),
          "the entry names the uninstaller")
    check((reg_values("HKCU\\Software\\Classes\\.zip") or {}).get("(Default)") == "Varnix.zip",
          "the installer registered the program: .zip opens with it")
    check(reg_values("HKCR\\Varnix.zip\\shell\\Varnix1\\command") is not None,
          "the installer registered the program: \"Extract Here\" is on the menu")
    # The installer runs without elevation: what a standard user gets is in the user's classes.
    check(reg_values("HKCU\\Software\\Classes\\*\\shell\\Varnix\\command") is not None,
          "the installer registered the program: \"Add to archive...\" is on this user's menu")

    if round_number == 1:
        # The installed program starts, shows its window, and keeps its settings at the end.
        process = subprocess.Popen([WINE, str(install_dir / "VarnixFileOpener.exe")],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   stdin=subprocess.DEVNULL)
        up = wait_until(lambda: f"title: {TITLE}" in wine(PROBE, "state", timeout=60).stdout.decode("utf-8", "replace"), 60)
        check(up, "the installed program starts and shows its window")
        wine(PROBE, "close", timeout=60)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
        check(reg_values(SETTINGS_KEY) is not None, "the program saved its settings")

    arguments = [str(install_dir / "Uninstall.exe"), "/S"]
    if remove_settings:
        arguments.append("/RemoveSettings")
    wine(*arguments, timeout=120)
    # The uninstaller runs from a copy in Temp and returns at once: wait for it to finish.
    gone = wait_until(lambda: not install_dir.exists() and reg_values(UNINSTALL_KEY) is None, 90)
    check(gone and not install_dir.exists(), "the silent uninstall leaves no installed file")
    check(reg_values(UNINSTALL_KEY) is None, "the silent uninstall leaves no uninstall entry")
    check(not start_menu.exists(), "the silent uninstall removes the Start menu entry")
    check((reg_values("HKCU\\Software\\Classes\\.zip") or {}).get("(Default)") != "Varnix.zip"
          and reg_values("HKCR\\Varnix.zip") is None
          and reg_values("HKCR\\*\\shell\\Varnix") is None
          and reg_values("HKCU\\Software\\Classes\\*\\shell\\Varnix") is None
          and reg_values("HKLM\\Software\\Varnix FileOpener\\Capabilities") is None,
          "the silent uninstall leaves no registration")
    if remove_settings:
        check(reg_values(SETTINGS_KEY) is None, "/RemoveSettings removes the settings")
    else:
        check(reg_values(SETTINGS_KEY) is not None, "the settings stay unless asked for")

print(f"{len(failures)} failure(s)")
sys.exit(1 if failures else 0)
