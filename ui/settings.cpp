#include "ui/settings.h"

#include <cstring>
#include <cwchar>

static const wchar_t settingsKeyPath[] = L"Software\\Varnix FileOpener";
static const REGSAM settingsAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

win::RegKey OpenSettingsKey() {
    win::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsKeyPath, 0, settingsAccess, key.put()) ==
        ERROR_SUCCESS)
        return key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        settingsAccess, nullptr, key.put(), nullptr) == ERROR_SUCCESS)
        return key;
    return win::RegKey();
}

// Type and size of a value, without reading it.
static bool QueryBinaryValue(HKEY key, const char* name, DWORD& size) {
    DWORD type = 0;
    size = 0;
    return RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
           type == REG_BINARY;
}

static void LoadPlacement(HKEY key, AppSettings& settings) {
    DWORD size = 0;
    if (!QueryBinaryValue(key, "MAIN_WP", size) || size > sizeof(WINDOWPLACEMENT))
        return;
    WINDOWPLACEMENT scratch = {};
    if (RegQueryValueExA(key, "MAIN_WP", nullptr, nullptr, reinterpret_cast<BYTE*>(&scratch),
                         &size) == ERROR_SUCCESS &&
        size == sizeof(WINDOWPLACEMENT)) {
        settings.hasPlacement = 1;
        settings.placement = scratch;
    }
}

static void LoadLastPath(HKEY key, AppSettings& settings) {
    const size_t capacity = _countof(settings.lastPath);
    DWORD type = 0;
    DWORD size = 0;
    // The reported size may or may not count a terminator that is not stored, so the
    // length is judged on the text itself: at most 259 characters fit beside the zero.
    if (RegQueryValueExW(key, L"last_path", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size > capacity * sizeof(wchar_t))
        return;
    wchar_t text[capacity + 1] = {};
    if (RegQueryValueExW(key, L"last_path", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                         &size) != ERROR_SUCCESS)
        return;
    size_t length = wcsnlen(text, size / sizeof(wchar_t));
    if (length >= capacity)
        return;
    wmemcpy(settings.lastPath, text, length);
    settings.lastPath[length] = L'\0';
}

static void LoadColumnWidths(HKEY key, AppSettings& settings) {
    DWORD size = 0;
    bool complete = false;
    if (QueryBinaryValue(key, "column_width", size) && size <= sizeof settings.columnWidths) {
        complete = RegQueryValueExA(key, "column_width", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(settings.columnWidths),
                                    &size) == ERROR_SUCCESS &&
                   size == sizeof settings.columnWidths;
    }
    if (!complete)
        std::memset(settings.columnWidths, 0, sizeof settings.columnWidths);
}

bool LoadSettings(AppSettings& settings) {
    win::RegKey key = OpenSettingsKey();
    if (!key)
        return false;
    LoadPlacement(key.get(), settings);
    LoadLastPath(key.get(), settings);
    LoadColumnWidths(key.get(), settings);
    return true;
}

bool SaveSettings(const AppSettings& settings) {
    win::RegKey key = OpenSettingsKey();
    if (!key)
        return false;

    // Without a new placement, an older stored one stays.
    if (settings.hasPlacement)
        RegSetValueExA(key.get(), "MAIN_WP", 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(&settings.placement),
                       sizeof settings.placement);

    size_t length = wcsnlen(settings.lastPath, 259);
    RegSetValueExW(key.get(), L"last_path", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(settings.lastPath),
                   static_cast<DWORD>(length * sizeof(wchar_t)));

    RegSetValueExA(key.get(), "column_width", 0, REG_BINARY,
                   reinterpret_cast<const BYTE*>(settings.columnWidths),
                   sizeof settings.columnWidths);
    return true;
}
