// Names in the open archive: an entry renamed (a folder with everything under it) in one run
// of the tool, entries moved into another folder, and a new empty folder made in the folder
// shown.
#include "archive/archiver.h"

#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "archive/questions.h"
#include "archive/textconv.h"
#include "shell/paths.h"

#include <algorithm>

namespace {

bool SameNameAnyCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring CleanName(const std::wstring& typed) {
    // As Explorer takes a typed name: blanks before it and blanks and dots after it go.
    size_t start = typed.find_first_not_of(L' ');
    if (start == std::wstring::npos)
        return std::wstring();
    size_t end = typed.find_last_not_of(L" .");
    return end == std::wstring::npos || end < start ? std::wstring()
                                                    : typed.substr(start, end - start + 1);
}

std::wstring NameProblem(const std::wstring& name) {
    if (name.empty())
        return L"Type a name: an empty one cannot be given.";
    for (wchar_t c : name) {
        if (c < 32 || wcschr(L"\\/:*?\"<>|", c))
            return L"A file name can't contain any of the following characters:\n"
                   L"\\ / : * ? \" < > |";
    }
    return std::wstring();
}

ArchiveTree::Node Archiver::ChildNamed(ArchiveTree::Node folder, const std::wstring& name) const {
    for (ArchiveTree::Node child = tree.FirstChild(folder); child != ArchiveTree::none;
         child = tree.NextSibling(child)) {
        if (SameNameAnyCase(Utf8ToWide(std::string(tree.Name(child))), name))
            return child;
    }
    return ArchiveTree::none;
}

std::wstring Archiver::FreeName(const std::wstring& base) const {
    const ArchiveTree::Node folder = tree.Find(subPath);
    std::wstring name = base;
    for (int number = 2;
         folder != ArchiveTree::none && ChildNamed(folder, name) != ArchiveTree::none; ++number)
        name = base + L" (" + std::to_wstring(number) + L")";
    return name;
}

bool Archiver::MayTakeName(ArchiveTree::Node folder, ArchiveTree::Node self,
                           const std::wstring& name) {
    if (!CanBeChanged()) {
        User().Tell(L"Operation is not supported.");
        return false;
    }
    std::wstring problem = NameProblem(name);
    if (problem.empty()) {
        ArchiveTree::Node taken = ChildNamed(folder, name);
        if (taken != ArchiveTree::none && taken != self)
            problem = L"This folder already has an entry named \"" +
                      Utf8ToWide(std::string(tree.Name(taken))) + L"\". Choose another name.";
    }
    if (!problem.empty()) {
        User().Tell(problem);
        return false;
    }
    return true;
}

int Archiver::RenameEntry(const std::wstring& path, const std::wstring& newName) {
    lastOutcome = JobOutcome();
    lastOutcome.end = JobEnd::Failure;
    const ArchiveTree::Node node = tree.Find(WideToUtf8(path));
    if (node == ArchiveTree::none || node == ArchiveTree::root)
        return -1;
    if (Utf8ToWide(std::string(tree.Name(node))) == newName) {
        lastOutcome.end = JobEnd::Success;
        return 0; // nothing to do
    }
    if (!MayTakeName(tree.Parent(node), node, newName))
        return -1;
    // The tool renames by name: one of two entries of one name cannot be named alone.
    bool quoted = path.size() >= 2 && path.front() == L'"' && path.back() == L'"';
    if (quoted || tree.DuplicateIndex(node) != ArchiveTree::noIndex) {
        User().Tell(FileNamePart(path) + L" cannot be renamed: the archive holds another entry "
                                         L"of the same name, and the archive tool renames by "
                                         L"name.");
        return -1;
    }
    const size_t slash = path.rfind(L'\\');
    const std::wstring newPath =
        (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + newName;

    jobFailure.clear();
    RunUnderProgress(
        L"Rename", L"Renaming ... ",
        // A folder's entries are renamed with it, in the same run.
        [&](const std::atomic<int32_t>* stop) { RunOnEntries(L"rn", {path, newPath}, stop); },
        progressDelay);
    if (!jobFailure.empty()) {
        lastOutcome.end = JobEnd::Failure;
        User().Tell(jobFailure);
    }
    if (lastOutcome.end == JobEnd::Success)
        edits.Renamed(path, newPath);
    Refresh();
    if (lastOutcome.end == JobEnd::Success && listed &&
        tree.Find(WideToUtf8(newPath)) == ArchiveTree::none) {
        lastOutcome.end = JobEnd::Failure;
        User().Tell(FileNamePart(path) + L" could not be renamed.");
    }
    return lastOutcome.end == JobEnd::Success ? 0 : -1;
}

int Archiver::MakeFolderEntry(const std::wstring& name) {
    lastOutcome = JobOutcome();
    lastOutcome.end = JobEnd::Failure;
    const ArchiveTree::Node folder = tree.Find(subPath);
    if (folder == ArchiveTree::none || !MayTakeName(folder, ArchiveTree::none, name))
        return -1;
    // An empty folder of that name, added into the folder shown as a dropped folder is.
    const std::wstring scratch = MakeScratchFolder(L"Quorp");
    const std::wstring made = scratch + L"\\" + name;
    if (scratch.empty() || !CreateDirectoryW(LongPathForm(made).c_str(), nullptr)) {
        if (!scratch.empty())
            DeleteFolderTree(nullptr, scratch);
        User().Tell(L"The folder could not be made: no scratch folder could be made in the "
                    L"Temp folder.");
        return -1;
    }
    const int result = AddFiles({made});
    DeleteFolderTree(nullptr, scratch);
    if (result == -1)
        return -1;
    Refresh();
    return lastOutcome.end == JobEnd::Success ? 0 : -1;
}

int Archiver::MoveEntries(const std::vector<std::wstring>& paths, const std::wstring& folder) {
    lastOutcome = JobOutcome();
    lastOutcome.end = JobEnd::Failure;
    if (!CanBeChanged()) {
        User().Tell(L"Operation is not supported.");
        return -1;
    }
    const ArchiveTree::Node target = tree.Find(WideToUtf8(folder));
    if (target == ArchiveTree::none || (target != ArchiveTree::root && !tree.IsFolder(target)))
        return -1;
    std::vector<std::wstring> pairs;
    std::vector<std::wstring> given; // names given in this move, in capitals
    for (const std::wstring& path : paths) {
        const ArchiveTree::Node node = tree.Find(WideToUtf8(path));
        if (node == ArchiveTree::none || node == ArchiveTree::root || tree.Parent(node) == target)
            continue; // there already
        const std::wstring name = Utf8ToWide(std::string(tree.Name(node)));
        for (ArchiveTree::Node above = target; above != ArchiveTree::none;
             above = above == ArchiveTree::root ? ArchiveTree::none : tree.Parent(above)) {
            if (above == node) {
                User().Tell(L"The folder " + name + L" cannot be moved into itself.");
                return -1;
            }
        }
        std::wstring capitals = name;
        CharUpperBuffW(&capitals[0], static_cast<DWORD>(capitals.size()));
        const bool twice = std::find(given.begin(), given.end(), capitals) != given.end();
        given.push_back(capitals);
        const ArchiveTree::Node taken = ChildNamed(target, name);
        if (taken != ArchiveTree::none || twice ||
            tree.DuplicateIndex(node) != ArchiveTree::noIndex) {
            User().Tell(name + L" was not moved: " +
                        (taken != ArchiveTree::none || twice
                             ? L"the folder it was dropped on has an entry of that name already."
                             : L"the archive holds another entry of the same name, and the "
                               L"archive tool moves by name."));
            return -1;
        }
        pairs.push_back(path);
        pairs.push_back(folder.empty() ? name : folder + L"\\" + name);
    }
    if (pairs.empty()) {
        lastOutcome.end = JobEnd::Success;
        return 0;
    }
    jobFailure.clear();
    RunUnderProgress(
        L"Move", L"Moving ... ",
        [&](const std::atomic<int32_t>* stop) { RunOnEntries(L"rn", pairs, stop); },
        progressDelay);
    if (!jobFailure.empty()) {
        lastOutcome.end = JobEnd::Failure;
        User().Tell(jobFailure);
    }
    if (lastOutcome.end == JobEnd::Success) {
        for (size_t i = 0; i + 1 < pairs.size(); i += 2)
            edits.Renamed(pairs[i], pairs[i + 1]);
    }
    Refresh();
    return lastOutcome.end == JobEnd::Success ? 0 : -1;
}
