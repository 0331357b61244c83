// Changing an archive from the real window: an entry opened in its program and saved there
// is offered back to the archive, written into its own folder with the archive's password
// and encryption, and never lost when it cannot be written.
#include "browser_window.h"

#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "ui/filedataobject.h"
#include "win/comptr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using namespace browser_testing;

// Pumps the window's messages until `done`; false when it did not come within the time.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 30000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Window::Pump();
        Sleep(20);
    }
    return true;
}

// Another program saves `text` over `file`, by a new file renamed over it.
void SaveOver(const std::wstring& file, const std::wstring& text) {
    EXPECT_EQ(RunAndWait(ProgramFolder() + L"\\fake_tool.exe",
                         L"save-over \"" + file + L"\" \"" + text + L"\""),
              0);
}

// An archive made by the engine's tool from `files` (path inside, content), with its
// switches.
std::wstring MakeArchive(const ScratchFolder& scratch, const std::wstring& name,
                         const std::wstring& switches,
                         const std::vector<std::pair<std::wstring, std::string>>& files) {
    const std::wstring source = scratch / L"source";
    for (const auto& file : files) {
        MakeFolder(ParentFolder(source + L"\\" + file.first));
        WriteTextFile(source + L"\\" + file.first, file.second);
    }
    const std::wstring archive = scratch / name;
    EXPECT_EQ(RunAndWait(GetCorePath(L"7z.exe"),
                         L"a " + switches + L" \"" + archive + L"\" \"" + source + L"\\*\""),
              0);
    return archive;
}

// An entry's bytes as the engine's tool extracts them.
std::string EntryText(const std::wstring& archive, const std::wstring& entry,
                      const std::wstring& password = L"none") {
    ScratchFolder out;
    RunAndWait(GetCorePath(L"7z.exe"),
               L"x -y -p" + password + L" -o\"" + out.path() + L"\" \"" + archive + L"\"");
    return ReadTextFile(out / entry);
}

int RowNamed(const FolderBrowser& model, const std::wstring& name) {
    for (int i = 0; i < model.rows().Count(); ++i) {
        if (model.rows().Name(i) == name)
            return i;
    }
    return -1;
}

// The program's questions, answered in turn with the buttons given (then Yes, or OK
// where there is no Yes), their texts kept.
struct PlayedQuestions {
    explicit PlayedQuestions(std::vector<int> buttons)
        : buttons_(std::move(buttons)),
          answerer_(DialogWithCaption(L"Varnix File Opener"), [this](HWND box) {
              std::wstring text = MessageText(box);
              int button = 0;
              {
                  std::lock_guard<std::mutex> lock(mutex_);
                  size_t turn = texts_.size();
                  texts_.push_back(text);
                  button = turn < buttons_.size() ? buttons_[turn] : IDYES;
              }
              if (!GetDlgItem(box, button))
                  button = GetDlgItem(box, IDYES) ? IDYES : IDOK;
              PressButton(button)(box);
          }) {}
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_.size();
    }
    std::wstring Text(size_t i) {
        std::lock_guard<std::mutex> lock(mutex_);
        return i < texts_.size() ? texts_[i] : std::wstring();
    }

  private:
    std::mutex mutex_;
    std::vector<int> buttons_;
    std::vector<std::wstring> texts_;
    DialogAnswerer answerer_;
};

// A window of another program has the keyboard while the document is saved.
struct OtherWindow {
    OtherWindow() {
        hwnd = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(hwnd);
        Window::Pump();
    }
    ~OtherWindow() { DestroyWindow(hwnd); }
    HWND hwnd;
};

// Opens the entry of row `name` in the folder shown, and waits for its program to have
// been started; the copy it got.
std::wstring OpenEntry(CVarnixView& view, const std::wstring& name) {
    view.ActivateRow(RowNamed(view.model(), name));
    const EditedEntries& edits = view.model().archive()->edits;
    if (edits.Count() == 0)
        return std::wstring();
    const std::wstring copy = edits[edits.Count() - 1].file;
    EXPECT_TRUE(WaitUntil([&] { return FileExists(copy + L".opened"); }));
    return copy;
}

TEST(EditInPlace, ASaveOverTheCopyIsAskedAboutAndYesWritesItIntoItsFolder) {
    TestDocumentType documents;
    ScratchFolder scratch;
    const std::wstring archive =
        MakeArchive(scratch, L"notes.zip", L"-tzip",
                    {{L"docs\\notes.varnixtest", "first"}, {L"top.txt", "top"}});
    Window window(archive);
    CVarnixView& view = window.frame.view();
    view.ActivateRow(RowNamed(view.model(), L"docs"));
    PlayedQuestions user({IDNO, IDYES, IDYES});
    const std::wstring copy = OpenEntry(view, L"notes.varnixtest");
    ASSERT_FALSE(copy.empty());

    {
        // Saved while the window is elsewhere: the watch sees it, No leaves the archive be.
        OtherWindow other;
        SaveOver(copy, L"second");
        ASSERT_TRUE(PumpUntil([&] { return user.Count() == 1; }));
    }
    EXPECT_EQ(user.Text(0), L"notes.varnixtest was changed. Update it in the archive?");
    EXPECT_EQ(EntryText(archive, L"docs\\notes.varnixtest"), "first");

    // The next save is asked about again; Yes writes it into docs, and the rest stays.
    SaveOver(copy, L"third");
    ASSERT_TRUE(PumpUntil([&] { return user.Count() == 2 && !JobRunning(); }));
    Window::Pump();
    EXPECT_EQ(EntryText(archive, L"docs\\notes.varnixtest"), "third");
    EXPECT_EQ(EntryText(archive, L"top.txt"), "top");
    EXPECT_EQ(ArchiveEntries(archive), Sorted({L"docs", L"docs\\notes.varnixtest", L"top.txt"}));
    EXPECT_EQ(view.model().archive()->subPath, "docs");

    // Coming back to the window with nothing new asks nothing.
    SendMessageW(window.frame.hwnd(), WM_ACTIVATEAPP, TRUE, 0);
    PumpUntil([] { return false; }, 1000);
    EXPECT_EQ(user.Count(), 2u);

    // Its folder renamed meanwhile: the next save goes to where the entry is now.
    view.ActivateRow(0);
    std::wstring renamed;
    ASSERT_EQ(view.model().commands().RenameRow(RowNamed(view.model(), L"docs"), L"papers",
                                                renamed),
              0);
    SaveOver(copy, L"fourth");
    ASSERT_TRUE(PumpUntil([&] { return user.Count() == 3 && !JobRunning(); }));
    Window::Pump();
    EXPECT_EQ(ArchiveEntries(archive),
              Sorted({L"papers", L"papers\\notes.varnixtest", L"top.txt"}));
    EXPECT_EQ(EntryText(archive, L"papers\\notes.varnixtest"), "fourth");
    EXPECT_TRUE(view.model().MayClose());
    EXPECT_EQ(user.Count(), 3u);
}

TEST(EditInPlace, AnEditorAlreadyRunningSavesLaterAndClosingAsksAboutTheChangeLeftOut) {
    TestDocumentType documents;
    ScratchFolder scratch;
    const std::wstring archive =
        MakeArchive(scratch, L"notes.7z", L"-t7z", {{L"notes.varnixtest", "first"}});
    // The editor runs before the entry is opened; the program that opens it returns at once
    // and hands the file over.
    const std::wstring handoff = scratch / L"handoff.txt";
    std::thread editor(
        [&] { RunAndWait(ProgramFolder() + L"\\fake_tool.exe", L"editor \"" + handoff + L"\""); });
    std::wstring copy;
    {
        Window window(archive);
        CVarnixView& view = window.frame.view();
        PlayedQuestions user({IDNO, IDCANCEL, IDYES});
        copy = OpenEntry(view, L"notes.varnixtest");
        WriteTextFile(handoff, Narrow(copy) + "\nfrom the editor");
        editor.join();
        ASSERT_EQ(ReadTextFile(copy), "from the editor");
        ASSERT_TRUE(PumpUntil([&] { return user.Count() == 1; }));
        EXPECT_EQ(EntryText(archive, L"notes.varnixtest"), "first");

        // Closing with the change left out asks; Cancel stays, Yes writes it and closes.
        SendMessageW(window.frame.hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(user.Text(1), L"notes.varnixtest was changed, and the archive does not have "
                                L"the change yet. Update it in the archive?");
        EXPECT_TRUE(IsWindow(window.frame.hwnd()));
        SendMessageW(window.frame.hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(user.Count(), 3u);
        EXPECT_EQ(EntryText(archive, L"notes.varnixtest"), "from the editor");
    }
    // Written: the copies went with the window.
    EXPECT_FALSE(copy.empty() || PathExists(copy));
}

TEST(EditInPlace, AnEditThatCannotBeWrittenIsKeptSaidAndSavedElsewhere) {
    // RAR entries are text files here: they open with the stand-in program too.
    TestDocumentType documents;
    const std::wstring textType = ReadRegistryString(HKEY_CLASSES_ROOT, L".txt");
    RegSetString(HKEY_CLASSES_ROOT, L".txt", L"VarnixTest.document");
    ScratchFolder scratch;
    const std::wstring archive = scratch / L"folders.rar";
    CopyFileW(Fixture(L"rar5-folders.rar").c_str(), archive.c_str(), FALSE);
    const std::wstring elsewhere = scratch / L"saved elsewhere.txt";
    std::wstring copy;
    {
        Window window(archive);
        CVarnixView& view = window.frame.view();
        PlayedQuestions user({IDYES});
        DialogAnswerer saveAs(DialogWithCaption(L"Save a copy of the edited file"),
                              TypeAndPressOk(cmb13, elsewhere));
        view.ActivateRow(RowNamed(view.model(), L"sub"));
        view.ActivateRow(RowNamed(view.model(), L"dir1"));
        copy = OpenEntry(view, L"file1.txt");
        ASSERT_FALSE(copy.empty());
        SaveOver(copy, L"edited");
        ASSERT_TRUE(PumpUntil([&] { return saveAs.answered() == 1; }));
        PumpUntil([] { return false; }, 500);
        EXPECT_EQ(user.Text(0), L"The change to file1.txt could not be written into "
                                L"folders.rar: files in an archive of this kind cannot be "
                                L"changed.\n\nThe edited file is kept here:\n" +
                                    copy + L"\n\nSave a copy of it somewhere else?");
        EXPECT_EQ(ReadTextFile(elsewhere), "edited");
        // Leaving asks nothing more: it was said where the edit is.
        EXPECT_TRUE(view.model().MayClose());
        EXPECT_EQ(user.Count(), 1u);
    }
    // The archive is as it was, and the edit outlives the window.
    EXPECT_EQ(ReadTextFile(copy), "edited");
    EXPECT_EQ(FileCrc(archive), FileCrc(Fixture(L"rar5-folders.rar")));
    RegSetString(HKEY_CLASSES_ROOT, L".txt", textType);
    DeleteFolderTree(nullptr, ParentFolder(ParentFolder(ParentFolder(ParentFolder(copy)))));
}

TEST(EditInPlace, AnEncryptedArchiveWithHiddenNamesStaysSoAfterTheWrite) {
    TestDocumentType documents;
    ScratchFolder scratch;
    const std::wstring archive =
        MakeArchive(scratch, L"secret.7z", L"-t7z -psecret -mhe=on",
                    {{L"plans\\notes.varnixtest", "first"}, {L"other.txt", "other"}});
    DialogAnswerer password(DialogWithText(L"Enter password:"),
                            TypeAndPressOk(IDC_PASSWORD, L"secret"));
    Window window(archive);
    CVarnixView& view = window.frame.view();
    ASSERT_NE(view.model().archive(), nullptr);
    PlayedQuestions user({IDYES});
    view.ActivateRow(RowNamed(view.model(), L"plans"));
    const std::wstring copy = OpenEntry(view, L"notes.varnixtest");
    SaveOver(copy, L"second");
    ASSERT_TRUE(PumpUntil([&] { return user.Count() == 1 && !JobRunning(); }));
    Window::Pump();
    // Asked for once, when it opened: the write used the same password.
    EXPECT_EQ(password.answered(), 1);
    EXPECT_EQ(EntryText(archive, L"plans\\notes.varnixtest", L"secret"), "second");
    EXPECT_EQ(EntryText(archive, L"other.txt", L"secret"), "other");
    const std::string hidden = EngineListing(archive);
    EXPECT_EQ(hidden.find("notes"), std::string::npos) << hidden;
    const std::string listed = EngineListing(archive, L"secret");
    EXPECT_NE(listed.find("plans\\notes.varnixtest"), std::string::npos) << listed;
    const size_t entry = listed.find("Path = plans\\notes.varnixtest");
    ASSERT_NE(entry, std::string::npos) << listed;
    EXPECT_EQ(listed.substr(listed.find("Encrypted = ", entry), 13), "Encrypted = +") << listed;
}

// The list's name box, once F2 (or a new folder) has opened it: `name` typed, then `key`.
void TypeName(CVarnixView& view, const std::wstring& name, WPARAM key = VK_RETURN) {
    HWND edit = ListView_GetEditControl(view.list());
    ASSERT_NE(edit, nullptr) << "no name is being edited";
    SetWindowTextW(edit, name.c_str());
    PostMessageW(edit, WM_KEYDOWN, key, 0);
    PumpUntil([&] { return ListView_GetEditControl(view.list()) == nullptr; }, 5000);
    Window::Pump();
}

void Press(Window& window, int command) {
    SendMessageW(window.frame.hwnd(), WM_COMMAND, static_cast<WPARAM>(command), 0);
    Window::Pump();
}

TEST(RenameAndNewFolder, InAnArchiveAFolderGoesWithAllItHoldsAndBadNamesAreRefused) {
    ScratchFolder scratch;
    const std::wstring archive = MakeArchive(scratch, L"work.zip", L"-tzip",
                                             {{L"docs\\a\\b\\c\\deep.txt", "deep"},
                                              {L"docs\\note.txt", "note"},
                                              {L"top.txt", "top"},
                                              {L"Other.txt", "other"}});
    Window window(archive);
    CVarnixView& view = window.frame.view();

    // F2 on the folder, a name typed and Enter: one run renames it and everything below.
    view.FocusRow(RowNamed(view.model(), L"docs"));
    Press(window, ID_RENAME);
    TypeName(view, L"papers");
    EXPECT_EQ(ArchiveEntries(archive),
              Sorted({L"Other.txt", L"papers", L"papers\\a", L"papers\\a\\b", L"papers\\a\\b\\c",
                      L"papers\\a\\b\\c\\deep.txt", L"papers\\note.txt", L"top.txt"}));
    EXPECT_EQ(EntryText(archive, L"papers\\a\\b\\c\\deep.txt"), "deep");
    EXPECT_EQ(view.model().rows().Name(ListView_GetNextItem(view.list(), -1, LVNI_FOCUSED)),
              L"papers");

    // A file, through the same box, its name offered without the extension; Esc leaves
    // the name as it was.
    view.FocusRow(RowNamed(view.model(), L"top.txt"));
    Press(window, ID_RENAME);
    DWORD from = 0, to = 0;
    SendMessageW(ListView_GetEditControl(view.list()), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(DWORD{0}, DWORD{3}));
    TypeName(view, L"ignored.txt", VK_ESCAPE);
    Press(window, ID_RENAME);
    TypeName(view, L"  Top level.txt. ");
    const std::vector<std::wstring> renamed =
        Sorted({L"Other.txt", L"papers", L"papers\\a", L"papers\\a\\b", L"papers\\a\\b\\c",
                L"papers\\a\\b\\c\\deep.txt", L"papers\\note.txt", L"Top level.txt"});
    EXPECT_EQ(ArchiveEntries(archive), renamed);

    // Refused before anything runs, each with its reason.
    MessageAnswers messages;
    std::wstring ignored;
    const int row = RowNamed(view.model(), L"Top level.txt");
    for (const wchar_t* name : {L"a:b.txt", L"a\\b.txt", L"what?.txt", L"  ", L"other.TXT"})
        EXPECT_EQ(view.model().commands().RenameRow(row, name, ignored), -1) << Narrow(name);
    ASSERT_EQ(messages.texts.size(), 5u);
    EXPECT_TRUE(messages.Saw(L"A file name can't contain any of the following characters:"));
    EXPECT_TRUE(messages.Saw(L"Type a name"));
    EXPECT_EQ(messages.texts[4],
              L"This folder already has an entry named \"Other.txt\". Choose another name.");
    EXPECT_EQ(ArchiveEntries(archive), renamed);
}

TEST(RenameAndNewFolder, ANewFolderIsMadeInTheFolderShownAndItsNameEdited) {
    ScratchFolder scratch;
    const std::wstring archive =
        MakeArchive(scratch, L"work.7z", L"-t7z", {{L"docs\\note.txt", "note"}});
    {
        Window window(archive);
        CVarnixView& view = window.frame.view();
        view.ActivateRow(RowNamed(view.model(), L"docs"));

        // Ctrl+Shift+N makes it and opens its name; the name typed is the one it keeps.
        Press(window, ID_NEW_FOLDER);
        TypeName(view, L"Made here");
        // F7 makes another: Esc keeps "New folder", and the next is "New folder (2)".
        Press(window, ID_NEW_FOLDER);
        TypeName(view, L"", VK_ESCAPE);
        Press(window, ID_NEW_FOLDER);
        TypeName(view, L"", VK_ESCAPE);
        EXPECT_EQ(ArchiveEntries(archive), Sorted({L"docs", L"docs\\Made here", L"docs\\New folder",
                                                   L"docs\\New folder (2)", L"docs\\note.txt"}));
        EXPECT_EQ(view.model().archive()->subPath, "docs");
    }

    // On the disk the same keys make and rename as Explorer does.
    Window disk(scratch.path());
    CVarnixView& diskView = disk.frame.view();
    Press(disk, ID_NEW_FOLDER);
    TypeName(diskView, L"Holiday");
    EXPECT_TRUE(IsDirectory(scratch / L"Holiday"));
    diskView.FocusRow(RowNamed(diskView.model(), L"work.7z"));
    Press(disk, ID_RENAME);
    TypeName(diskView, L"renamed.7z");
    EXPECT_TRUE(FileExists(scratch / L"renamed.7z"));
    EXPECT_FALSE(PathExists(scratch / L"work.7z"));
}

TEST(Clipboard, EntriesCopiedComeOutWhenAnotherProgramPastesThemAndFilesArePastedIn) {
    OleInitialize(nullptr);
    ScratchFolder scratch;
    const std::wstring archive = MakeArchive(
        scratch, L"work.zip", L"-tzip",
        {{L"docs\\a.txt", "a"}, {L"docs\\sub\\b.txt", "b"}, {L"top.txt", "top"}});
    {
        Window window(archive);
        CVarnixView& view = window.frame.view();
        view.ActivateRow(RowNamed(view.model(), L"docs"));
        view.SelectRow(RowNamed(view.model(), L"a.txt"));
        ListView_SetItemState(view.list(), RowNamed(view.model(), L"sub"), LVIS_SELECTED,
                              LVIS_SELECTED);
        Press(window, ID_COPY);
        // Nothing comes out until it is pasted.
        const std::wstring clipboardFolder = DragScratchFolder() + L"\\Clipboard";
        EXPECT_FALSE(PathExists(clipboardFolder));

        // Another program pastes them, as Explorer does; this window answers meanwhile.
        ScratchFolder pasted;
        std::atomic<int> result{-3};
        std::thread other([&] {
            result = RunAndWait(ProgramFolder() + L"\\fake_tool.exe",
                                L"paste \"" + pasted.path() + L"\"");
        });
        PumpUntil([&] { return result != -3; }, 60000);
        other.join();
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ReadTextFile(pasted / L"a.txt"), "a");
        EXPECT_EQ(ReadTextFile(pasted / L"sub\\b.txt"), "b");

        // Files of the disk on the clipboard, pasted into the archive's folder shown.
        const std::wstring fresh = scratch / L"fresh.txt";
        WriteTextFile(fresh, "fresh");
        win::ComPtr<FileDataObject> data(new FileDataObject({fresh}, DROPEFFECT_COPY));
        ASSERT_EQ(OleSetClipboard(data.get()), S_OK);
        Press(window, ID_PASTE);
        EXPECT_EQ(EntryText(archive, L"docs\\fresh.txt"), "fresh");
        EXPECT_GE(RowNamed(view.model(), L"fresh.txt"), 0);
    }

    // On the disk, Ctrl+X and Ctrl+V move a file into another folder.
    MakeFolder(scratch / L"into");
    {
        Window disk(scratch.path());
        CVarnixView& view = disk.frame.view();
        view.SelectRow(RowNamed(view.model(), L"fresh.txt"));
        Press(disk, ID_CUT);
        view.ActivateRow(RowNamed(view.model(), L"into"));
        Press(disk, ID_PASTE);
        EXPECT_EQ(ReadTextFile(scratch / L"into\\fresh.txt"), "fresh");
        EXPECT_FALSE(PathExists(scratch / L"fresh.txt"));
        EXPECT_GE(RowNamed(view.model(), L"fresh.txt"), 0);
    }
    OleSetClipboard(nullptr);
    OleUninitialize();
}

TEST(RenameAndNewFolder, RowsLetGoOnAFolderRowOfTheArchiveMoveIntoIt) {
    ScratchFolder scratch;
    const std::wstring archive = MakeArchive(
        scratch, L"work.zip", L"-tzip",
        {{L"docs\\x.txt", "x"}, {L"docs\\same.txt", "in docs"}, {L"a.txt", "a"},
         {L"b\\c.txt", "c"}, {L"same.txt", "at the top"}});
    Window window(archive);
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    const std::vector<int> rows = {RowNamed(model, L"a.txt"), RowNamed(model, L"b")};

    // Let go over the folder row: nothing is dropped anywhere, nothing extracted.
    DragOut drag;
    ASSERT_TRUE(PrepareDragOut(model, rows, drag));
    drag.source->overOwnFolder = [] { return true; };
    drag.source->GiveFeedback(DROPEFFECT_NONE);
    EXPECT_EQ(drag.source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_CANCEL);
    EXPECT_TRUE(drag.source->movedIntoOwnFolder);
    EXPECT_EQ(CountEntries(DragScratchFolder()), 0);

    // The move it then makes: one run, folders with what they hold.
    EXPECT_EQ(model.commands().MoveRowsInto(rows, RowNamed(model, L"docs")), 0);
    EXPECT_EQ(ArchiveEntries(archive),
              Sorted({L"docs", L"docs\\a.txt", L"docs\\b", L"docs\\b\\c.txt", L"docs\\same.txt",
                      L"docs\\x.txt", L"same.txt"}));
    EXPECT_EQ(EntryText(archive, L"docs\\b\\c.txt"), "c");

    // A name the folder has already is refused, and nothing moves.
    MessageAnswers messages;
    EXPECT_EQ(model.commands().MoveRowsInto({RowNamed(model, L"same.txt")}, RowNamed(model, L"docs")),
              -1);
    EXPECT_TRUE(messages.Saw(L"same.txt was not moved: the folder it was dropped on has an entry "
                             L"of that name already."));
    EXPECT_EQ(EntryText(archive, L"docs\\same.txt"), "in docs");
    EXPECT_EQ(EntryText(archive, L"same.txt"), "at the top");
}

} // namespace
