#include "archive/library/archivelibrary.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/library/diagnostics.h"
#include "archive/library/filestreams.h"
#include "archive/library/opencallback.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "ui/passwordprompt.h"
#include "ui/replaceprompt.h"

#include <cwchar>

const wchar_t wrongPasswordMessage[] =
    L"The password is not correct. Type it again, or press Cancel.";

std::wstring GetLibraryPath() {
    static const std::wstring path = ProgramFolder() + L"\\core\\7z.dll";
    return path;
}

GUID GetFormatClassId(int kind) {
    switch (kind) {
    case ArchiveKind7z:
        return sevenzip::CLSID_Format7z;
    case ArchiveKindRar:
        return sevenzip::CLSID_FormatRar;
    case ArchiveKindZip:
        return sevenzip::CLSID_FormatZip;
    default:
        return GUID{};
    }
}

// Makes the library's handler for a format; S_OK when made.
static HRESULT CreateHandler(sevenzip::CreateObjectFunction createObject, const GUID& classId,
                             win::ComPtr<sevenzip::IInArchive>& archive) {
    HRESULT result = createObject(&classId, &sevenzip::IID_IInArchive, archive.putVoid());
    return result == S_OK && archive ? S_OK : E_FAIL;
}

// Lets the handler read the archive file through a fresh stream.
static HRESULT OpenWithHandler(sevenzip::IInArchive* archive, const std::wstring& archiveName,
                               CArchiveOpenCallback* callback, bool& fileOpened) {
    win::ComPtr<CInFileStream> stream(new CInFileStream);
    fileOpened = stream->Open(archiveName);
    if (!fileOpened)
        return E_FAIL;
    return archive->Open(stream.get(), nullptr, callback);
}

// One attempt at opening: a fresh handler of `kind` reads the file.
static HRESULT TryOpen(sevenzip::CreateObjectFunction createObject, int kind,
                       const std::wstring& archiveName, CArchiveOpenCallback* callback,
                       OpenedArchive& opened, bool& fileOpened) {
    if (CreateHandler(createObject, GetFormatClassId(kind), opened.archive) != S_OK) {
        EmitError(L"Can not get class object");
        return E_NOINTERFACE;
    }
    HRESULT result = OpenWithHandler(opened.archive.get(), archiveName, callback, fileOpened);
    // The RAR handler reads RAR 1.5 to 4.x only; a RAR 5 archive has a handler of its own.
    // A declined password or a cancelled job is not a reason to try it.
    if (fileOpened && result != S_OK && result != E_ABORT && kind == ArchiveKindRar &&
        CreateHandler(createObject, sevenzip::CLSID_FormatRar5, opened.archive) == S_OK)
        result = OpenWithHandler(opened.archive.get(), archiveName, callback, fileOpened);
    return result;
}

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

    bool passwordKnown = password && !password->empty();
    for (;;) {
        win::ComPtr<CArchiveOpenCallback> callback(new CArchiveOpenCallback(cancelled));
        if (passwordKnown) {
            callback->passwordDefined = true;
            callback->password = *password;
        }
        bool fileOpened = false;
        HRESULT result =
            TryOpen(createObject, kind, archiveName, callback.get(), opened, fileOpened);
        if (result == E_NOINTERFACE)
            return 1;
        if (!fileOpened) {
            EmitError(L"Can not open archive file");
            return 1;
        }
        if (result == S_OK) {
            if (password)
                *password = callback->password;
            return 0;
        }
        // A password the user typed for the names that did not open them is wrong (the
        // names cannot be read without the right one): said, and asked for again. A known
        // password handed in, a declined prompt or a cancel end the open.
        opened.archive.reset();
        if (result == E_ABORT || !callback->passwordTyped || IsCancelled(cancelled)) {
            EmitError(L"Can not open archive");
            return 1;
        }
        HandleArchiveRequest(RequestWrongPassword, nullptr, 0);
        passwordKnown = false;
    }
}

int HandleArchiveRequest(int request, void* data, size_t capacity) {
    switch (request) {
    case RequestPassword: {
        std::string typed;
        if (!data || capacity == 0 || !PromptPassword(typed))
            return 1;
        std::wstring wide = Utf8ToWide(typed);
        wcsncpy_s(static_cast<wchar_t*>(data), capacity, wide.c_str(), _TRUNCATE);
        SecureZeroMemory(&typed[0], typed.size());
        return 0;
    }
    case RequestTotal:
        if (data)
            progressTotal = *static_cast<const uint64_t*>(data);
        return 0;
    case RequestCompleted:
        if (data)
            progressCompleted = *static_cast<const uint64_t*>(data);
        return 0;
    case RequestReplace: {
        auto question = static_cast<ReplaceQuestion*>(data);
        if (!question)
            return 1;
        question->answer = static_cast<int>(AskReplace(
            question->path, question->entry, question->sameExtraction, question->keptName));
        return 0;
    }
    case RequestWrongPassword:
        MessageBoxW(AppState.mainWindow, wrongPasswordMessage, L"Varnix File Opener",
                    MB_OK | MB_ICONWARNING);
        return 0;
    default:
        return 1;
    }
}

std::atomic<int> passwordsDeclined{0};

HRESULT GivePassword(bool& passwordDefined, std::wstring& password, BSTR* out, bool* typed) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    // The user is asked once per callback: the library asks again for every entry.
    if (!passwordDefined) {
        wchar_t answer[256] = {};
        if (HandleArchiveRequest(RequestPassword, answer, 256) != 0) {
            ++passwordsDeclined;
            return E_ABORT;
        }
        passwordDefined = true;
        password = answer;
        SecureZeroMemory(answer, sizeof answer);
        if (typed)
            *typed = true;
    }
    *out = SysAllocString(password.c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}
