// Converting many files at once: folders walked for Pascal sources, files
// converted in parallel, each by its own converter, with a progress bar.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "CliOptions.h"

/// One source and the page it becomes.
struct TBatchJob {
  std::string Source;
  std::string Target;
};

class TTessaline;

class TSourceFile;

/// Converts Source, read in place (TSourceFile), into the page Target with
/// Converter's settings, replacing Target only when the page is complete,
/// and returns the source's size. Converter's Plain is left alone. Throws
/// EStreamError (also when Target is Source itself, and "Stream read error"
/// when Source shrinks while it is read) or EInterrupted. OnOpened, when
/// given, learns the source's size before the conversion starts.
size_t ConvertFile(TTessaline &Converter, const std::string &Source, const std::string &Target,
                   const std::function<void(size_t Size)> &OnOpened = nullptr);
/// Converts Converter's Plain into the page Target, the same way.
void SavePage(TTessaline &Converter, const std::string &Target);

/// The jobs for Inputs: a folder gives every .pas, .dpr, .dpk, .pp, .inc and
/// .lpr file below it (any letter case, sorted by name, symbolic links
/// followed but never into a folder already walked); any other input is a
/// job of its own. Each page goes beside its source with the extension
/// changed to Extension. Folders that cannot be read are reported in
/// Errors as "PATH: message".
std::vector<TBatchJob> CollectBatchJobs(const std::vector<std::string> &Inputs,
                                        std::vector<std::string> &Errors,
                                        const char *Extension = ".html");

/// Converts the jobs with Options' page texts and scheme, Options.Jobs at a
/// time (one per processor when 0). Failures are reported on Err as
/// "PATH: message" and do not stop the other files. Writes a progress bar
/// to Err when ShowProgress, with terminal escape sequences unless told
/// otherwise. With Pages, sets Pages[K] to 1 for each job K whose page is
/// there at the end (converted, or kept by NoClobber). Returns the exit
/// status: 0, 1 if any file failed, 128 + the signal when interrupted.
int RunBatch(const std::vector<TBatchJob> &Jobs, const TCliOptions &Options, std::ostream &Err,
             bool ShowProgress, bool Escapes = true, std::vector<char> *Pages = nullptr);

/// Writes Folder/index.html, an HTML5 page that lists the pages of Jobs
/// marked in Pages whose targets lie below Folder (however either is
/// spelled: a page is below it when a folder on its way up is Folder's
/// very folder), by folder, with relative links, the sizes of source and
/// page, and their count. Throws EStreamError when it cannot be written,
/// when it would replace a source or a page of Jobs (through any name,
/// links included), or when it is no regular file; EInterrupted, leaving
/// no index, when an interrupt has arrived.
void WriteBatchIndex(const std::string &Folder, const std::vector<TBatchJob> &Jobs,
                     const std::vector<char> &Pages);

/// Writes the index of each folder among Options.Files, once per folder
/// however often and however spelled it is given, keeping an existing one
/// with Options.NoClobber (said unless Options.Quiet). Failures are
/// reported on Err as "tessaline-cli: message". Returns 0, 1 when an index
/// failed, or 128 + the signal when interrupted (said on Err).
int WriteBatchIndexes(const TCliOptions &Options, const std::vector<TBatchJob> &Jobs,
                      const std::vector<char> &Pages, std::ostream &Err);
