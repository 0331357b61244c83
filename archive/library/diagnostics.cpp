#include "archive/library/diagnostics.h"

#include <windows.h>

#include <string>

static void WriteBytes(const std::string& bytes) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!output || output == INVALID_HANDLE_VALUE || bytes.empty())
        return;
    DWORD written = 0;
    WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void EmitText(const std::wstring& text) {
    if (text.empty())
        return;
    int length = WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, "_", nullptr);
    std::string oem(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), &oem[0], length,
                        "_", nullptr);
    WriteBytes(oem);
}

void EmitNewLine() {
    WriteBytes("\n");
}

void EmitError(const std::wstring& text) {
    EmitNewLine();
    EmitText(text);
    EmitNewLine();
}
