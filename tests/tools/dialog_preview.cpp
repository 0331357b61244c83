// Shows one of the program's dialogs as a user sees it, for a screenshot:
//   dialog_preview progress   the progress dialog of an extraction at 37 %
//   dialog_preview packing    the progress dialog of a real add of 96 MB of noise
//   dialog_preview password   the password prompt
//   dialog_preview add        the add-to-archive dialog for two files
//   dialog_preview about      the about box
//   dialog_preview replace    the question before a file is replaced (replace-case: for two
//                             entries whose names differ only in case)
// Not a test; scripts/screenshots.sh runs it.
#include "archive/progress.h"
#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/console/toolcommand.h"
#include "ui/aboutdlg.h"
#include "ui/adddialog.h"
#include "ui/passwordprompt.h"
#include "ui/progressdialog.h"
#include "ui/replaceprompt.h"
#include "ui/windowquestions.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    UseWindowQuestions();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    if (wcsstr(commandLine, L"about")) {
        CAboutDlg about;
        about.DoModal(AppInstance(), nullptr);
        return 0;
    }
    if (wcsstr(commandLine, L"packing")) {
        // Noise does not compress: the add takes long enough to be seen, with a path long
        // enough to be shortened.
        std::filesystem::path folder(MakeScratchFolder(L"preview"));
        std::filesystem::path photos = folder / L"Holiday photos";
        std::filesystem::path deep =
            photos / L"2026 summer by the sea in Brittany" / L"camera originals, not edited";
        std::filesystem::create_directories(deep);
        uint64_t seed = 88172645463325252ull;
        for (int file = 0; file < 3; ++file) {
            std::string noise(32 << 20, '\0');
            for (size_t i = 0; i + 8 <= noise.size(); i += 8) {
                seed ^= seed << 13;
                seed ^= seed >> 7;
                seed ^= seed << 17;
                memcpy(&noise[i], &seed, 8);
            }
            std::ofstream(deep / (L"IMG_20260714_18301" + std::to_wstring(file) + L"_panorama.dng"),
                          std::ios::binary)
                << noise;
        }
        Archiver archiver;
        archiver.AddToArchive((folder / L"Holiday photos.7z").wstring(), {photos.wstring()}, L"");
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        return 0;
    }
    if (wcsstr(commandLine, L"add")) {
        ShowAddDialog({L"C:\\users\\Public\\Documents\\Holiday photos\\beach.jpg",
                       L"C:\\users\\Public\\Documents\\Holiday photos\\harbour.jpg"});
        return 0;
    }
    if (wcsstr(commandLine, L"replace")) {
        bool sameExtraction = wcsstr(commandLine, L"replace-case") != nullptr;
        AskReplace(L"C:\\users\\Public\\Documents\\site\\index.html",
                   sameExtraction ? L"site\\Index.html" : L"site\\index.html",
                   sameExtraction ? NameClash::LetterCase : NameClash::None, L"site\\index.html",
                   L"index (2).html");
        return 0;
    }
    if (wcsstr(commandLine, L"password")) {
        std::string password;
        PromptPassword(password);
        return 0;
    }
    ResetProgress();
    progressTotal = 8;
    progressCompleted = 3;
    ShowProgress(L"Extract Files", L"Extracting Files ... ");
    return 0;
}
