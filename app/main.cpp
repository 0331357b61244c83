#include "app/varnix.h"

#include <cwchar>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    // The text after the program's own name, without the blanks in front of it.
    const wchar_t* text = commandLine ? commandLine : L"";
    while (*text == L' ' || *text == L'\t')
        ++text;
    return VarnixMain(instance, text, showCommand);
}
