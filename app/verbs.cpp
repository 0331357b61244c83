#include "app/verbs.h"

#include "app/commandline.h"

bool DispatchVerb(const std::wstring& commandLine) {
    if (commandLine.empty())
        return false;
    VerbRequest request = ParseVerb(commandLine);
    switch (request.verb) {
    case Verb::ExtractHere:
    case Verb::ExtractTo:
    case Verb::AddRequest:
        // Extracting and adding arrive with the archive back-ends; until then the verb is
        // recognised and ends the process.
        return true;
    case Verb::None:
        break;
    }
    return false;
}
