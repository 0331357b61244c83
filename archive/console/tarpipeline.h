#pragma once

#include <string>
#include <vector>

struct ConsoleSession;

// Makes a compressed tar (`.tar.gz`, `.tar.xz`, `.tar.bz2`) of `sources`, full paths of
// files and folders, in one step: the tool writes the tar to its standard output, a pipe
// into a second run of the tool that compresses it into `archive`. No tar is written to
// the disk and no command interpreter is started.
//
// `compressorType` is the tool's type of the compression: L"gzip", L"xz" or L"bzip2";
// `compressorSwitches` are the compressor's level and threads as the tool takes them
// (L" -mx=5 -mmt=2"). Links inside folders are stored as links, not followed.
//
// The session says how it ended, as after RunToolOnArchive: RunEnd() is Success,
// Warnings (SkippedFiles() names the sources the tool could not read and left out),
// Cancelled (the session's cancel flag stopped both runs) or Failure (FailureMessage()).
// After any end but Success and Warnings, neither the archive nor the list of names is
// left. An archive that is there already is never touched: that is a Failure at once.
//
// Progress: in an add job, progressCompleted moves with the share of the sources' bytes
// the tool has put into the tar, in the unit of progressTotal as the caller set it (the
// number of files, say); where the caller set none, the total is 100.
void RunTarPipeline(const std::vector<std::wstring>& sources, const std::wstring& archive,
                    const std::wstring& compressorType, const std::wstring& compressorSwitches,
                    ConsoleSession& session);
