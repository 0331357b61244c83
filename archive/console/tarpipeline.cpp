#include "archive/console/tarpipeline.h"

#include "archive/archiver.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/toolcommand.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/paths.h"

#include <windows.h>

namespace {

// Ends the session's run before any tool has started, with the reason for the user.
void Refuse(ConsoleSession& session, const std::wstring& reason) {
    session.stopped = false;
    session.exitCode = 2;
    session.finishedOk = false;
    session.warned = false;
    session.skipped.clear();
    session.errorText = WideToUtf8(reason);
}

// The name the compressor gives its one entry, the tar: "photos.tar" for "photos.tar.gz"
// and for "photos.tgz".
std::wstring TarName(const std::wstring& archive) {
    std::wstring name = FileNamePart(archive);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    if (name.size() < 4 || _wcsicmp(name.c_str() + name.size() - 4, L".tar") != 0)
        name += L".tar";
    return name;
}

} // namespace

void RunTarPipeline(const std::vector<std::wstring>& sources, const std::wstring& archive,
                    const std::wstring& compressorType, const std::wstring& compressorSwitches,
                    ConsoleSession& session) {
    if (compressorType != L"gzip" && compressorType != L"xz" && compressorType != L"bzip2") {
        Refuse(session, L"The archive tool cannot compress a tar as " + compressorType + L".");
        return;
    }
    // The archive is made new: one that is there (or a folder of its name) is somebody's,
    // and the runs would neither update nor remove it.
    if (PathExists(archive)) {
        Refuse(session, L"There is already a file named " + FileNamePart(archive) + L".");
        return;
    }
    // The list of names is written as for any add; only the command line differs.
    ToolRun listed;
    if (!IsUsableToolPath(archive) || !MakeItemsRun(archive, L"a", sources, false, listed)) {
        Refuse(session, L"The list of names for the archive tool could not be written in the "
                        L"Temp folder.");
        return;
    }

    const std::wstring tool = GetCorePath(L"7z.exe");
    // Writing the tar to its standard output (-so, with no archive name: -an), the tool
    // prints no "+ name" lines, and its messages go to standard error (-bso2); its progress
    // figure (-bsp2) goes there too, and moves the progress. -snl stores links as links.
    ToolRun writer;
    writer.program = tool;
    writer.listFile = listed.listFile;
    writer.commandLine = L"\"" + tool + L"\" a -ttar -so -an @\"" + listed.listFile +
                         L"\" -scsUTF-8 -sccUTF-8 -snl -bso2 -bse2 -bsp2";
    // The compressor reads the tar from its standard input (-si with the tar's name).
    ToolRun compressor;
    compressor.program = tool;
    compressor.commandLine = L"\"" + tool + L"\" a -t" + compressorType + L" \"-si" +
                             TarName(archive) + L"\" \"" + archive + L"\" -sccUTF-8" +
                             compressorSwitches;

    if (progressTotal == 0)
        progressTotal = 100;
    ConsoleSession compressorSession(session.archiver);
    compressorSession.cancelled = session.cancelled;
    bool started = RunPipedTools(writer, session, compressor, compressorSession);
    DiscardRun(writer);

    // A compressor that failed (or could not start) cut the writer's pipe: its account is
    // the one that says why. A writer that failed leaves the compressor a tar cut short,
    // which the compressor packs and calls a success: there the writer's account stands.
    bool compressorFailed = started
                                ? !session.stopped && compressorSession.RunEnd() == JobEnd::Failure
                                : !compressorSession.errorText.empty();
    if (compressorFailed) {
        session.exitCode = compressorSession.exitCode;
        session.errorText = compressorSession.errorText;
        session.finishedOk = false;
        session.warned = false;
        session.skipped.clear();
    }

    JobEnd end = session.RunEnd();
    if (end == JobEnd::Success || end == JobEnd::Warnings)
        return;
    DeleteFileW(archive.c_str());
}
