#include "archive/addoptions.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>

namespace {

const uint64_t KB = 1024;
const uint64_t MB = 1024 * KB;
const uint64_t GB = 1024 * MB;

const std::vector<std::wstring> sevenZipMethods{L"LZMA2", L"LZMA", L"PPMd", L"BZip2"};
const std::vector<std::wstring> zipMethods{L"Deflate", L"Deflate64", L"BZip2", L"LZMA"};

} // namespace

const wchar_t* ToolType(AddFormat format) {
    switch (format) {
    case AddFormat::SevenZip:
        return L"7z";
    case AddFormat::Zip:
        return L"zip";
    case AddFormat::Tar:
        return L"tar";
    case AddFormat::Wim:
        return L"wim";
    case AddFormat::GZip:
    case AddFormat::TarGz:
        return L"gzip";
    case AddFormat::XZ:
    case AddFormat::TarXz:
        return L"xz";
    case AddFormat::BZip2:
    case AddFormat::TarBz2:
        return L"bzip2";
    }
    return L"7z";
}

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The extensions a name may end in for each format, longest first within a format.
struct NamedExtension {
    const wchar_t* extension;
    AddFormat format;
};
const NamedExtension knownExtensions[] = {
    {L".tar.gz", AddFormat::TarGz}, {L".tgz", AddFormat::TarGz},
    {L".tar.xz", AddFormat::TarXz}, {L".txz", AddFormat::TarXz},
    {L".tar.bz2", AddFormat::TarBz2}, {L".tbz2", AddFormat::TarBz2},
    {L".tbz", AddFormat::TarBz2}, {L".7z", AddFormat::SevenZip},
    {L".zip", AddFormat::Zip}, {L".tar", AddFormat::Tar},
    {L".wim", AddFormat::Wim}, {L".gz", AddFormat::GZip},
    {L".xz", AddFormat::XZ}, {L".bz2", AddFormat::BZip2},
};

// The length of the known extension the name ends in; 0 for none.
size_t KnownExtensionLength(const std::wstring& name, AddFormat* format) {
    std::wstring lower = Lower(name);
    for (const NamedExtension& known : knownExtensions) {
        if (EndsWith(lower, known.extension) && lower.size() > wcslen(known.extension)) {
            if (format)
                *format = known.format;
            return wcslen(known.extension);
        }
    }
    return 0;
}

int ProcessorCount() {
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return std::max<int>(1, static_cast<int>(info.dwNumberOfProcessors));
}

// The dictionary of an LZMA level, as the tool takes it (its 32-bit build stops at 64 MB).
uint64_t Dictionary(int level, bool toolIs32Bit) {
    uint64_t size = level <= LevelFastest ? 256 * KB
                    : level <= LevelFast  ? 4 * MB
                    : level <= LevelNormal ? 32 * MB
                    : level <= LevelMaximum ? 128 * MB
                                            : 256 * MB;
    return toolIs32Bit ? std::min(size, 64 * MB) : size;
}

std::wstring Number(double value) {
    wchar_t text[32];
    if (value == static_cast<double>(static_cast<uint64_t>(value)))
        swprintf(text, 32, L"%llu", static_cast<unsigned long long>(value));
    else
        swprintf(text, 32, L"%.1f", value);
    return text;
}

} // namespace

const std::vector<FormatInfo>& AddFormatList() {
    // format, name, extension, single file, levels, encrypts, volumes, updates, methods
    static const std::vector<FormatInfo> formats{
        {AddFormat::SevenZip, L"7z", L"7z", false, true, true, true, true, sevenZipMethods},
        {AddFormat::Zip, L"zip", L"zip", false, true, true, true, true, zipMethods},
        {AddFormat::Tar, L"tar", L"tar", false, false, false, true, true, {}},
        {AddFormat::Wim, L"wim", L"wim", false, false, false, false, true, {}},
        {AddFormat::TarGz, L"tar.gz", L"tar.gz", false, true, false, false, false, {}},
        {AddFormat::TarXz, L"tar.xz", L"tar.xz", false, true, false, false, false, {}},
        {AddFormat::TarBz2, L"tar.bz2", L"tar.bz2", false, true, false, false, false, {}},
        {AddFormat::GZip, L"gz", L"gz", true, true, false, false, false, {}},
        {AddFormat::XZ, L"xz", L"xz", true, true, false, false, false, {}},
        {AddFormat::BZip2, L"bz2", L"bz2", true, true, false, false, false, {}},
    };
    return formats;
}

const FormatInfo& InfoOf(AddFormat format) {
    for (const FormatInfo& info : AddFormatList()) {
        if (info.format == format)
            return info;
    }
    return AddFormatList().front();
}

bool FormatOfName(const std::wstring& name, AddFormat& format) {
    return KnownExtensionLength(name, &format) != 0;
}

std::wstring NameWithFormat(const std::wstring& name, AddFormat format) {
    const std::wstring extension = std::wstring(L".") + InfoOf(format).extension;
    if (EndsWith(Lower(name), extension) && name.size() > extension.size())
        return name; // as the user wrote it: "ready.ZIP" stays
    std::wstring base = name;
    size_t known = KnownExtensionLength(name, nullptr);
    if (known != 0)
        base.resize(name.size() - known);
    // A single-file format keeps the file's own extension: "notes.txt" -> "notes.txt.gz".
    return base + L"." + InfoOf(format).extension;
}

const std::vector<int>& LevelChoices() {
    static const std::vector<int> levels{LevelStore,   LevelFastest, LevelFast,
                                         LevelNormal,  LevelMaximum, LevelUltra};
    return levels;
}

std::wstring LevelName(int level) {
    switch (level) {
    case LevelStore:
        return L"Store";
    case LevelFastest:
        return L"Fastest";
    case LevelFast:
        return L"Fast";
    case LevelMaximum:
        return L"Maximum";
    case LevelUltra:
        return L"Ultra";
    default:
        return L"Normal";
    }
}

const std::vector<uint64_t>& SolidBlockChoices() {
    static const std::vector<uint64_t> blocks{0, 1, 16 * MB, 64 * MB, 256 * MB, GB, 4 * GB};
    return blocks;
}

std::wstring SolidBlockText(uint64_t block) {
    if (block == 0)
        return L"Solid";
    if (block == 1)
        return L"Non-solid";
    return L"Solid blocks of " + SizeText(block);
}

std::wstring AddSwitches(const AddOptions& options, bool newArchive) {
    const FormatInfo& info = InfoOf(options.format);
    std::wstring switches;
    if (newArchive)
        switches = std::wstring(L" -t") + ToolType(options.format);
    const bool store = !info.levels || options.level == LevelStore;
    if (info.levels)
        switches += L" -mx=" + std::to_wstring(options.level);
    if (!store && !options.method.empty() &&
        std::find(info.methods.begin(), info.methods.end(), options.method) != info.methods.end()) {
        if (options.format == AddFormat::SevenZip)
            switches += L" -m0=" + options.method;
        else if (options.format == AddFormat::Zip)
            switches += L" -mm=" + options.method;
    }
    if (options.format == AddFormat::SevenZip && options.solidBlock == 1)
        switches += L" -ms=off";
    else if (options.format == AddFormat::SevenZip && options.solidBlock > 1)
        switches += L" -ms=" + std::to_wstring(options.solidBlock / MB) + L"m";
    // Deflate in a gzip stream is one stream: it takes no threads.
    const bool gzip = options.format == AddFormat::GZip || options.format == AddFormat::TarGz;
    if (info.levels && options.threads > 0 && !gzip)
        switches += L" -mmt=" + std::to_wstring(options.threads);
    if (newArchive && info.volumes && options.volumeSize > 0)
        switches += L" -v" + std::to_wstring(options.volumeSize) + L"b";
    if (!options.password.empty() && info.encrypts) {
        if (options.format == AddFormat::SevenZip && options.encryptNames)
            switches += L" -mhe=on";
        if (options.format == AddFormat::Zip)
            switches += options.zipEncryption == ZipEncryption::ZipCrypto ? L" -mem=ZipCrypto"
                                                                          : L" -mem=AES256";
    }
    // The states of the update switch: p (entry not picked), q (entry whose file is gone),
    // r (new file), x (entry newer), y (file newer), z (same), w (cannot tell); the
    // actions 0 drop, 1 keep the entry, 2 pack the file. Adding and replacing is the
    // tool's own default.
    switch (options.update) {
    case UpdateMode::AddAndReplace:
        break;
    case UpdateMode::Update:
        switches += L" -up1q1r2x1y2z1w2";
        break;
    case UpdateMode::Freshen:
        switches += L" -up1q1r0x1y2z1w2";
        break;
    case UpdateMode::Synchronize:
        switches += L" -up1q0r2x1y2z1w2";
        break;
    }
    return switches;
}

bool ParseVolumeSize(const std::wstring& text, uint64_t& bytes) {
    std::wstring lower = Lower(text);
    size_t at = lower.find_first_not_of(L" \t");
    if (at == std::wstring::npos)
        return false;
    size_t numberEnd = at;
    bool point = false;
    while (numberEnd < lower.size() &&
           (iswdigit(lower[numberEnd]) || (lower[numberEnd] == L'.' && !point))) {
        point = point || lower[numberEnd] == L'.';
        ++numberEnd;
    }
    std::wstring number = lower.substr(at, numberEnd - at);
    if (number.empty() || number == L"." || number.size() > 15)
        return false;
    double value = _wtof(number.c_str());
    size_t unitStart = lower.find_first_not_of(L" \t", numberEnd);
    std::wstring unit;
    if (unitStart != std::wstring::npos) {
        size_t unitEnd = unitStart;
        while (unitEnd < lower.size() && iswalpha(lower[unitEnd]))
            ++unitEnd;
        unit = lower.substr(unitStart, unitEnd - unitStart);
        // What follows the unit is a label the list gives a size ("650 MB CD", "4092 MB
        // FAT32"): only letters, digits and blanks.
        for (size_t i = unitEnd; i < lower.size(); ++i) {
            if (!iswalnum(lower[i]) && lower[i] != L' ')
                return false;
        }
    }
    static const std::map<std::wstring, uint64_t> units{
        {L"", 1},      {L"b", 1},   {L"k", KB},  {L"kb", KB}, {L"m", MB},
        {L"mb", MB},   {L"g", GB},  {L"gb", GB}, {L"kib", KB}, {L"mib", MB},
        {L"gib", GB},
    };
    auto found = units.find(unit);
    if (found == units.end())
        return false;
    double size = value * static_cast<double>(found->second);
    if (size < 64.0 * KB || size > 1e15)
        return false;
    bytes = static_cast<uint64_t>(size);
    return true;
}

const std::vector<std::wstring>& VolumeSizeChoices() {
    static const std::vector<std::wstring> sizes{L"10 MB",        L"100 MB",
                                                 L"650 MB CD",    L"700 MB CD",
                                                 L"4092 MB FAT32", L"4480 MB DVD"};
    return sizes;
}

std::wstring SizeText(uint64_t bytes) {
    if (bytes >= GB && bytes % (GB / 10) == 0 && bytes / GB < 1024)
        return Number(static_cast<double>(bytes) / GB) + L" GB";
    if (bytes >= MB && bytes % (MB / 10) == 0)
        return Number(static_cast<double>(bytes) / MB) + L" MB";
    if (bytes >= MB)
        return Number(static_cast<double>(bytes * 10 / MB) / 10) + L" MB";
    if (bytes >= KB)
        return Number(static_cast<double>(bytes * 10 / KB) / 10) + L" KB";
    return std::to_wstring(bytes) + L" bytes";
}

bool ToolIs32Bit() {
    return sizeof(void*) == 4;
}

MemoryNeeds EstimateMemory(const AddOptions& options, bool toolIs32Bit) {
    const FormatInfo& info = InfoOf(options.format);
    const uint64_t base = 2 * MB;
    MemoryNeeds needs{base, base};
    if (!info.levels || options.level == LevelStore)
        return needs;
    const uint64_t threads =
        static_cast<uint64_t>(options.threads > 0 ? options.threads : ProcessorCount());
    std::wstring method = options.method.empty() && !info.methods.empty() ? info.methods.front()
                                                                          : options.method;
    const bool lzma = options.format == AddFormat::XZ ||
                      options.format == AddFormat::TarXz || method == L"LZMA2" ||
                      method == L"LZMA";
    if (lzma) {
        const uint64_t dictionary = Dictionary(options.level, toolIs32Bit);
        // The fast levels find matches with a hash chain, the others with a binary tree
        // that takes more per byte of dictionary and two threads per encoder.
        const bool fastFinder = options.level <= LevelFast;
        uint64_t encoders = 1;
        if (options.format == AddFormat::Zip)
            encoders = threads; // one file per thread
        else if (method != L"LZMA")
            encoders = fastFinder ? threads : std::max<uint64_t>(1, threads / 2);
        uint64_t perEncoder = dictionary * (fastFinder ? 15 : 23) / 2 + 4 * MB;
        if (encoders > 1 && options.format != AddFormat::Zip)
            perEncoder += dictionary * 4; // the block each encoder packs on its own
        needs.compress = base + encoders * perEncoder;
        needs.extract = base + dictionary;
    } else if (method == L"PPMd") {
        uint64_t model = std::min<uint64_t>(uint64_t(1) << (19 + options.level), 192 * MB);
        uint64_t copies = options.format == AddFormat::Zip ? threads : 1;
        needs.compress = base + copies * model;
        needs.extract = base + model;
    } else if (method == L"BZip2" || options.format == AddFormat::BZip2 ||
               options.format == AddFormat::TarBz2) {
        needs.compress = base + threads * 10 * MB;
        needs.extract = base + 7 * MB;
    } else {
        needs.compress = base + threads * 4 * MB; // deflate
    }
    return needs;
}

std::wstring MemoryRefusal(const AddOptions& options, bool toolIs32Bit) {
    if (!toolIs32Bit)
        return std::wstring();
    MemoryNeeds needs = EstimateMemory(options, toolIs32Bit);
    if (needs.compress <= 2 * GB)
        return std::wstring();
    return L"Compressing as chosen (" + std::wstring(InfoOf(options.format).name) + L" " +
           LevelName(options.level) +
           (options.threads > 0 ? L", " + std::to_wstring(options.threads) + L" threads" : L"") +
           L") needs about " + SizeText(needs.compress / MB * MB) +
           L" of memory, more than the archive tool of this 32-bit program can use (2 GB).\n"
           L"Choose fewer CPU threads or a lower level, or use the 64-bit program.";
}

std::wstring DescribeAdd(const std::wstring& archiveName, const AddOptions& options,
                         uint64_t sourceBytes) {
    const FormatInfo& info = InfoOf(options.format);
    std::wstring text = archiveName + L", " + info.name;
    if (info.levels)
        text += L" " + LevelName(options.level);
    if (info.volumes && options.volumeSize > 0) {
        uint64_t count = sourceBytes == 0 ? 0 : (sourceBytes + options.volumeSize - 1) /
                                                    options.volumeSize;
        if (count > 1)
            text += L", up to " + std::to_wstring(count) + L" volumes of ";
        else if (count == 1)
            text += L", one volume of at most ";
        else
            text += L", volumes of ";
        text += SizeText(options.volumeSize);
    }
    if (!options.password.empty() && info.encrypts) {
        if (options.format == AddFormat::SevenZip)
            text += options.encryptNames ? L", encrypted names" : L", encrypted";
        else
            text += options.zipEncryption == ZipEncryption::ZipCrypto ? L", ZipCrypto"
                                                                      : L", AES-256";
    }
    return text;
}

std::wstring StoreOptions(const AddOptions& options) {
    std::wstring text;
    auto put = [&](const wchar_t* key, const std::wstring& value) {
        text += std::wstring(key) + L"=" + value + L";";
    };
    put(L"format", InfoOf(options.format).name);
    put(L"level", std::to_wstring(options.level));
    put(L"method", options.method);
    put(L"solid", std::to_wstring(options.solidBlock));
    put(L"threads", std::to_wstring(options.threads));
    put(L"volume", std::to_wstring(options.volumeSize));
    put(L"names", options.encryptNames ? L"1" : L"0");
    put(L"zipcrypto", options.zipEncryption == ZipEncryption::ZipCrypto ? L"1" : L"0");
    put(L"update", std::to_wstring(static_cast<int>(options.update)));
    put(L"delete", options.deleteAfter ? L"1" : L"0");
    put(L"separate", options.separateArchives ? L"1" : L"0");
    return text;
}

AddOptions LoadOptions(const std::wstring& stored) {
    AddOptions options;
    std::map<std::wstring, std::wstring> values;
    size_t start = 0;
    while (start < stored.size()) {
        size_t end = stored.find(L';', start);
        if (end == std::wstring::npos)
            end = stored.size();
        std::wstring pair = stored.substr(start, end - start);
        size_t equals = pair.find(L'=');
        if (equals != std::wstring::npos)
            values[pair.substr(0, equals)] = pair.substr(equals + 1);
        start = end + 1;
    }
    auto number = [&](const wchar_t* key, uint64_t fallback) -> uint64_t {
        auto found = values.find(key);
        if (found == values.end() || found->second.empty() ||
            found->second.find_first_not_of(L"0123456789") != std::wstring::npos ||
            found->second.size() > 15)
            return fallback;
        return _wcstoui64(found->second.c_str(), nullptr, 10);
    };
    for (const FormatInfo& info : AddFormatList()) {
        if (values[L"format"] == info.name)
            options.format = info.format;
    }
    int level = static_cast<int>(number(L"level", LevelNormal));
    const std::vector<int>& levels = LevelChoices();
    if (std::find(levels.begin(), levels.end(), level) != levels.end())
        options.level = level;
    const std::vector<std::wstring>& methods = InfoOf(options.format).methods;
    if (std::find(methods.begin(), methods.end(), values[L"method"]) != methods.end())
        options.method = values[L"method"];
    uint64_t solid = number(L"solid", 0);
    const std::vector<uint64_t>& blocks = SolidBlockChoices();
    if (std::find(blocks.begin(), blocks.end(), solid) != blocks.end())
        options.solidBlock = solid;
    options.threads = static_cast<int>(std::min<uint64_t>(number(L"threads", 0), 256));
    uint64_t volume = number(L"volume", 0);
    options.volumeSize = volume >= 64 * KB ? volume : 0;
    options.encryptNames = number(L"names", 0) == 1;
    options.zipEncryption =
        number(L"zipcrypto", 0) == 1 ? ZipEncryption::ZipCrypto : ZipEncryption::Aes256;
    uint64_t update = number(L"update", 0);
    options.update = update <= 3 ? static_cast<UpdateMode>(update) : UpdateMode::AddAndReplace;
    options.deleteAfter = number(L"delete", 0) == 1;
    options.separateArchives = number(L"separate", 0) == 1;
    return options;
}
