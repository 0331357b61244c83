#include "archive/outcome.h"

int ExitCodeOf(JobEnd end) {
    switch (end) {
    case JobEnd::Success:
        return 0;
    case JobEnd::Warnings:
        return 1;
    case JobEnd::Failure:
        return 2;
    case JobEnd::Cancelled:
        return 255;
    }
    return 2;
}

std::wstring FaultText(Fault fault) {
    switch (fault) {
    case Fault::None:
        return L"";
    case Fault::CrcError:
        return L"CRC error";
    case Fault::DataError:
        return L"data error";
    case Fault::UnsupportedMethod:
        return L"unsupported method";
    case Fault::WrongPassword:
        return L"wrong password";
    case Fault::CutShort:
        return L"cut short";
    case Fault::HeadersError:
        return L"headers error";
    case Fault::DataAfterEnd:
        return L"data after the end";
    case Fault::Unavailable:
        return L"data not available (a volume is missing)";
    case Fault::PossiblyDamaged:
        return L"possibly damaged";
    case Fault::DiskFull:
        return L"disk full";
    case Fault::AccessDenied:
        return L"access denied";
    case Fault::InUse:
        return L"in use by another program";
    case Fault::NameTooLong:
        return L"name too long";
    case Fault::InvalidName:
        return L"not a valid Windows name";
    case Fault::FolderInTheWay:
        return L"a folder of that name is in the way";
    case Fault::FileInTheWay:
        return L"a file is in the way of its folder";
    case Fault::NotFound:
        return L"not found";
    case Fault::CannotRead:
        return L"could not be read";
    case Fault::CannotWrite:
        return L"could not be written";
    case Fault::NotMarked:
        return L"could not be marked as downloaded from the Internet";
    }
    return L"";
}

Fault FaultOfSystemError(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Fault::DiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return Fault::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return Fault::InUse;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return Fault::NameTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return Fault::InvalidName;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return Fault::NotFound;
    default:
        return Fault::CannotWrite;
    }
}

void JobOutcome::AtLeast(JobEnd worse) {
    // The ends are declared from the best to the worst.
    if (static_cast<int>(worse) > static_cast<int>(end))
        end = worse;
}

static std::wstring Compose(const JobOutcome& outcome, size_t shown) {
    std::wstring text = outcome.headline;
    for (const std::wstring& note : outcome.notes)
        text += (text.empty() ? L"" : L"\n\n") + note;
    if (!outcome.entries.empty()) {
        text += L"\n\n" + outcome.listTitle;
        for (size_t i = 0; i < outcome.entries.size() && i < shown; ++i) {
            const FaultyEntry& entry = outcome.entries[i];
            text += L"\n" + entry.path;
            if (!entry.why.empty())
                text += L": " + entry.why;
            else if (entry.fault != Fault::None)
                text += L": " + FaultText(entry.fault);
        }
        if (outcome.entries.size() > shown)
            text += L"\n... and " + std::to_wstring(outcome.entries.size() - shown) + L" more";
    }
    if (!outcome.renamed.empty()) {
        text += L"\n\nThese names were changed to be valid on Windows:";
        for (size_t i = 0; i < outcome.renamed.size() && i < shown; ++i)
            text += L"\n" + outcome.renamed[i].stored + L" \x2192 " + outcome.renamed[i].written;
        if (outcome.renamed.size() > shown)
            text += L"\n... and " + std::to_wstring(outcome.renamed.size() - shown) + L" more";
    }
    return text;
}

std::wstring OutcomeText(const JobOutcome& outcome, size_t shown) {
    return Compose(outcome, shown);
}

std::wstring OutcomeFullText(const JobOutcome& outcome) {
    return Compose(outcome, static_cast<size_t>(-1));
}

bool OutcomeHasMore(const JobOutcome& outcome, size_t shown) {
    return outcome.entries.size() > shown || outcome.renamed.size() > shown;
}
