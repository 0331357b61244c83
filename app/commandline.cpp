#include "app/commandline.h"

bool HasUnregisterSwitch(const std::wstring& commandLine) {
    return commandLine.find(L"/UnRegister") != std::wstring::npos;
}

bool HasRegisterSwitch(const std::wstring& commandLine) {
    return commandLine.find(L"/Register") != std::wstring::npos;
}

// /e "C:\data\set.zip": the path starts behind verb, blank and opening quote, and the
// last character, the closing quote, is dropped. A line shorter than that has no path.
static std::wstring CutQuotedPath(const std::wstring& commandLine) {
    const size_t pathStart = 4;
    if (commandLine.size() <= pathStart + 1)
        return std::wstring();
    return commandLine.substr(pathStart, commandLine.size() - pathStart - 1);
}

VerbRequest ParseVerb(const std::wstring& commandLine) {
    VerbRequest request;
    if (commandLine.compare(0, 2, L"/e") == 0) {
        request.verb = Verb::ExtractHere;
        request.argument = CutQuotedPath(commandLine);
    } else if (commandLine.compare(0, 2, L"/x") == 0) {
        request.verb = Verb::ExtractTo;
        request.argument = CutQuotedPath(commandLine);
    } else if (commandLine.compare(0, 2, L"/a") == 0) {
        request.verb = Verb::AddRequest;
        request.argument = commandLine.size() > 3 ? commandLine.substr(3) : std::wstring();
    }
    return request;
}

std::wstring ArchiveFolder(const std::wstring& archivePath) {
    size_t slash = archivePath.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : archivePath.substr(0, slash);
}
