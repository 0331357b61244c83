#include "ui/commands.h"

#include "res/resource.h"

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {ID_ADD, L"Add", L"&Add to archive...", L"Add files to archive", L"Alt+A",
         {{'A', FALT}}, true},
        {ID_EXTRACT, L"Extract", L"&Extract...", L"Extract to the specified folder", L"Alt+E",
         {{'E', FALT}}, true},
        // Shift+Del deletes files on the disk for good, as the shell does.
        {ID_DELETE, L"Delete", L"&Delete", L"Delete files", L"Del",
         {{VK_DELETE, 0}, {VK_DELETE, FSHIFT}}, true},
        // Test with nothing selected tests the whole archive.
        {ID_TEST, L"Test", L"&Test", L"Test archive for errors", L"Alt+T", {{'T', FALT}}, false},
        // Open acts on the row clicked, whatever is selected.
        {ID_OPEN_ROW, nullptr, L"&Open", nullptr, L"Enter", {}, false},
        {ID_OPEN_IN_WINDOW, nullptr, L"Open in the &window", nullptr, L"Enter", {}, false},
        {ID_EXTRACT_HERE, nullptr, L"Extract &Here", nullptr, nullptr, {}, true},
        {ID_EXTRACT_TO_FOLDER, nullptr, L"Extract to &Folder", nullptr, nullptr, {}, true},
        {ID_QUICK_ADD_7Z, nullptr, L"Add to \"name.&7z\"", nullptr, nullptr, {}, true},
        {ID_QUICK_ADD_ZIP, nullptr, L"Add to \"name.&zip\"", nullptr, nullptr, {}, true},
        {ID_COPY_PATH, nullptr, L"Copy &path", nullptr, nullptr, {}, true},
        // As in Explorer; in a box being typed into they are the box's own.
        {ID_COPY, nullptr, L"&Copy", nullptr, L"Ctrl+C", {{'C', FCONTROL}}, true},
        {ID_CUT, nullptr, L"C&ut", nullptr, L"Ctrl+X", {{'X', FCONTROL}}, true},
        {ID_PASTE, nullptr, L"Pa&ste", nullptr, L"Ctrl+V", {{'V', FCONTROL}}, false},
        // Rename acts on the focused row, New folder on the folder shown.
        {ID_RENAME, nullptr, L"Rena&me", nullptr, L"F2", {{VK_F2, 0}}, true},
        {ID_NEW_FOLDER, nullptr, L"&New folder", nullptr, L"Ctrl+Shift+N",
         {{'N', FCONTROL | FSHIFT}, {VK_F7, 0}}, false},
    };
    return commands;
}

const Command* CommandOf(int id) {
    for (const Command& command : Commands()) {
        if (command.id == id)
            return &command;
    }
    return nullptr;
}

std::wstring MenuText(int id, bool showKey, const wchar_t* text) {
    const Command* command = CommandOf(id);
    if (!command)
        return std::wstring();
    std::wstring shown = text ? text : command->menuText;
    if (showKey && command->keyText)
        shown += std::wstring(L"\t") + command->keyText;
    return shown;
}

std::wstring TipText(int id) {
    const Command* command = CommandOf(id);
    if (!command || !command->tip)
        return std::wstring();
    std::wstring tip = command->tip;
    if (command->keyText)
        tip += std::wstring(L" (") + command->keyText + L")";
    return tip;
}

HACCEL MakeAccelerators() {
    std::vector<ACCEL> table;
    for (const Command& command : Commands()) {
        for (const CommandKey& key : command.keys)
            table.push_back({static_cast<BYTE>(FVIRTKEY | key.modifiers), key.key,
                             static_cast<WORD>(command.id)});
    }
    return CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
}
