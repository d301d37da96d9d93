#include "compress/TargetFolder.h"

#include <QDir>
#include <QTemporaryFile>

#include "util/Paths.h"

FolderState CheckTargetFolder(const QString& fullPath, QString* folder) {
    QString dir;
    if (!GetDirectoryPart(fullPath, dir))
        dir = QDir::currentPath();
    else if (dir.isEmpty())
        dir = QStringLiteral("/");  // a file at the root
    if (folder) *folder = dir;
    if (!DirectoryExists(dir)) return FolderState::Missing;
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".vqprobe-XXXXXX")));
    if (!probe.open()) return FolderState::NotWritable;
    return FolderState::Usable;  // the probe goes with its object
}

QString TargetFolderMessage(FolderState state, const QString& folder) {
    switch (state) {
        case FolderState::Missing:
            return QStringLiteral("The directory %1 does not exist.").arg(folder);
        case FolderState::NotWritable:
            return QStringLiteral("The directory %1 cannot be written to.").arg(folder);
        case FolderState::Usable:
            break;
    }
    return {};
}
