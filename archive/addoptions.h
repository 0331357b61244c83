#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What an add makes: the archive's format, how hard it compresses, whether it is split and
// encrypted, and how an archive that is there is updated. The add dialog fills it in, the
// one-click verbs take the choices remembered for their format, and the add job turns it
// into the tool's switches.

enum class AddFormat {
    SevenZip,
    Zip,
    Tar,
    Wim,
    GZip, // a single file
    XZ,
    BZip2,
    TarGz, // a tar made and compressed in one step
    TarXz,
    TarBz2,
};

// Levels as the tool numbers them.
enum CompressionLevel : int {
    LevelStore = 0,
    LevelFastest = 1,
    LevelFast = 3,
    LevelNormal = 5,
    LevelMaximum = 7,
    LevelUltra = 9,
};

enum class ZipEncryption { Aes256, ZipCrypto };

enum class UpdateMode {
    AddAndReplace, // every file picked goes in, replacing an entry of its name
    Update,        // new files, and files newer than their entry
    Freshen,       // only files newer than an entry that is there; nothing new
    Synchronize,   // as Update, and entries whose file is gone are removed
};

struct FormatInfo {
    AddFormat format;
    const wchar_t* name;      // as the dialog lists it: "7z", "tar.gz"
    const wchar_t* extension; // without the dot
    bool singleFile;          // compresses one file, no folder
    bool levels;              // has compression levels beyond Store
    bool encrypts;
    bool volumes;
    bool updates; // an archive that is there can be changed in place
    std::vector<std::wstring> methods; // the first is the default; empty: one method
};

// Every format an add can make, in the dialog's order.
const std::vector<FormatInfo>& AddFormatList();
const FormatInfo& InfoOf(AddFormat format);
// The format an archive name's extension names ("x.tar.gz", "x.tgz" -> TarGz); false for
// an extension that is none of them.
bool FormatOfName(const std::wstring& name, AddFormat& format);
// The name with its extension made the format's: "photos.zip" -> "photos.7z",
// "photos" -> "photos.7z", "logs.tar.gz" -> "logs.tar.xz".
std::wstring NameWithFormat(const std::wstring& name, AddFormat format);

struct AddOptions {
    AddFormat format = AddFormat::Zip;
    int level = LevelNormal;
    std::wstring method;    // one of the format's methods; empty: its default
    uint64_t solidBlock = 0; // 7z: 0 solid as the level makes it, 1 non-solid, else bytes
    int threads = 0;         // 0: as many as the tool chooses
    uint64_t volumeSize = 0; // 0: one file
    std::wstring password;   // empty: none; never remembered
    bool encryptNames = false; // 7z
    ZipEncryption zipEncryption = ZipEncryption::Aes256;
    UpdateMode update = UpdateMode::AddAndReplace;
    bool deleteAfter = false;       // sources to the Recycle Bin after a whole success
    bool separateArchives = false;  // one archive per item picked
};

// The solid-block choices for 7z, as the dialog lists them (0 and 1 as in AddOptions).
const std::vector<uint64_t>& SolidBlockChoices();
std::wstring SolidBlockText(uint64_t block);
// The level's name: "Store", "Fastest", ... "Ultra".
std::wstring LevelName(int level);
const std::vector<int>& LevelChoices();

// The tool's -t name of a format ("7z", "gzip"); a compressed tar's is its compressor's.
const wchar_t* ToolType(AddFormat format);

// Whether the format is a tar compressed in the same step (tar.gz, tar.xz, tar.bz2).
inline bool IsCompressedTar(AddFormat format) {
    return format == AddFormat::TarGz || format == AddFormat::TarXz || format == AddFormat::TarBz2;
}

// The tool's switches for these options, each with a leading blank: the format, level,
// method, solid blocks, threads, volumes, the encryption method and names, the update
// mode. The password itself is never among them: the tool asks for it. An archive that
// is there (`newArchive` false) keeps its format and is not split anew.
std::wstring AddSwitches(const AddOptions& options, bool newArchive = true);

// Reads a volume size as a user types it: "700m", "1.5g", "200k", "4092 MB", "650 MB CD",
// a bare number of bytes. False for anything else or a size under 64 KB.
bool ParseVolumeSize(const std::wstring& text, uint64_t& bytes);
// The common sizes the dialog offers.
const std::vector<std::wstring>& VolumeSizeChoices();
// "4092 MB", "1.5 GB", "200 KB".
std::wstring SizeText(uint64_t bytes);

// About how much memory the tool needs to compress with these options, and a program
// later to extract what it made, in bytes. The dictionary is the level's; the tool makes it
// smaller for less data, so these are the most it takes.
struct MemoryNeeds {
    uint64_t compress = 0;
    uint64_t extract = 0;
};
MemoryNeeds EstimateMemory(const AddOptions& options, bool toolIs32Bit);
// Why the choice cannot be made by a 32-bit tool ("" when it can): it would need more
// memory than such a program can hold.
std::wstring MemoryRefusal(const AddOptions& options, bool toolIs32Bit);
// Whether this program's tool is a 32-bit program (the 32-bit package's).
bool ToolIs32Bit();

// What the add will make, in one line: "photos.7z, 7z Ultra, volumes of 4092 MB,
// encrypted names". `sourceBytes` (0: unknown) tells how many volumes.
std::wstring DescribeAdd(const std::wstring& archiveName, const AddOptions& options,
                         uint64_t sourceBytes = 0);

// The options stored as one text for the settings store, and read back; anything unknown
// or out of range keeps the default. The password is never stored.
std::wstring StoreOptions(const AddOptions& options);
AddOptions LoadOptions(const std::wstring& stored);
