#include "app/commandline.h"

bool HasUnregisterSwitch(const std::wstring& commandLine) {
    return commandLine.find(L"/UnRegister") != std::wstring::npos;
}

bool HasRegisterSwitch(const std::wstring& commandLine) {
    return commandLine.find(L"/Register") != std::wstring::npos;
}

// The path behind "/e ", "/x " or "/s ". The shell's registered commands put it in double quotes
// (verb, one blank, quoted path), and those quotes go. A path typed without quotes is taken
// as it is, rather than losing its first and last characters to quotes it does not have.
static std::wstring CutPath(const std::wstring& commandLine) {
    size_t start = commandLine.find_first_not_of(L" \t", 2);
    if (start == std::wstring::npos)
        return std::wstring();
    std::wstring path = commandLine.substr(start);
    if (path.front() == L'"') {
        path.erase(0, 1);
        if (!path.empty() && path.back() == L'"')
            path.pop_back();
    }
    return path;
}

VerbRequest ParseVerb(const std::wstring& commandLine) {
    VerbRequest request;
    if (commandLine.compare(0, 2, L"/e") == 0) {
        request.verb = Verb::ExtractHere;
        request.argument = CutPath(commandLine);
    } else if (commandLine.compare(0, 2, L"/x") == 0) {
        request.verb = Verb::ExtractTo;
        request.argument = CutPath(commandLine);
    } else if (commandLine.compare(0, 2, L"/s") == 0) {
        request.verb = Verb::ExtractToFolder;
        request.argument = CutPath(commandLine);
    } else if (commandLine.compare(0, 3, L"/q7") == 0 || commandLine.compare(0, 3, L"/qz") == 0) {
        request.verb = commandLine[2] == L'7' ? Verb::QuickAdd7z : Verb::QuickAddZip;
        request.argument = commandLine.size() > 4 ? commandLine.substr(4) : std::wstring();
    } else if (commandLine.compare(0, 2, L"/a") == 0) {
        request.verb = Verb::AddRequest;
        request.argument = commandLine.size() > 3 ? commandLine.substr(3) : std::wstring();
    }
    return request;
}

std::wstring ArchiveFolder(const std::wstring& archivePath) {
    size_t slash = archivePath.rfind(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    // A drive's root keeps its backslash: "C:" alone names the current folder of drive C.
    if (slash == 2 && archivePath[1] == L':')
        return archivePath.substr(0, 3);
    return archivePath.substr(0, slash);
}
