#include "util/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "util/InstallDir.h"
#include "util/PathRules.h"
#include "util/Prompter.h"

bool g_bAskOnError = true;

bool PrefixInstallDir(QString& out, const QString& relative) {
    QString dir;
    if (!GetInstallDir(dir)) return false;
    const QString joined = dir + relative;
    if (pathrules::TooLong(joined, PathStyle::Native())) return false;
    out = joined;
    return true;
}

void SetTrailingBackslash(QString& path, bool add) {
    path = pathrules::WithTrailingSep(path, add, PathStyle::Native());
}

bool DirectoryExists(const QString& path) {
    const PathStyle style = PathStyle::Native();
    if (path.isEmpty() || pathrules::TooLong(path, style)) return false;
    QString p = path;
    // The root alone keeps its separator.
    if (p.size() > 1 && style.IsSep(p.back())) p.chop(1);
    return QFileInfo(p).isDir();
}

bool FileExists(const QString& path) {
    const PathStyle style = PathStyle::Native();
    if (path.isEmpty() || pathrules::TooLong(path, style)) return false;
    QString dir;
    QString pattern = path;
    if (GetDirectoryPart(path, dir)) {
        pattern = path.mid(dir.size() + 1);
        if (dir.isEmpty()) dir = QString(style.sep);
    } else {
        dir = QStringLiteral(".");
    }
    if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')))
        return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    // "*.*" names everything, dotted or not.
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    const QDir d(dir);
    return !d.entryList({pattern}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .isEmpty();
}

bool GetDirectoryPart(const QString& path, QString& out) {
    if (path.isEmpty()) return false;
    qsizetype last = -1;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (path[i] == QLatin1Char('/') || path[i] == QLatin1Char('\\')) {
            last = i;
            break;
        }
    }
    if (last < 0) return false;
    if (path[last] == QLatin1Char('/') && last > 0 && path[last - 1] == QLatin1Char('/'))
        out = path;
    else
        out = path.left(last);
    return true;
}

bool ResolveFileName(QString& name, QString& defaultDir, const QString& defaultExt, bool toFull) {
    QString installDir;
    if (!GetInstallDir(installDir)) installDir.clear();
    const PathStyle style = PathStyle::Native();
    QString resolved;
    QString result = name;
    if (!pathrules::ResolveFileNameText(result, defaultDir, defaultExt, toFull, installDir, style, &resolved))
        return false;
    // Only a bare name goes into the default directory, and only then is it
    // made; one level, a failure shows later as a missing file.
    if (toFull && !pathrules::ContainsSep(name, style) && !resolved.isEmpty() && !DirectoryExists(resolved))
        QDir().mkdir(resolved);
    name = result;
    return true;
}

bool CreateDirectoryPath(const QString& path) {
    const auto steps = pathrules::DirectoryPathSteps(path, PathStyle::Native());
    if (!steps) return false;
    for (const QString& dir : *steps) {
        if (DirectoryExists(dir)) continue;
        if (!QDir().mkdir(dir)) return false;
    }
    return true;
}

namespace {

QFileInfoList Entries(const QString& dir) {
    QFileInfoList out;
    const QFileInfoList all =
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : all)
        if (!fi.fileName().startsWith(QLatin1Char('.'))) out << fi;
    return out;
}

void AskAfterFailure(const char* format, const QString& path) {
    if (!g_bAskOnError) return;
    const QString text = QString::fromUtf8(format).arg(QDir::toNativeSeparators(path));
    if (AppMessageBox(text, MsgButtons::YesNo) == MsgResult::Yes) g_bAskOnError = false;
}

// A link is an entry of this tree, whatever it points to.
bool IsRealDirectory(const QFileInfo& fi) {
    return fi.isDir() && !fi.isSymLink();
}

void DeleteFiles(const QString& dir) {
    for (const QFileInfo& fi : Entries(dir)) {
        const QString path = fi.filePath();
        if (IsRealDirectory(fi)) {
            DeleteFiles(path);
        } else if (!QFile::remove(path)) {
            AskAfterFailure("Cannot remove the file %1.\nWould you like to skip further error messages?",
                            path);
        }
    }
}

void RemoveDirectories(const QString& dir) {
    for (const QFileInfo& fi : Entries(dir))
        if (IsRealDirectory(fi)) RemoveDirectories(fi.filePath());
    if (!QDir().rmdir(dir))
        AskAfterFailure("Cannot remove the directory %1.\nWould you like to skip other error messages?", dir);
}

}  // namespace

void DeleteTree(const QString& dir) {
    if (!DirectoryExists(dir)) return;
    QString top = dir;
    SetTrailingBackslash(top, false);
    if (top.isEmpty()) top = dir;
    g_bAskOnError = true;
    const QFileInfo fi(top);
    if (fi.isSymLink()) {
        // Given a link to a directory, the link is the tree.
        if (!QFile::remove(top))
            AskAfterFailure("Cannot remove the file %1.\nWould you like to skip further error messages?",
                            top);
        return;
    }
    DeleteFiles(top);
    RemoveDirectories(top);
}
