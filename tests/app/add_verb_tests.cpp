// "Add to archive...": the shell starts the real program with /a once per selected file,
// and one dialog collects them all.
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"
#include "ui/adddialog.h"
#include "win/window.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace testing_support;

BOOL CALLBACK CollectAddDialog(HWND window, LPARAM list) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (IsWindowVisible(window) && wcscmp(title, addDialogTitle) == 0)
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The add dialogs that are up, of any process.
std::vector<HWND> AddDialogs() {
    std::vector<HWND> found;
    EnumWindows(CollectAddDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

TEST(AddVerb, ThreeProcessesAtOnceMakeOneDialogAndOneArchive) {
    ScratchFolder scratch;
    std::vector<std::wstring> files;
    for (const wchar_t* name : {L"one.txt", L"two.txt", L"three.txt"}) {
        files.push_back(scratch / name);
        WriteTextFile(files.back(), "text");
    }
    std::vector<std::unique_ptr<StartedProgram>> processes;
    for (const std::wstring& file : files)
        processes.push_back(std::make_unique<StartedProgram>(L"/a \"" + file + L"\""));

    // The two that found a collection hand their files over and end.
    ASSERT_TRUE(WaitUntil([] { return !AddDialogs().empty(); }));
    HWND dialog = AddDialogs().front();
    DWORD owner = ProcessOf(dialog);
    size_t first = processes.size();
    for (size_t i = 0; i < processes.size(); ++i) {
        if (processes[i]->id() == owner)
            first = i;
        else
            EXPECT_TRUE(processes[i]->Ended()) << i;
    }
    ASSERT_LT(first, processes.size());
    EXPECT_EQ(AddDialogs().size(), 1u);
    // The name comes from the file of the process that shows the dialog.
    const std::wstring archive = DefaultArchiveName(scratch.path(), files[first]);
    EXPECT_EQ(ControlText(dialog, IDC_ARCHIVE_NAME), archive);

    // Passwords that differ: the message, and the dialog stays.
    SetControlText(dialog, IDC_ADD_PASSWORD, L"one");
    SetControlText(dialog, IDC_ADD_PASSWORD_AGAIN, L"two");
    PressButton(IDOK)(dialog);
    HWND box = WaitForDialog(DialogWithText(L"Password is invalid. Please input again.", owner));
    ASSERT_NE(box, nullptr);
    PressButton(IDOK)(box);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(IsWindowVisible(dialog));

    SetControlText(dialog, IDC_ADD_PASSWORD, L"");
    PressButton(IDOK)(dialog);
    EXPECT_TRUE(processes[first]->Ended());
    EXPECT_EQ(ArchiveEntries(archive),
              (std::vector<std::wstring>{L"one.txt", L"three.txt", L"two.txt"}));
}

// "Add to 7z archive" and "Add to zip archive": one click, no dialog. Three files from three
// processes started at once go into one archive named after their folder; a name that is
// taken gets " (2)", never an add into the archive that happens to be there.
TEST(AddVerb, OneClickGathersThreeProcessesIntoOneNewArchive) {
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"holiday";
    MakeFolder(folder);
    std::vector<std::wstring> files;
    for (const wchar_t* name : {L"one.txt", L"two.txt", L"three.txt"}) {
        files.push_back(folder + L"\\" + name);
        WriteTextFile(files.back(), "text");
    }
    WriteTextFile(folder + L"\\holiday.7z", "somebody else's"); // taken
    std::vector<std::unique_ptr<StartedProgram>> processes;
    for (const std::wstring& file : files)
        processes.push_back(std::make_unique<StartedProgram>(L"/q7 \"" + file + L"\""));
    for (auto& process : processes)
        EXPECT_EQ(process->Wait(), 0);
    EXPECT_EQ(ReadTextFile(folder + L"\\holiday.7z"), "somebody else's");
    EXPECT_EQ(ArchiveEntries(folder + L"\\holiday (2).7z"),
              (std::vector<std::wstring>{L"one.txt", L"three.txt", L"two.txt"}));
    EXPECT_FALSE(PathExists(folder + L"\\holiday (3).7z"));

    // One file alone is named after itself, here as a ZIP.
    StartedProgram zip(L"/qz \"" + files[0] + L"\"");
    EXPECT_EQ(zip.Wait(), 0);
    EXPECT_EQ(ArchiveEntries(folder + L"\\one.zip"), (std::vector<std::wstring>{L"one.txt"}));
}

// Stands in for a first process's dialog: a window with its title that keeps the paths
// it is sent.
class Collector : public win::Window {
  public:
    Collector() {
        RegisterClass(GetModuleHandleW(nullptr), L"VarnixTestCollector");
        Create(L"VarnixTestCollector", addDialogTitle, WS_POPUP | WS_VISIBLE, 0, 0, 0, 10, 10,
               nullptr, nullptr, GetModuleHandleW(nullptr));
    }
    ~Collector() override { DestroyWindow(hwnd()); }
    std::vector<std::wstring> received;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COPYDATA) {
            auto data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            received.emplace_back(static_cast<const wchar_t*>(data->lpData));
            return TRUE;
        }
        return DefaultMessage(message, wParam, lParam);
    }
};

// Hands out this thread's messages until `done` or the time runs out.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    return true;
}

TEST(AddVerb, APathWithoutQuotesIsTakenWholeAndAMissingFileIsSaid) {
    ScratchFolder scratch;
    std::wstring file = scratch / L"bare.txt";
    WriteTextFile(file, "bare");
    {
        // A script that starts the program with the path as it is.
        StartedProgram bare(L"/a " + file);
        HWND dialog = WaitForDialog(DialogWithCaption(addDialogTitle, bare.id()));
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, IDC_ARCHIVE_NAME), scratch / L"bare.zip");
        PressButton(IDOK)(dialog);
        EXPECT_TRUE(bare.Ended());
        EXPECT_EQ(ArchiveEntries(scratch / L"bare.zip"), std::vector<std::wstring>{L"bare.txt"});
    }
    // Nothing to add: said, and no empty archive is left behind.
    StartedProgram missing(L"/a \"" + (scratch / L"gone.txt") + L"\"");
    HWND dialog = WaitForDialog(DialogWithCaption(addDialogTitle, missing.id()));
    ASSERT_NE(dialog, nullptr);
    DialogAnswerer told(MessageBeginningWith(L"Nothing was added", missing.id()),
                        PressButton(IDOK));
    PressButton(IDOK)(dialog);
    EXPECT_TRUE(missing.Ended());
    EXPECT_EQ(told.answered(), 1);
    EXPECT_FALSE(FileExists(scratch / L"gone.zip"));
}

TEST(AddVerb, ALaterRequestWaitsForADialogThatIsNotUpYet) {
    ScratchFolder scratch;
    std::wstring file = scratch / L"late.txt";
    WriteTextFile(file, "late");
    // A first process is collecting, but its dialog is not there yet.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"VarnixEvent");
    StartedProgram later(L"/a \"" + file + L"\"");
    PumpUntil([] { return false; }, 1500);
    auto collector = std::make_unique<Collector>();
    EXPECT_TRUE(PumpUntil([&] { return !collector->received.empty(); }, 20000));
    EXPECT_EQ(collector->received, std::vector<std::wstring>{L"\"" + file + L"\""});
    EXPECT_TRUE(later.Ended());
    CloseHandle(mutex);
}

TEST(AddVerb, ARequestNobodyTakesGetsADialogOfItsOwn) {
    ScratchFolder scratch;
    std::wstring file = scratch / L"orphan.txt";
    WriteTextFile(file, "orphan");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"VarnixEvent");
    StartedProgram orphan(L"/a \"" + file + L"\"");
    // After the wait for a dialog that never comes, the process shows its own.
    HWND dialog =
        WaitForDialog(DialogWithCaption(addDialogTitle, orphan.id()), collectorWaitLimit + 20000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_ARCHIVE_NAME), scratch / L"orphan.zip");
    PressButton(IDCANCEL)(dialog);
    EXPECT_TRUE(orphan.Ended());
    EXPECT_FALSE(FileExists(scratch / L"orphan.zip"));
    CloseHandle(mutex);
}

} // namespace
