#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// One entry of the location bar: a place to go to.
struct DeviceItem {
    DeviceItem() = default;
    ~DeviceItem();
    DeviceItem(const DeviceItem&) = delete;
    DeviceItem& operator=(const DeviceItem&) = delete;

    std::wstring name;         // shown in the drop-down list
    std::wstring path;         // a folder's path ends with a backslash; "Computer" for the drives
    int level = 0;             // indentation, 8 pixels a level at 100 % scale
    HICON icon = nullptr;      // owned unless the model lends it (path entries)
    HICON largeIcon = nullptr; // the shell's large one, owned as `icon` is
    bool ownsIcon = true;
    // A fixed place's large icon is asked for only when it is drawn at a size that needs it:
    // by its path, or by its shell folder (CSIDL) for a place without one.
    bool largeIconPending = false;
    int shellFolder = -1;
};

// The entries of the location bar: first the segments of the path shown (a drive, its
// folders, an archive, the folders inside it), then the fixed places (Desktop, Documents,
// the computer and its drives); and which of them is the current one.
class LocationBar {
  public:
    LocationBar() = default;
    ~LocationBar();
    LocationBar(const LocationBar&) = delete;
    LocationBar& operator=(const LocationBar&) = delete;

    // The computer's entry is known by this path.
    static const wchar_t computerPath[];

    // The fixed places, made anew; and gone.
    void BuildPlaces();
    void ClearPlaces();
    int AddPlace(const std::wstring& name, const std::wstring& path, int level);
    int AddSpecialFolder(const std::wstring& name, int folderId, int level);
    static std::unique_ptr<DeviceItem> MakeLocation(const std::wstring& name,
                                                    const std::wstring& path, int level);

    // The segments of `path`, the last of them current; and gone again (the current entry
    // stays on the place it was, now that the segments before it are gone).
    int SetPath(const std::wstring& path);
    void ClearPath();

    int Count() const;
    // Entry `i`; null past the ends.
    const DeviceItem* Get(int i) const;
    // Entry `i`'s icon, the small or the large one as suits drawing it at `pixels`.
    HICON Icon(int i, int pixels);
    std::wstring Name(int i) const;
    std::wstring Path(int i) const;

    int Current() const { return current_; }
    void SetCurrent(int i) { current_ = i; }
    std::wstring CurrentPath() const { return Path(current_); }

    // For a reader of the entries as they are: the segments and the fixed places.
    const std::vector<std::unique_ptr<DeviceItem>>& PathEntries() const { return pathItems_; }
    const std::vector<std::unique_ptr<DeviceItem>>& Places() const { return devices_; }

  private:
    DeviceItem* Location(int i) const;
    // A drive's own icon ("C:"), small or large, asked once.
    HICON DriveIcon(const std::wstring& drive, bool large);

    std::vector<std::unique_ptr<DeviceItem>> devices_;
    std::vector<std::unique_ptr<DeviceItem>> pathItems_;
    int current_ = -1;
    // The shell's icons of the drives in the path: the other segments have the look of
    // their kind. Small and large; destroyed with the bar.
    std::unordered_map<std::wstring, std::pair<HICON, HICON>> driveIcons_;
};
