#include "archive/library/archivelibrary.h"

#include "app/appstate.h"
#include "archive/library/diagnostics.h"
#include "archive/progress.h"
#include "archive/questions.h"
#include "archive/textconv.h"
#include "shell/paths.h"

#include <cwchar>

const wchar_t wrongPasswordMessage[] =
    L"The password is not correct. Type it again, or press Cancel.";

std::wstring GetLibraryPath() {
    static const std::wstring path = ProgramFolder() + L"\\core\\7z.dll";
    return path;
}

int HandleArchiveRequest(int request, void* data, size_t capacity) {
    switch (request) {
    case RequestPassword: {
        std::string typed;
        if (!data || capacity == 0 || !User().AskPassword(typed))
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
        question->answer = static_cast<int>(User().AskReplace(*question));
        return 0;
    }
    case RequestWrongPassword:
        User().Tell(wrongPasswordMessage, true);
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
