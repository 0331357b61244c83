#include "ui/addchoices.h"

#include "archive/archivekind.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "ui/settings.h"

#include <shlwapi.h>

#include <algorithm>

namespace {

const wchar_t caption[] = L"Varnix File Opener";

const wchar_t* const updateModeNames[] = {L"Add and replace files", L"Update and add files",
                                          L"Freshen existing files", L"Synchronize files"};

void AddItem(HWND dialog, int id, const std::wstring& text, LPARAM data) {
    LRESULT at = SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(text.c_str()));
    if (at >= 0)
        SendDlgItemMessageW(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
}

// Selects the item whose data is `data`, or the first.
void SelectData(HWND dialog, int id, LPARAM data) {
    LRESULT count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT at = 0; at < count; ++at) {
        if (SendDlgItemMessageW(dialog, id, CB_GETITEMDATA, static_cast<WPARAM>(at), 0) == data) {
            SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
            return;
        }
    }
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, 0, 0);
}

LPARAM SelectedData(HWND dialog, int id) {
    LRESULT at = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    if (at < 0)
        return 0;
    return SendDlgItemMessageW(dialog, id, CB_GETITEMDATA, static_cast<WPARAM>(at), 0);
}

std::wstring ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(control, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// What the ZIP encryption methods are, for a user choosing one.
const wchar_t* ZipEncryptionNote(ZipEncryption encryption) {
    return encryption == ZipEncryption::ZipCrypto
               ? L"ZipCrypto is weak: it can be broken in minutes. But Windows' own zip folders "
                 L"and the oldest tools open it."
               : L"AES-256 is strong. Windows' own zip folders cannot open it; current archive "
                 L"programs can.";
}

int ThreadChoiceCount() {
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return std::min<int>(64, std::max<int>(2, 2 * static_cast<int>(info.dwNumberOfProcessors)));
}

// An amount of memory as a user reads it: "130 MB", "1.4 GB".
std::wstring MemoryText(uint64_t bytes) {
    wchar_t text[32];
    if (bytes >= (uint64_t(1) << 30))
        swprintf(text, 32, L"%.1f GB", static_cast<double>(bytes) / (1 << 30));
    else
        swprintf(text, 32, L"%llu MB", static_cast<unsigned long long>((bytes + (1 << 19)) >> 20));
    return text;
}

// A file name without its last extension ("notes.txt" -> "notes").
std::wstring Stem(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

std::wstring LoadText(const wchar_t* name) {
    win::RegKey key = OpenSettingsKey();
    wchar_t text[512] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (!key || RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text),
                                 &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    return text;
}

void SaveText(const std::wstring& name, const std::wstring& text) {
    win::RegKey key = OpenSettingsKey();
    if (key)
        RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

} // namespace

AddOptions RememberedAddOptions() {
    return LoadOptions(LoadText(L"add_options"));
}

AddOptions RememberedAddOptions(AddFormat format) {
    std::wstring stored = LoadText((L"add_options_" + std::wstring(InfoOf(format).name)).c_str());
    AddOptions options = stored.empty() ? AddOptions() : LoadOptions(stored);
    if (stored.empty())
        options.level = LevelNormal;
    options.format = format;
    // A one-click add makes one archive of what it gets and deletes nothing.
    options.separateArchives = false;
    options.deleteAfter = false;
    options.volumeSize = 0;
    options.update = UpdateMode::AddAndReplace;
    return options;
}

void RememberAddOptions(const AddOptions& options) {
    AddOptions kept = options;
    kept.password.clear();
    std::wstring text = StoreOptions(kept);
    SaveText(L"add_options", text);
    SaveText(L"add_options_" + std::wstring(InfoOf(options.format).name), text);
}

void AddChoices::Init(HWND dialog, const AddOptions& remembered,
                      const std::vector<std::wstring>& sources, uint64_t sourceBytes) {
    dialog_ = dialog;
    sources_ = sources;
    sourceBytes_ = sourceBytes;
    for (size_t i = 0; i < AddFormatList().size(); ++i)
        AddItem(dialog, IDC_ADD_FORMAT, AddFormatList()[i].name, static_cast<LPARAM>(i));
    for (size_t i = 0; i < AddFormatList().size(); ++i) {
        if (AddFormatList()[i].format == remembered.format)
            SelectData(dialog, IDC_ADD_FORMAT, static_cast<LPARAM>(i));
    }
    for (int level : LevelChoices())
        AddItem(dialog, IDC_ADD_LEVEL, LevelName(level), level);
    SelectData(dialog, IDC_ADD_LEVEL, remembered.level);
    FillMethods(remembered.format, remembered.method);
    const std::vector<uint64_t>& blocks = SolidBlockChoices();
    for (size_t i = 0; i < blocks.size(); ++i)
        AddItem(dialog, IDC_ADD_SOLID, SolidBlockText(blocks[i]), static_cast<LPARAM>(i));
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i] == remembered.solidBlock)
            SelectData(dialog, IDC_ADD_SOLID, static_cast<LPARAM>(i));
    }
    AddItem(dialog, IDC_ADD_THREADS, L"Automatic", 0);
    for (int threads = 1; threads <= ThreadChoiceCount(); ++threads)
        AddItem(dialog, IDC_ADD_THREADS, std::to_wstring(threads), threads);
    SelectData(dialog, IDC_ADD_THREADS, remembered.threads);
    for (const std::wstring& size : VolumeSizeChoices())
        SendDlgItemMessageW(dialog, IDC_ADD_VOLUMES, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(size.c_str()));
    if (remembered.volumeSize > 0)
        SetDlgItemTextW(dialog, IDC_ADD_VOLUMES, SizeText(remembered.volumeSize).c_str());
    for (int mode = 0; mode < 4; ++mode)
        AddItem(dialog, IDC_ADD_UPDATE, updateModeNames[mode], mode);
    SelectData(dialog, IDC_ADD_UPDATE, static_cast<LPARAM>(remembered.update));
    AddItem(dialog, IDC_ADD_ZIP_ENCRYPTION, L"AES-256", 0);
    AddItem(dialog, IDC_ADD_ZIP_ENCRYPTION, L"ZipCrypto", 1);
    SelectData(dialog, IDC_ADD_ZIP_ENCRYPTION,
               remembered.zipEncryption == ZipEncryption::ZipCrypto ? 1 : 0);
    CheckDlgButton(dialog, IDC_ADD_ENCRYPT_NAMES, remembered.encryptNames ? BST_CHECKED : 0);
    CheckDlgButton(dialog, IDC_ADD_DELETE_AFTER, remembered.deleteAfter ? BST_CHECKED : 0);
    CheckDlgButton(dialog, IDC_ADD_SEPARATE,
                   remembered.separateArchives && sources.size() > 1 ? BST_CHECKED : 0);
    // The default name already has the remembered format's extension.
    OnNameChanged();
}

void AddChoices::FillMethods(AddFormat format, const std::wstring& method) {
    SendDlgItemMessageW(dialog_, IDC_ADD_METHOD, CB_RESETCONTENT, 0, 0);
    const std::vector<std::wstring>& methods = InfoOf(format).methods;
    if (methods.empty()) {
        AddItem(dialog_, IDC_ADD_METHOD, L"The format's own", 0);
    } else {
        for (size_t i = 0; i < methods.size(); ++i)
            AddItem(dialog_, IDC_ADD_METHOD, methods[i], static_cast<LPARAM>(i));
    }
    LPARAM chosen = 0;
    for (size_t i = 0; i < methods.size(); ++i) {
        if (methods[i] == method)
            chosen = static_cast<LPARAM>(i);
    }
    SelectData(dialog_, IDC_ADD_METHOD, chosen);
}

AddFormat AddChoices::ChosenFormat() const {
    size_t index = static_cast<size_t>(SelectedData(dialog_, IDC_ADD_FORMAT));
    return index < AddFormatList().size() ? AddFormatList()[index].format : AddFormat::Zip;
}

std::wstring AddChoices::Name() const {
    return ControlText(dialog_, IDC_ARCHIVE_NAME);
}

void AddChoices::OnFormatChosen() {
    const AddFormat format = ChosenFormat();
    const FormatInfo& info = InfoOf(format);
    std::wstring method;
    if (!info.methods.empty() && Selected(IDC_ADD_METHOD) >= 0)
        method = ControlText(dialog_, IDC_ADD_METHOD);
    FillMethods(format, method);
    std::wstring name = Name();
    if (!existing_ && !name.empty()) {
        // "report.zip" -> "report.7z"; a single file's format keeps the file's name whole
        // ("notes.txt" -> "notes.txt.gz"), and going back drops it ("notes.zip").
        std::wstring folder = name.substr(0, name.rfind(L'\\') + 1);
        const std::wstring source = sources_.empty() ? std::wstring() : FileNamePart(sources_[0]);
        std::wstring named;
        if (info.singleFile && sources_.size() == 1 && !source.empty())
            named = folder + source + L"." + info.extension;
        else {
            named = NameWithFormat(name, format);
            std::wstring singleName = folder + source + L"." + info.extension;
            if (sources_.size() == 1 && !IsDirectory(sources_[0]) && named == singleName)
                named = folder + Stem(source) + L"." + info.extension;
        }
        settingName_ = true;
        SetDlgItemTextW(dialog_, IDC_ARCHIVE_NAME, named.c_str());
        settingName_ = false;
    }
    Refresh();
}

void AddChoices::SetSources(const std::vector<std::wstring>& sources, uint64_t sourceBytes) {
    sources_ = sources;
    sourceBytes_ = sourceBytes;
    Refresh();
}

void AddChoices::OnNameChanged() {
    std::wstring name = Name();
    existing_ = !name.empty() && FileExists(name);
    if (settingName_) {
        Refresh();
        return;
    }
    AddFormat named;
    if (existing_ || FormatOfName(name, named)) {
        if (!FormatOfName(name, named))
            named = GetArchiveKind(name) == ArchiveKindZip ? AddFormat::Zip : AddFormat::SevenZip;
        for (size_t i = 0; i < AddFormatList().size(); ++i) {
            if (AddFormatList()[i].format == named && ChosenFormat() != named) {
                SelectData(dialog_, IDC_ADD_FORMAT, static_cast<LPARAM>(i));
                FillMethods(named, std::wstring());
            }
        }
    }
    Refresh();
}

void AddChoices::OnShowPassword() {
    // Shown, the password is typed once: what is seen needs no second field to check it.
    const bool shown = Checked(dialog_, IDC_ADD_SHOW_PASSWORD);
    for (int id : {IDC_ADD_PASSWORD, IDC_ADD_PASSWORD_AGAIN}) {
        SendDlgItemMessageW(dialog_, id, EM_SETPASSWORDCHAR, shown ? 0 : 0x25CF, 0);
        InvalidateRect(GetDlgItem(dialog_, id), nullptr, TRUE);
    }
    Refresh();
}

void AddChoices::Enable(int id, bool enabled) const {
    EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

int AddChoices::Selected(int id) const {
    return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0));
}

void AddChoices::Refresh() {
    const AddFormat format = ChosenFormat();
    const FormatInfo& info = InfoOf(format);
    const bool hasPassword = GetWindowTextLengthW(GetDlgItem(dialog_, IDC_ADD_PASSWORD)) > 0;
    Enable(IDC_ADD_FORMAT, !existing_);
    Enable(IDC_ADD_LEVEL, info.levels);
    if (!info.levels)
        SelectData(dialog_, IDC_ADD_LEVEL, LevelStore);
    const bool compressing = info.levels && SelectedData(dialog_, IDC_ADD_LEVEL) != LevelStore;
    Enable(IDC_ADD_METHOD, compressing && !info.methods.empty());
    Enable(IDC_ADD_SOLID, compressing && format == AddFormat::SevenZip);
    Enable(IDC_ADD_THREADS, compressing);
    Enable(IDC_ADD_VOLUMES, info.volumes && !existing_);
    Enable(IDC_ADD_UPDATE, existing_);
    Enable(IDC_ADD_PASSWORD, info.encrypts);
    Enable(IDC_ADD_PASSWORD_AGAIN, info.encrypts && !Checked(dialog_, IDC_ADD_SHOW_PASSWORD));
    Enable(IDC_ADD_SHOW_PASSWORD, info.encrypts);
    Enable(IDC_ADD_ENCRYPT_NAMES, format == AddFormat::SevenZip && hasPassword);
    Enable(IDC_ADD_ZIP_ENCRYPTION, format == AddFormat::Zip && hasPassword);
    const ZipEncryption zipEncryption = SelectedData(dialog_, IDC_ADD_ZIP_ENCRYPTION) == 1
                                            ? ZipEncryption::ZipCrypto
                                            : ZipEncryption::Aes256;
    SetDlgItemTextW(dialog_, IDC_ADD_ZIP_NOTE,
                    format == AddFormat::Zip ? ZipEncryptionNote(zipEncryption) : L"");
    Enable(IDC_ADD_SEPARATE, sources_.size() > 1);

    AddOptions options;
    options.format = format;
    options.level = static_cast<int>(SelectedData(dialog_, IDC_ADD_LEVEL));
    if (!info.methods.empty())
        options.method = info.methods[static_cast<size_t>(
            std::min<LPARAM>(SelectedData(dialog_, IDC_ADD_METHOD),
                             static_cast<LPARAM>(info.methods.size() - 1)))];
    options.threads = static_cast<int>(SelectedData(dialog_, IDC_ADD_THREADS));
    uint64_t volume = 0;
    if (ParseVolumeSize(ControlText(dialog_, IDC_ADD_VOLUMES), volume) && !existing_)
        options.volumeSize = volume;
    if (hasPassword)
        options.password = L"*"; // only whether there is one
    options.encryptNames = Checked(dialog_, IDC_ADD_ENCRYPT_NAMES);
    options.zipEncryption = zipEncryption;

    MemoryNeeds needs = EstimateMemory(options, ToolIs32Bit());
    std::wstring memory = L"Memory for compressing: about " + MemoryText(needs.compress) +
                          L"\nMemory for extracting: about " + MemoryText(needs.extract);
    SetDlgItemTextW(dialog_, IDC_ADD_MEMORY, memory.c_str());
    std::wstring summary;
    if (Checked(dialog_, IDC_ADD_SEPARATE) && sources_.size() > 1)
        summary = std::to_wstring(sources_.size()) + L" archives, one for each item: " +
                  DescribeAdd(L"*." + std::wstring(info.extension), options);
    else
        summary = DescribeAdd(FileNamePart(Name()), options, sourceBytes_);
    if (existing_)
        summary += L", " + std::wstring(updateModeNames[SelectedData(dialog_, IDC_ADD_UPDATE) & 3]);
    SetDlgItemTextW(dialog_, IDC_ADD_SUMMARY, summary.c_str());
}

bool AddChoices::Read(AddOptions& options) const {
    options = AddOptions();
    options.format = ChosenFormat();
    const FormatInfo& info = InfoOf(options.format);
    options.level = info.levels ? static_cast<int>(SelectedData(dialog_, IDC_ADD_LEVEL)) : LevelStore;
    if (!info.methods.empty()) {
        size_t at = static_cast<size_t>(SelectedData(dialog_, IDC_ADD_METHOD));
        options.method = info.methods[std::min(at, info.methods.size() - 1)];
    }
    size_t solid = static_cast<size_t>(SelectedData(dialog_, IDC_ADD_SOLID));
    options.solidBlock = SolidBlockChoices()[std::min(solid, SolidBlockChoices().size() - 1)];
    options.threads = static_cast<int>(SelectedData(dialog_, IDC_ADD_THREADS));
    std::wstring volumeText = ControlText(dialog_, IDC_ADD_VOLUMES);
    if (info.volumes && !existing_ &&
        volumeText.find_first_not_of(L" \t") != std::wstring::npos &&
        !ParseVolumeSize(volumeText, options.volumeSize)) {
        MessageBoxW(dialog_,
                    (L"\"" + volumeText +
                     L"\" is not a volume size. Type a size with its unit, such as 700m, 1.5g or "
                     L"200k (64 KB at least), or leave the field empty for one file.")
                        .c_str(),
                    caption, MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(dialog_, IDC_ADD_VOLUMES));
        return false;
    }
    options.update = static_cast<UpdateMode>(SelectedData(dialog_, IDC_ADD_UPDATE) & 3);
    options.encryptNames = Checked(dialog_, IDC_ADD_ENCRYPT_NAMES);
    options.zipEncryption = SelectedData(dialog_, IDC_ADD_ZIP_ENCRYPTION) == 1
                                ? ZipEncryption::ZipCrypto
                                : ZipEncryption::Aes256;
    options.deleteAfter = Checked(dialog_, IDC_ADD_DELETE_AFTER);
    options.separateArchives = Checked(dialog_, IDC_ADD_SEPARATE) && sources_.size() > 1;

    if (info.singleFile && !options.separateArchives &&
        (sources_.size() != 1 || IsDirectory(sources_[0]))) {
        MessageBoxW(dialog_,
                    (std::wstring(info.name) + L" compresses one file. For a folder or several "
                                               L"files choose tar." + info.name +
                     L", or make a separate archive for each item.")
                        .c_str(),
                    caption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (info.singleFile && options.separateArchives) {
        for (const std::wstring& source : sources_) {
            if (IsDirectory(source)) {
                MessageBoxW(dialog_,
                            (std::wstring(info.name) + L" compresses one file, and " +
                             FileNamePart(source) + L" is a folder. Choose tar." + info.name + L".")
                                .c_str(),
                            caption, MB_OK | MB_ICONEXCLAMATION);
                return false;
            }
        }
    }
    std::wstring refusal = MemoryRefusal(options, ToolIs32Bit());
    if (!refusal.empty()) {
        MessageBoxW(dialog_, refusal.c_str(), caption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}
