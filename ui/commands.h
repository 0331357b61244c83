#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A key that gives a command: a virtual key and the modifiers held with it (FALT,
// FCONTROL, FSHIFT, as an accelerator table takes them).
struct CommandKey {
    WORD key;
    BYTE modifiers;
};

// One of the window's commands, declared once: the toolbar's button, the row menu's item,
// the keys and the tooltip are all made from it.
struct Command {
    int id;
    const wchar_t* button;   // the toolbar button's text; null when it has no button
    const wchar_t* menuText; // the row menu's text, with its access key ("&Test")
    const wchar_t* tip;      // what the button's tooltip says, before its key
    const wchar_t* keyText;  // "Alt+E"; null when no key gives it
    std::vector<CommandKey> keys;
    bool actsOnSelection; // acts on the selected rows (rather than on the place shown)
};

// Every command, in the order of the toolbar and then of the row menu.
const std::vector<Command>& Commands();
// The command of `id`; null for an id that is none of them.
const Command* CommandOf(int id);

// The row menu's text: "&Extract...\tAlt+E"; with `showKey` false, without the key. `text`
// replaces the command's own menu text where the menu names it otherwise.
std::wstring MenuText(int id, bool showKey = true, const wchar_t* text = nullptr);
// The tooltip: "Extract to the specified folder (Alt+E)".
std::wstring TipText(int id);
// An accelerator table of every command's keys, for the window's message loop; the caller
// destroys it.
HACCEL MakeAccelerators();
