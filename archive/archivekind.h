#pragma once

#include <string>

// Kinds of archive, told by the file's extension. 7z, RAR and ZIP keep the values they
// always had; every other format of the archive library is ArchiveKindOther plus its index
// in the library's list of formats (archive/library/formats.h).
enum ArchiveKind : int {
    ArchiveKindNone = 0,
    ArchiveKind7z = 1,
    ArchiveKindRar = 2,
    ArchiveKindZip = 3,
    ArchiveKindOther = 16,
};

// The format the extension names: ".tgz" is gzip, ".part3.rar" RAR, ".7z.002" a split set.
ArchiveKind GetArchiveKind(const std::wstring& path);

// Whether a user would call the file an archive and expect it to open in the program: the
// archive extensions of the library's formats, and the volumes of a set. Documents and
// programs that merely are containers (.docx, .jar, .apk, .msi, .exe) are not.
bool IsArchivePath(const std::wstring& path);

// Whether the console tool can change an archive of this kind in place (7z, ZIP, tar, wim).
bool IsUpdatableKind(ArchiveKind kind);

// The first volume of the set a volume belongs to, when that file is there; otherwise the
// path as it is. "set.part3.rar" -> "set.part1.rar", "set.7z.004" -> "set.7z.001",
// "set.z02" -> "set.zip" (a spanned ZIP begins with its last file), "set.r01" -> "set.rar".
std::wstring FirstVolume(const std::wstring& path);

// The name the first volume of the set has, whether it is there or not; "" for a file that
// is no volume of a set.
std::wstring FirstVolumeName(const std::wstring& path);

// The volume after this one ("set.part3.rar" -> "set.part4.rar"); "" for a file that is no
// volume of a set.
std::wstring NextVolume(const std::wstring& path);

// The name of the one file that a compressed file or a split set holds, when it keeps none:
// its own name without the extension ("notes.txt.gz" -> "notes.txt"; "src.tgz" ->
// "src.tar"; "set.7z.001" -> "set.7z").
std::wstring ContainedName(const std::wstring& archiveName);
