#pragma once

#include "archive/addoptions.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The choices of the add dialog: format, compression, volumes, encryption, update mode and
// what happens after compressing. Fills the controls from options, keeps them consistent
// (a format without levels greys them, ...), and reads them back.
class AddChoices {
  public:
    // `sources`: the files and folders to add. `sourceBytes`: their size (0: unknown).
    void Init(HWND dialog, const AddOptions& remembered, const std::vector<std::wstring>& sources,
              uint64_t sourceBytes);

    // More files came (a later "/a" process's).
    void SetSources(const std::vector<std::wstring>& sources, uint64_t sourceBytes);
    // What a control's notification changes.
    void OnFormatChosen();
    void OnNameChanged();
    void OnShowPassword();
    // Greys what does not apply, and says the memory needed and what will be made.
    void Refresh();

    // The options as chosen, without the password. False, after saying why, when a choice
    // cannot be taken (a volume size that is no size, a choice a 32-bit tool cannot hold, a
    // single-file format for a folder).
    bool Read(AddOptions& options) const;
    // The format chosen in the list.
    AddFormat ChosenFormat() const;
    // Whether the archive named is there: it then keeps its format and is not split.
    bool ArchiveExists() const { return existing_; }

  private:
    std::wstring Name() const;
    void FillMethods(AddFormat format, const std::wstring& method);
    void Enable(int id, bool enabled) const;
    int Selected(int id) const;

    HWND dialog_ = nullptr;
    std::vector<std::wstring> sources_;
    uint64_t sourceBytes_ = 0;
    bool existing_ = false;
    // Set while the dialog puts a name in the name field itself.
    bool settingName_ = false;
};

// The remembered choices: those of the last add, and the last ones for each format (the
// one-click verbs use those). Never the password.
AddOptions RememberedAddOptions();
AddOptions RememberedAddOptions(AddFormat format);
void RememberAddOptions(const AddOptions& options);
