#pragma once

#include <string>

// The library back-end's messages for the developer: written to the process's standard
// output in the OEM code page (characters it lacks become "_"). A windowed start has no
// standard output, so they are seen only when it is redirected.
void EmitText(const std::wstring& text);
void EmitNewLine();
// A line break, the text, a line break.
void EmitError(const std::wstring& text);
