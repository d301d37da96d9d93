#include "compress/CompressRun.h"

#include <QDir>
#include <QFile>

#include "compress/CompressRules.h"
#include "compress/TargetFolder.h"
#include "compress/Walk.h"
#include "log/Log.h"
#include "util/Paths.h"
#include "util/Prompter.h"
#include "util/WaitCursor.h"

namespace {

MsgResult Ask(const QString& text, bool defaultNo = false) {
    return MessageBox(text, QString::fromLatin1(kWizardCaption), MsgIcon::Question, MsgButtons::YesNo,
                      defaultNo);
}

// Files one side file of the run into the log between its section titles.
void FileSideFile(const QString& path, const QString& what, bool keep) {
    if (!FileExists(path)) return;
    LogSection(QStringLiteral("Begin Compression %1 File").arg(what));
    AppendFileToLog(path, nullptr, true);
    LogSection(QStringLiteral("End Compression %1 File").arg(what));
    if (!keep) QFile::remove(path);
}

void FileSideFiles(const QString& fullPath, bool keep) {
    FileSideFile(SideFilePath(fullPath, ns2vq::kSideFileErr), QStringLiteral("Error"), keep);
    FileSideFile(SideFilePath(fullPath, ns2vq::kSideFileList), QStringLiteral("List"), keep);
    if (keep) return;
    const QString detailed = SideFilePath(fullPath, ns2vq::kSideFileLog);
    const QString dir = CompressedDbDefaultDir();
    if (!FileExists(detailed) || dir.isEmpty()) return;
    const QString copy = dir + kDetailedLogName;
    QDir().mkpath(dir);
    QFile::remove(copy);
    // Keep the run's own file when it could not be copied.
    if (QFile::copy(detailed, copy)) QFile::remove(detailed);
}

}  // namespace

QString CompressedDbDefaultDir() {
    QString dir;
    if (!PrefixInstallDir(dir, CompressedDbRelativeDir())) return QString();
    SetTrailingBackslash(dir, true);
    return dir;
}

CompressResult CompressRun(CCompressWalk& walk, const ovx::Ptr<ovx::System>& system,
                           const CompressRequest& request, CLog& log, const CompressRunHooks& hooks) {
    CompressResult result;
    const auto refuse = [&] {
        if (hooks.focusName) hooks.focusName();
        result.outcome = CompressOutcome::Refused;
        return result;
    };

    LogSection(QStringLiteral("Begin Compression..."));
    LogWrite(QStringLiteral("Save compressed database into file: %1").arg(request.enteredName));

    if (request.enteredName.isEmpty()) {
        ErrorBox(QStringLiteral("You must enter a file name to save the compressed file to."));
        result.outcome = CompressOutcome::Refused;
        return result;
    }

    QString fullPath = request.enteredName;
    if (request.completeName) {
        QString defaultDir = CompressedDbRelativeDir();
        ResolveFileName(fullPath, defaultDir, kCompressedDbExt, true);
    }
    result.fullPath = fullPath;

    QString dir;
    if (GetDirectoryPart(fullPath, dir) && !dir.isEmpty() && !DirectoryExists(dir)) {
        const MsgResult answer =
            Ask(QStringLiteral("The directory you specified does not exist. Would you like to create it?"));
        LogWrite(QStringLiteral("The directory %1 does not exist.").arg(dir));
        if (answer != MsgResult::Yes) return refuse();
        LogWrite(QStringLiteral("Creating directory %1.").arg(dir));
        if (!CreateDirectoryPath(dir)) {
            ErrorBox(QStringLiteral("Failed to create the directory."));
            LogWrite(QStringLiteral("Failed to create the directory."));
            result.outcome = CompressOutcome::Refused;
            return result;
        }
    }

    // The compressor would only say N2VSTS_BAD_PARMS for a folder it cannot
    // write in.
    if (CheckTargetFolder(fullPath, &dir) == FolderState::NotWritable) {
        const QString text = TargetFolderMessage(FolderState::NotWritable, dir);
        ErrorBox(text);
        LogWrite(text);
        return refuse();
    }

    if (request.askBeforeReplacing && FileExists(fullPath)) {
        if (Ask(QStringLiteral("The file you entered already exists. Would you like to overwrite it?")) !=
            MsgResult::Yes) {
            LogWrite(QStringLiteral("The file specified already exists. It is not replaced."));
            LogWrite(QStringLiteral("Compression Aborted"));
            LogSection(QStringLiteral("End Compression"));
            return refuse();
        }
        LogWrite(QStringLiteral("The file specified already exists. It is being replaced."));
    }

    if (hooks.walkStarting) hooks.walkStarting();
    int status = kCompressFailed;
    {
        CWaitCursor wait;
        status = walk.CompressDatabase(system, fullPath, request.subsystems, kCompressFlags, &log,
                                       static_cast<int>(request.version.major),
                                       static_cast<int>(request.version.minor));
    }
    if (hooks.walkEnded) hooks.walkEnded();

    switch (status) {
        case kCompressOk:
            result.outcome = CompressOutcome::Succeeded;
            if (request.reportOutcome && Ask(QStringLiteral("Compression was SUCCESSFUL.\nWould you like to "
                                                            "go back to the page to view the log?"),
                                             true) == MsgResult::Yes)
                result.outcome = CompressOutcome::StayOnPage;
            break;
        case kCompressCancelled:
            result.outcome = CompressOutcome::Cancelled;  // no box: the user knows
            break;
        default:
            result.outcome = CompressOutcome::Failed;
            if (request.reportOutcome)
                MessageBox(QStringLiteral("Compression FAILED. Please view the Progress window for the "
                                          "detailed error message."),
                           QString::fromLatin1(kWizardCaption), MsgIcon::Stop);
            break;
    }
    LogSection(QStringLiteral("End Compression"));
    FileSideFiles(fullPath, request.keepSideFiles);
    return result;
}
