// One compression, start to end, without widgets: the target file and its
// folder, the questions, the log sections, the walk, and the library's side
// files. The compression page and `vqtool compress` both run it; they differ
// only in the choices of CompressRequest and in what they show afterwards.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "compress/CompressOptions.h"
#include "ovx/ovx.h"

class CCompressWalk;
class CLog;

struct CompressRequest {
    QString enteredName;     // as the user typed or chose it
    QStringList subsystems;  // full dotted paths, in the user's order, at most 16
    CompressVersion version;

    // The page completes a bare name in the default folder and adds ".q70";
    // a script gives the full path itself.
    bool completeName = true;
    // The page asks before creating a missing folder and before replacing a
    // file; a script has checked its folder and replaces without asking.
    bool askBeforeReplacing = true;
    // The page asks whether to stay and view the log after a success, and
    // shows a box after a failure; a script reads the progress lines.
    bool reportOutcome = true;
    // The page files the side files into the log and removes them (the
    // detailed log is kept as "Detailed compression log.log"); a script
    // files them and leaves all three beside the output.
    bool keepSideFiles = false;
};

enum class CompressOutcome {
    Succeeded,   // the file is written; move on
    StayOnPage,  // written, and the user chose to stay and view the log
    Refused,     // nothing was run: no name, folder missing or not writable, replacing declined
    Failed,      // the run failed; the reason is in the log
    Cancelled,   // the user cancelled the run
};

struct CompressResult {
    CompressOutcome outcome = CompressOutcome::Refused;
    QString fullPath;  // the completed path of this run (empty when refused before it)
};

// What the front end does around the walk: show and take down the Cancel
// dialog, put the focus back into the file name after a refusal.
struct CompressRunHooks {
    std::function<void()> walkStarting;
    std::function<void()> walkEnded;
    std::function<void()> focusName;
};

// log shows the run's lines (the Progress box) and writes them to the log
// file. The database is system, which stays open.
CompressResult CompressRun(CCompressWalk& walk, const ovx::Ptr<ovx::System>& system,
                           const CompressRequest& request, CLog& log, const CompressRunHooks& hooks = {});

// The default folder of compressed files under the install directory, with a
// trailing separator; empty without an install directory.
QString CompressedDbDefaultDir();
