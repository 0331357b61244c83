// Opening an archive file through the library: the handler its extension names or its
// signature shows, the other volumes of a set, and an archive inside a compressed file or
// a split set (a .tar.gz lists the tar's entries).
#include "archive/library/archivelibrary.h"

#include "archive/archivekind.h"
#include "archive/library/diagnostics.h"
#include "archive/library/filestreams.h"
#include "archive/library/formats.h"
#include "archive/library/opencallback.h"
#include "archive/library/propvariant.h"
#include "archive/library/streampipe.h"
#include "shell/paths.h"

#include <algorithm>

using sevenzip::IInArchive;

OpenedArchive::OpenedArchive() = default;

OpenedArchive::~OpenedArchive() {
    archive.reset();
    feeder.reset(); // after the archive that reads from it
    while (!outers.empty())
        outers.pop_back(); // innermost first
    file.reset();
}

static DWORD WINAPI CloseHandler(void* parameter) {
    std::unique_ptr<OpenedArchive> opened(static_cast<OpenedArchive*>(parameter));
    opened->archive->Close();
    return 0;
}

void CloseInBackground(std::unique_ptr<OpenedArchive> opened) {
    // A feeder's thread may still read from the handler outside: that closing waits for it.
    if (!opened->archive || opened->feeder)
        return;
    // The files go now: the archive may be written or deleted the moment after.
    if (opened->file)
        opened->file->Close();
    for (auto& volume : opened->volumes)
        volume->Close();
    HANDLE thread = CreateThread(nullptr, 0, CloseHandler, opened.get(), 0, nullptr);
    if (!thread) {
        opened->archive->Close();
        return;
    }
    opened.release(); // the thread's now
    CloseHandle(thread);
}

namespace {

// A handler to try: its class id, and its format in the library's list (-1 when unknown).
struct Candidate {
    GUID classId;
    int format;
};

// The formats to try for a file, most likely first: the one its kind names, the others
// that name its extension, then those whose signature its first bytes (`head`) carry.
std::vector<Candidate> Candidates(const std::wstring& path, int kind, const std::string& head) {
    std::vector<Candidate> candidates;
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    auto add = [&](int format) {
        for (const Candidate& known : candidates) {
            if (known.format == format)
                return;
        }
        candidates.push_back({formats[static_cast<size_t>(format)].classId, format});
    };
    // 7z, RAR and ZIP by their names; another kind is its index in the list.
    const wchar_t* named = kind == ArchiveKind7z    ? L"7z"
                           : kind == ArchiveKindRar ? L"rar"
                           : kind == ArchiveKindZip ? L"zip"
                                                    : nullptr;
    if (named) {
        for (int format = FindFormatByExtension(named); format >= 0;
             format = FindFormatByExtension(named, format))
            add(format);
    } else if (kind >= ArchiveKindOther &&
               kind - ArchiveKindOther < static_cast<int>(formats.size())) {
        add(kind - ArchiveKindOther);
    }
    // The extension of a volume stands for its set's ("part3.rar" is a "rar").
    std::wstring name = FileNamePart(path);
    size_t dot = name.rfind(L'.');
    if (kind != ArchiveKindNone && dot != std::wstring::npos) {
        std::wstring extension = name.substr(dot + 1);
        for (int format = FindFormatByExtension(extension); format >= 0;
             format = FindFormatByExtension(extension, format))
            add(format);
    }
    for (int format : FormatsBySignature(head))
        add(format);
    // Without the list (an older library, say) the three kinds still have their handlers.
    if (candidates.empty() && named) {
        GUID classId = kind == ArchiveKind7z    ? sevenzip::CLSID_Format7z
                       : kind == ArchiveKindRar ? sevenzip::CLSID_FormatRar
                                                : sevenzip::CLSID_FormatZip;
        candidates.push_back({classId, -1});
        if (kind == ArchiveKindRar)
            candidates.push_back({sevenzip::CLSID_FormatRar5, -1});
    }
    return candidates;
}

// The first bytes of a file, enough for every signature the library knows (an ISO image
// keeps its one 32 KB in).
std::string ReadHead(const std::wstring& path) {
    std::string head(40 * 1024, '\0');
    HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, &head[0], static_cast<DWORD>(head.size()), &read, nullptr);
        CloseHandle(file);
    }
    head.resize(read);
    return head;
}

bool CreateHandler(sevenzip::CreateObjectFunction createObject, const GUID& classId,
                   win::ComPtr<IInArchive>& archive) {
    HRESULT result = createObject(&classId, &sevenzip::IID_IInArchive, archive.putVoid());
    return result == S_OK && archive;
}

std::wstring ItemPath(IInArchive* archive, UINT32 index) {
    PropVariant value;
    archive->GetProperty(index, sevenzip::kpidPath, value.Reset());
    return value.vt == VT_BSTR && value.bstrVal ? std::wstring(value.bstrVal) : std::wstring();
}

uint32_t ErrorFlags(IInArchive* archive) {
    PropVariant value;
    archive->GetArchiveProperty(sevenzip::kpidErrorFlags, value.Reset());
    return value.vt == VT_UI4 ? value.ulVal : 0;
}

// Opens what a compressed file or a split set holds, when that is an archive: a .tar.gz
// lists the tar, a .7z.001 set the 7z. `opened` then reads the inner archive. False when
// there was an archive inside that would not open (a set cut short, say).
bool OpenInner(OpenedArchive& opened, sevenzip::CreateObjectFunction createObject,
               CArchiveOpenCallback* callback) {
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    std::wstring outerName = FileNamePart(opened.path);
    for (int depth = 0; depth < 3; ++depth) {
        if (opened.format < 0 || !IsStreamFormat(formats[static_cast<size_t>(opened.format)]))
            return true;
        UINT32 count = 0;
        if (opened.archive->GetNumberOfItems(&count) != S_OK || count != 1)
            return true;
        opened.defaultItemName = ContainedName(outerName);
        std::wstring name = FileNamePart(ItemPath(opened.archive.get(), 0));
        if (name.empty())
            name = opened.defaultItemName;
        if (!IsArchivePath(name))
            return true; // a compressed document: the file itself is the one entry

        // A split set hands out its joined volumes as a stream to read anywhere; a
        // compressed file is unpacked, front to back, into a pipe.
        win::ComPtr<sevenzip::IInArchiveGetStream> getStream;
        win::ComPtr<sevenzip::ISequentialInStream> stream;
        std::unique_ptr<StreamFeeder> feeder;
        if (opened.archive->QueryInterface(sevenzip::IID_IInArchiveGetStream,
                                           getStream.putVoid()) != S_OK ||
            getStream->GetStream(0, stream.put()) != S_OK || !stream) {
            feeder = std::make_unique<StreamFeeder>(opened.archive.get());
            stream = feeder->Stream();
        }
        win::ComPtr<sevenzip::IInStream> seekable;
        stream->QueryInterface(sevenzip::IID_IInStream, seekable.putVoid());

        callback->SetName(name);
        win::ComPtr<IInArchive> inner;
        int innerFormat = -1;
        for (const Candidate& candidate : Candidates(name, GetArchiveKind(name), std::string())) {
            if (!CreateHandler(createObject, candidate.classId, inner))
                continue;
            HRESULT result = E_FAIL;
            if (seekable) {
                UINT64 start = 0;
                seekable->Seek(0, FILE_BEGIN, &start);
                result = inner->Open(seekable.get(), nullptr, callback);
            } else {
                // Read once, front to back: one handler gets the one chance.
                win::ComPtr<sevenzip::IArchiveOpenSeq> sequential;
                if (inner->QueryInterface(sevenzip::IID_IArchiveOpenSeq, sequential.putVoid()) !=
                    S_OK)
                    continue;
                result = sequential->OpenSeq(stream.get());
                if (result != S_OK) {
                    inner.reset();
                    break;
                }
            }
            if (result == S_OK) {
                innerFormat = candidate.format;
                break;
            }
            inner.reset();
            if (result == E_ABORT)
                break;
        }
        if (!inner)
            return false;
        if (feeder) {
            feeder->Start();
            opened.feeder = std::move(feeder);
        }
        opened.outers.push_back(opened.archive);
        opened.archive = inner;
        opened.format = innerFormat;
        opened.sequential = !seekable;
        opened.defaultItemName = L"[Content]";
        outerName = name;
        if (opened.sequential)
            return true;
    }
    return true;
}

// The volume that is missing from a set, when one is: the first the handler asked for
// that was not there. The handlers of RAR and ZIP sets ask only for the volumes their set
// says it has; the one of split sets asks for one more than there are, so there the volume
// counts as missing only when a later one is there (a gap) or the set reads as cut short.
std::wstring MissingVolume(const OpenedArchive& opened, const CArchiveOpenCallback& callback,
                           int outermostFormat, bool cutShort) {
    const std::wstring& asked = callback.missingVolume();
    if (asked.empty())
        return std::wstring();
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    if (outermostFormat < 0 || formats[static_cast<size_t>(outermostFormat)].name != L"Split")
        return asked;
    std::wstring folder =
        opened.path.substr(0, opened.path.size() - FileNamePart(opened.path).size());
    std::wstring later = NextVolume(folder + asked);
    if (!later.empty() && PathExists(later))
        return asked;
    return cutShort ? asked : std::wstring();
}

// A set whose handler read it as cut short (RAR, spanned ZIP), or a split set whose
// archive would not open and whose last volume is as long as its first: more was to come.
bool ReadsCutShort(const OpenedArchive& opened, bool innerFailed) {
    const uint32_t cut =
        sevenzip::ErrorUnexpectedEnd | sevenzip::ErrorHeaders | sevenzip::ErrorUnavailableStart;
    IInArchive* outermost = opened.outers.empty() ? opened.archive.get() : opened.outers[0].get();
    if (ErrorFlags(outermost) & cut)
        return true;
    if (!innerFailed)
        return false;
    std::wstring last = opened.path;
    for (std::wstring next = NextVolume(last); !next.empty() && PathExists(next);
         next = NextVolume(next))
        last = next;
    return FileSize(last) == FileSize(opened.path);
}

} // namespace

int OpenArchive(OpenedArchive& opened, const std::wstring& archiveName, int kind,
                std::wstring* password, CancelFlag cancelled) {
    opened.lib.reset(LoadLibraryW(GetLibraryPath().c_str()));
    if (!opened.lib) {
        EmitError(L"Can not load 7-zip library");
        return 1;
    }
    auto createObject = reinterpret_cast<sevenzip::CreateObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(opened.lib.get(), "CreateObject")));
    if (!createObject) {
        EmitError(L"Can not get CreateObject");
        return 1;
    }

    // Any volume of a set opens the whole set, from its first volume.
    opened.path = FirstVolume(archiveName);
    std::wstring firstName = FirstVolumeName(archiveName);
    if (!firstName.empty() && !PathExists(firstName)) {
        opened.missingVolume = FileNamePart(firstName);
        EmitError(L"Missing volume : " + opened.missingVolume);
        return 1;
    }
    if (!PathExists(opened.path) || IsDirectory(opened.path)) {
        EmitError(L"Can not open archive file");
        return 1;
    }
    std::vector<Candidate> candidates = Candidates(opened.path, kind, ReadHead(opened.path));
    if (candidates.empty()) {
        EmitError(L"Can not get class object");
        return 1;
    }

    bool passwordKnown = password && !password->empty();
    for (;;) {
        win::ComPtr<CArchiveOpenCallback> callback(
            new CArchiveOpenCallback(cancelled, opened.path));
        if (passwordKnown) {
            callback->passwordDefined = true;
            callback->password = *password;
        }
        HRESULT result = E_FAIL;
        for (const Candidate& candidate : candidates) {
            if (!CreateHandler(createObject, candidate.classId, opened.archive))
                continue;
            opened.file = new CInFileStream;
            if (!opened.file->Open(LongPathForm(opened.path))) {
                EmitError(L"Can not open archive file");
                return 1;
            }
            result = opened.archive->Open(opened.file.get(), nullptr, callback.get());
            if (result == S_OK) {
                opened.format = candidate.format;
                break;
            }
            // What the handler the file's kind names found: cut short, or damaged.
            if (opened.openErrors == 0)
                opened.openErrors = ErrorFlags(opened.archive.get()) &
                                    ~static_cast<uint32_t>(sevenzip::ErrorIsNotArchive);
            opened.archive.reset();
            // A declined password or a cancelled job is not a reason to try another.
            if (result == E_ABORT || IsCancelled(cancelled))
                break;
        }

        if (result == S_OK) {
            int outermostFormat = opened.format;
            bool innerFailed = !OpenInner(opened, createObject, callback.get());
            opened.missingVolume = MissingVolume(opened, *callback.get(), outermostFormat,
                                                 ReadsCutShort(opened, innerFailed));
            if (!opened.missingVolume.empty()) {
                EmitError(L"Missing volume : " + opened.missingVolume);
                return 1;
            }
            if (password)
                *password = callback->password;
            opened.volumes = callback->volumes();
            opened.volumePaths = callback->volumePaths();
            if (!opened.outers.empty())
                opened.outerFormat = outermostFormat;
            opened.namesEncrypted = callback->passwordAsked;
            return 0;
        }
        opened.missingVolume = MissingVolume(opened, *callback.get(), -1, true);
        if (!opened.missingVolume.empty()) {
            EmitError(L"Missing volume : " + opened.missingVolume);
            return 1;
        }
        // A password the user typed for the names that did not open them is wrong (the
        // names cannot be read without the right one): said, and asked for again. A known
        // password handed in, a declined prompt or a cancel end the open.
        if (result == E_ABORT || !callback->passwordTyped || IsCancelled(cancelled)) {
            EmitError(L"Can not open archive");
            return 1;
        }
        HandleArchiveRequest(RequestWrongPassword, nullptr, 0);
        passwordKnown = false;
    }
}
