#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a file was at one moment: there or not, its size, its last write time, and a hash
// of its bytes (made only when asked: size and time say most changes at no cost).
struct FileStamp {
    bool present = false;
    uint64_t size = 0;
    uint64_t written = 0;
    uint64_t hash = 0;
    bool hashed = false;
};

// The stamp of `file` now; with `content`, its bytes hashed too.
FileStamp StampOf(const std::wstring& file, bool content);

// The entries of one archive opened with their programs: the copies those programs edit,
// each in a scratch folder of its own under one folder for the archive, watched until the
// archive is left. The watch is by stamps: a copy is changed when its bytes differ from
// what the archive holds, whatever the program did to it (wrote it in place, or saved a
// new file over it by a rename).
class EditedEntries {
  public:
    struct Entry {
        std::wstring path;   // the entry's path from the archive's root
        std::wstring file;   // its copy on the disk
        FileStamp inArchive; // the copy as the archive holds it (extracted, or written back)
        FileStamp asked;     // the copy as the user was last asked about it
        bool kept = false;   // its edit could not be written: its folder is never removed
    };

    EditedEntries() = default;
    ~EditedEntries();
    EditedEntries(const EditedEntries&) = delete;
    EditedEntries& operator=(const EditedEntries&) = delete;

    // A new, empty scratch folder for the next entry opened; "" when none could be made.
    std::wstring MakeFolder();
    // The folder that holds every copy (the one to watch); "" before the first.
    const std::wstring& Root() const { return root_; }
    // Starts watching the copy `file` of the entry at `path`, as extracted just now. An
    // entry opened again is watched in both copies.
    void Watch(const std::wstring& path, const std::wstring& file);

    // The entries whose copy changed since the user was last asked about it and holds
    // other bytes than the archive's; each is then taken as asked about.
    std::vector<size_t> NewChanges();
    // The entries whose copy holds other bytes than the archive's, their edit not kept.
    std::vector<size_t> Unwritten();

    const Entry& operator[](size_t i) const { return entries_[i]; }
    size_t Count() const { return entries_.size(); }
    // The copy as `stamp` was is now what the archive holds.
    void MarkWritten(size_t i, const FileStamp& stamp);
    // An entry renamed or moved in the archive: the copies of it, and of what it holds, are
    // written back to where it is now.
    void Renamed(const std::wstring& from, const std::wstring& to);
    // The edit could not be written: its copy stays on the disk after the archive is left.
    void MarkKept(size_t i) { entries_[i].kept = true; }
    // The user chose to leave the change out of the archive: it is no longer asked about.
    void MarkDropped(size_t i);

    // Forgets every entry and removes the scratch folders, except those of kept edits.
    void Clear();

  private:
    // Whether the copy now holds other bytes than `than`: stamps first, bytes when the
    // stamps differ. `now` gets the copy's stamp.
    static bool Differs(const Entry& entry, const FileStamp& than, FileStamp& now);

    std::wstring root_;
    std::vector<Entry> entries_;
    int folders_ = 0;
};
