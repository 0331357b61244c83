#pragma once

#include <string>

// Asks the user for a password in a small modal dialog. Returns true with the typed text
// (UTF-8, at most 99 characters) when the user pressed OK, false when the user declined
// or the dialog could not be shown; `password` is then left as it was.
bool PromptPassword(std::string& password);
