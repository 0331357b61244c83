// Entries opened with their programs and saved there: the question, the write back into
// the archive, and an edit that cannot be written kept on the disk, never lost.
#include "archive/archiver.h"

#include "archive/questions.h"
#include "archive/textconv.h"
#include "shell/paths.h"

namespace {

// The folder of an entry's path from the archive's root ("" for the root), as the add job
// takes it.
std::string FolderOfEntry(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::string() : WideToUtf8(path.substr(0, slash));
}

} // namespace

bool Archiver::OfferEdits() {
    bool changed = false;
    for (size_t i : edits.NewChanges()) {
        const EditedEntries::Entry& entry = edits[i];
        const std::wstring name = FileNamePart(entry.path);
        if (!CanBeChanged()) {
            KeepEdit(i, L"files in an archive of this kind cannot be changed");
            continue;
        }
        if (User().AskYesNo(name + L" was changed. Update it in the archive?"))
            changed = WriteBack(i) || changed;
    }
    return changed;
}

bool Archiver::SettleEdits(bool mayStay) {
    for (size_t i : edits.Unwritten()) {
        const std::wstring name = FileNamePart(edits[i].path);
        if (!CanBeChanged()) {
            KeepEdit(i, L"files in an archive of this kind cannot be changed");
            continue;
        }
        const std::wstring question =
            name + L" was changed, and the archive does not have the change yet. Update it "
                   L"in the archive?";
        Answer answer = mayStay ? User().AskYesNoCancel(question)
                                : (User().AskYesNo(question) ? Answer::Yes : Answer::No);
        if (answer == Answer::Cancel)
            return false;
        if (answer == Answer::No) {
            edits.MarkDropped(i);
            continue;
        }
        // Not written (the password declined, the job cancelled): the copy is kept.
        if (!WriteBack(i) && !edits[i].kept)
            KeepEdit(i, std::wstring());
    }
    return true;
}

bool Archiver::WriteBack(size_t i) {
    const EditedEntries::Entry entry = edits[i];
    if (FileNamePart(entry.file) != FileNamePart(entry.path)) {
        KeepEdit(i, L"its name in the archive is not one that Windows gives a file");
        return false;
    }
    if (!FileExists(archivePath)) {
        KeepEdit(i, L"the archive is no longer there");
        return false;
    }
    DWORD attributes = GetFileAttributesW(LongPathForm(archivePath).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        KeepEdit(i, L"the archive is read-only");
        return false;
    }
    // What is written is the copy as it is now: a save while the job runs is asked about
    // afterwards.
    const FileStamp written = StampOf(entry.file, true);
    // Into the entry's own folder, whichever is shown, with the archive's password and
    // encryption; the add job never damages the archive when it fails.
    const int result = AddFilesInto({entry.file}, FolderOfEntry(entry.path));
    if (result == -1 || lastOutcome.end != JobEnd::Success) {
        // A password declined or a Cancel leaves the change to be asked about again.
        if (lastOutcome.end != JobEnd::Cancelled)
            KeepEdit(i, std::wstring());
        return false;
    }
    edits.MarkWritten(i, written);
    Refresh();
    return true;
}

void Archiver::KeepEdit(size_t i, const std::wstring& why) {
    edits.MarkKept(i);
    const EditedEntries::Entry& entry = edits[i];
    const std::wstring name = FileNamePart(entry.path);
    std::wstring text = L"The change to " + name + L" could not be written into " +
                        FileNamePart(archivePath) + (why.empty() ? L"." : L": " + why + L".") +
                        L"\n\nThe edited file is kept here:\n" + entry.file +
                        L"\n\nSave a copy of it somewhere else?";
    std::wstring target;
    if (!User().AskYesNo(text) || !User().AskWhereToSave(name, target))
        return;
    if (!CopyFileW(LongPathForm(entry.file).c_str(), LongPathForm(target).c_str(), FALSE))
        User().Tell(L"The copy could not be saved as " + target +
                        L".\n\nThe edited file is still kept here:\n" + entry.file,
                    true);
}
