#!/usr/bin/env python3
"""Makes the installer and the portable zip of one built flavour of the program.

    make_package.py BIN_DIR OUT_DIR VERSION x86|x64 SEVENZIP_LICENSE

BIN_DIR is the build's bin folder (the program with its core\\ folder); SEVENZIP_LICENSE
is the engine's License.txt, which ships beside it. Writes
OUT_DIR/VarnixFileOpener-VERSION[-x64]-setup.exe and -portable.zip, and prints their paths.
"""
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent

# What every package holds, by its path inside the package.
CORE_FILES = ["7z.dll", "7z.exe"]


def stage(bin_dir, stage_dir, version, flavour, sevenzip_license):
    if stage_dir.exists():
        shutil.rmtree(stage_dir)
    (stage_dir / "core").mkdir(parents=True)
    shutil.copy2(bin_dir / "VarnixFileOpener.exe", stage_dir)
    for name in CORE_FILES:
        shutil.copy2(bin_dir / "core" / name, stage_dir / "core")
    shutil.copy2(sevenzip_license, stage_dir / "core" / "License.txt")
    shutil.copy2(ROOT / "res" / "varnix.ico", stage_dir)
    label = "64-bit" if flavour == "x64" else "32-bit"
    text = (HERE / "ReadMe.txt").read_text(encoding="utf-8")
    text = text.replace("@VERSION@", version).replace("@FLAVOUR@", label)
    # Windows line ends, so that Notepad shows it as written.
    (stage_dir / "ReadMe.txt").write_bytes(text.replace("\n", "\r\n").encode("utf-8"))


def make_installer(stage_dir, out_file, version, flavour):
    command = ["makensis", "-V2", f"-DVERSION={version}", f"-DSTAGE={stage_dir}",
               f"-DOUTFILE={out_file}"]
    if flavour == "x64":
        command.append("-DWIN64")
    command.append(str(HERE / "installer.nsi"))
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def make_portable(stage_dir, out_file, top_folder):
    with zipfile.ZipFile(out_file, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in ["VarnixFileOpener.exe", "ReadMe.txt", "core/7z.dll", "core/7z.exe",
                     "core/License.txt"]:
            archive.write(stage_dir / name, f"{top_folder}/{name}")


def main():
    if len(sys.argv) != 6 or sys.argv[4] not in ("x86", "x64"):
        sys.exit(__doc__)
    # Full paths: makensis reads relative ones from the script's own folder.
    bin_dir, out_dir = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    version, flavour, sevenzip_license = sys.argv[3], sys.argv[4], Path(sys.argv[5]).resolve()
    out_dir.mkdir(parents=True, exist_ok=True)
    suffix = "-x64" if flavour == "x64" else ""
    base = f"VarnixFileOpener-{version}{suffix}"
    stage_dir = out_dir / f"stage{suffix or '-x86'}"
    stage(bin_dir, stage_dir, version, flavour, sevenzip_license)
    installer = out_dir / f"{base}-setup.exe"
    portable = out_dir / f"{base}-portable.zip"
    make_installer(stage_dir, installer, version, flavour)
    make_portable(stage_dir, portable, base)
    shutil.rmtree(stage_dir)
    print(installer)
    print(portable)


if __name__ == "__main__":
    main()
