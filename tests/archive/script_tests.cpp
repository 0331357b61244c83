// The batch scripts that drive the console tool, byte for byte.
#include "archive/console/scripts.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

namespace {

using namespace testing_support;

std::string Ansi() {
    return std::to_string(GetACP());
}

std::string Utf8(const std::wstring& text) {
    return Narrow(text);
}

TEST(Scripts, CoreAndScratchLocations) {
    EXPECT_EQ(GetCorePath(L"7z.exe"), ProgramFolder() + L"\\core\\7z.exe");
    EXPECT_EQ(GetCorePath(), ProgramFolder() + L"\\core\\");

    wchar_t localAppData[MAX_PATH];
    SHGetSpecialFolderPathW(nullptr, localAppData, CSIDL_LOCAL_APPDATA, FALSE);
    std::wstring name = GetTempName(L"Quorp");
    std::wstring temp = std::wstring(localAppData) + L"\\Temp\\";
    ASSERT_EQ(name.substr(0, temp.size()), temp);
    std::wstring rest = name.substr(temp.size());
    EXPECT_EQ(rest.substr(0, 5), L"Quorp");
    EXPECT_EQ(rest.find_first_not_of(L"-0123456789", 5), std::wstring::npos);
    EXPECT_TRUE(IsDirectory(ParentFolder(name)));
}

TEST(Scripts, ADeleteScriptDeletesItself) {
    std::wstring script = WriteScript(L"C:\\data\\set.zip", L"d", L"\"docs\\x.txt\"");
    ASSERT_FALSE(script.empty());
    EXPECT_EQ(script.substr(script.size() - 4), L".bat");
    EXPECT_EQ(FileNamePart(script).substr(0, 2), L"7z");
    EXPECT_EQ(ReadTextFile(script),
              "@echo off \r\nchcp " + Ansi() + "\r\n\r\n\"" + Utf8(GetCorePath(L"7z.exe")) +
                  "\" d \"C:\\data\\set.zip\" \"docs\\x.txt\"\r\n\r\ndel \"" + Utf8(script) + "\"");
    DeleteFileW(script.c_str());
}

TEST(Scripts, AnAddScriptWithPasswordAndNonAsciiText) {
    std::wstring script =
        WriteScript(L"C:\\\u00fcber\\set.7z", L"a", L"\"C:\\files\\doc.txt\"", L"s3cret");
    EXPECT_EQ(ReadTextFile(script), "@echo off \r\nchcp " + Ansi() + "\r\n\r\n\"" +
                                        Utf8(GetCorePath(L"7z.exe")) +
                                        "\" a \"C:\\\xc3\xbc"
                                        "ber\\set.7z\" \"C:\\files\\doc.txt\" -ps3cret\r\n\r\n"
                                        "del \"" +
                                        Utf8(script) + "\"");
    DeleteFileW(script.c_str());

    std::wstring bare = WriteScript(L"C:\\a.zip", L"d");
    EXPECT_NE(ReadTextFile(bare).find("\" d \"C:\\a.zip\"\r\n\r\ndel"), std::string::npos);
    DeleteFileW(bare.c_str());
}

TEST(Scripts, AFolderScriptRunsInTheFolderAndStays) {
    std::wstring script =
        WriteFolderScript(L"C:\\data\\set.zip", L"C:\\Temp\\Quorp5", L"a", L"*", L"pw");
    EXPECT_EQ(ReadTextFile(script),
              "@echo off \r\nchcp " + Ansi() + "\r\n\r\nc: \r\ncd \"C:\\Temp\\Quorp5\" \r\n\"" +
                  Utf8(GetCorePath(L"7z.exe")) + "\" a \"C:\\data\\set.zip\" * -ppw\r\n");
    DeleteFileW(script.c_str());

    std::wstring plain = WriteFolderScript(L"C:\\s.7z", L"C:\\f", L"a");
    EXPECT_EQ(ReadTextFile(plain), "@echo off \r\nchcp " + Ansi() +
                                       "\r\n\r\nc: \r\ncd \"C:\\f\" \r\n\"" +
                                       Utf8(GetCorePath(L"7z.exe")) + "\" a \"C:\\s.7z\"\r\n");
    DeleteFileW(plain.c_str());
}

} // namespace
