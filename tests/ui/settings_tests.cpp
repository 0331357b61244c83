#include "shell/registry.h"
#include "support/testsupport.h"
#include "ui/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const wchar_t keyPath[] = L"Software\\Varnix FileOpener";

class Settings : public testing::Test {
  protected:
    void SetUp() override { RegDeleteKeyTree(HKEY_CURRENT_USER, keyPath); }
    void TearDown() override { RegDeleteKeyTree(HKEY_CURRENT_USER, keyPath); }

    static void Store(const char* name, DWORD type, const void* data, DWORD size) {
        win::RegKey key = OpenSettingsKey();
        ASSERT_TRUE(key);
        ASSERT_EQ(RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    static AppSettings Load() {
        AppSettings settings;
        std::memset(&settings, 0, sizeof settings);
        EXPECT_TRUE(LoadSettings(settings));
        return settings;
    }
    static DWORD StoredSize(const wchar_t* name, DWORD* type = nullptr) {
        win::RegKey key = OpenSettingsKey();
        DWORD size = 0;
        RegQueryValueExW(key.get(), name, nullptr, type, nullptr, &size);
        return size;
    }
};

TEST_F(Settings, AFirstStartMakesTheKeyAndLoadsZeros) {
    AppSettings settings = Load();
    EXPECT_TRUE(testing_support::RegistryKeyExists(HKEY_CURRENT_USER, keyPath));
    EXPECT_EQ(settings.hasPlacement, 0);
    EXPECT_EQ(settings.lastPath[0], L'\0');
    for (int width : settings.columnWidths)
        EXPECT_EQ(width, 0);
}

TEST_F(Settings, SavedValuesLoadBack) {
    AppSettings saved;
    std::memset(&saved, 0, sizeof saved);
    saved.hasPlacement = 1;
    saved.placement.length = sizeof saved.placement;
    saved.placement.showCmd = SW_SHOWMAXIMIZED;
    saved.placement.rcNormalPosition = {10, 20, 810, 620};
    wcscpy_s(saved.lastPath, L"C:\\data\\\u00fcber");
    for (int i = 0; i < 32; ++i)
        saved.columnWidths[i] = 100 + i;
    ASSERT_TRUE(SaveSettings(saved));

    // The stored forms: the path without its terminator, the binaries at their full size.
    DWORD type = 0;
    EXPECT_EQ(StoredSize(L"last_path", &type), 13u * sizeof(wchar_t));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(StoredSize(L"MAIN_WP", &type), 44u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(StoredSize(L"column_width", &type), 128u);

    AppSettings loaded = Load();
    EXPECT_EQ(std::memcmp(&loaded, &saved, sizeof saved), 0);
}

TEST_F(Settings, WithoutANewPlacementTheStoredOneStays) {
    AppSettings first;
    std::memset(&first, 0, sizeof first);
    first.hasPlacement = 1;
    first.placement.length = sizeof first.placement;
    first.placement.rcNormalPosition = {1, 2, 3, 4};
    SaveSettings(first);

    AppSettings second;
    std::memset(&second, 0, sizeof second);
    wcscpy_s(second.lastPath, L"C:\\x");
    SaveSettings(second);

    AppSettings loaded = Load();
    EXPECT_EQ(loaded.hasPlacement, 1);
    EXPECT_EQ(loaded.placement.rcNormalPosition.right, 3);
    EXPECT_STREQ(loaded.lastPath, L"C:\\x");

    // An empty last path is stored as an empty value.
    second.lastPath[0] = L'\0';
    SaveSettings(second);
    EXPECT_EQ(StoredSize(L"last_path"), 0u);
    EXPECT_STREQ(Load().lastPath, L"");
}

TEST_F(Settings, APlacementOfAnotherSizeOrTypeIsIgnored) {
    std::vector<BYTE> bytes(45, 7);
    for (DWORD size : {43u, 45u, 0u}) {
        Store("MAIN_WP", REG_BINARY, bytes.data(), size);
        EXPECT_EQ(Load().hasPlacement, 0) << size;
    }
    Store("MAIN_WP", REG_SZ, bytes.data(), 44);
    EXPECT_EQ(Load().hasPlacement, 0);
    Store("MAIN_WP", REG_BINARY, bytes.data(), 44);
    EXPECT_EQ(Load().hasPlacement, 1);
}

TEST_F(Settings, ColumnWidthsOfAnotherSizeOrTypeFallBackToDefaults) {
    std::vector<int32_t> widths(33, 77);
    Store("column_width", REG_BINARY, widths.data(), 124);
    AppSettings loaded = Load();
    for (int width : loaded.columnWidths)
        EXPECT_EQ(width, 0);

    Store("column_width", REG_BINARY, widths.data(), 132);
    EXPECT_EQ(Load().columnWidths[0], 0);
    Store("column_width", REG_DWORD, widths.data(), 4);
    EXPECT_EQ(Load().columnWidths[0], 0);
    Store("column_width", REG_BINARY, widths.data(), 128);
    EXPECT_EQ(Load().columnWidths[31], 77);
}

TEST_F(Settings, TheLastPathMustBeTextThatFitsTheField) {
    auto storePath = [](const std::wstring& text, DWORD type, bool withTerminator) {
        win::RegKey key = OpenSettingsKey();
        DWORD size = static_cast<DWORD>((text.size() + (withTerminator ? 1 : 0)) * 2);
        RegSetValueExW(key.get(), L"last_path", 0, type,
                       reinterpret_cast<const BYTE*>(text.c_str()), size);
    };

    storePath(std::wstring(259, L'p'), REG_SZ, false);
    EXPECT_EQ(std::wstring(Load().lastPath), std::wstring(259, L'p'));

    storePath(std::wstring(260, L'p'), REG_SZ, false);
    EXPECT_STREQ(Load().lastPath, L"");

    // Written by someone else with its terminator: still read.
    storePath(L"C:\\with terminator", REG_SZ, true);
    EXPECT_STREQ(Load().lastPath, L"C:\\with terminator");

    storePath(L"C:\\expand", REG_EXPAND_SZ, false);
    EXPECT_STREQ(Load().lastPath, L"");
}

} // namespace
