#include "load/VersionFolders.h"

#include <QDir>
#include <QFileInfo>

#include "util/Paths.h"

namespace versionfolders {

namespace {

const QLatin1String kPrefix("Version");

QString WithSep(QString dir) {
    SetTrailingBackslash(dir, true);
    return dir;
}

}  // namespace

bool IsVersionName(const QString& name) {
    return name.startsWith(kPrefix, Qt::CaseInsensitive);
}

int CompareBytes(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    // QByteArray compares as unsigned bytes, a prefix first.
    return x < y ? -1 : (y < x ? 1 : 0);
}

QStringList List(const QString& importDir) {
    if (importDir.isEmpty()) return {};
    QStringList out;
    const QStringList dirs = QDir(importDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                                       QDir::Name | QDir::IgnoreCase);
    for (const QString& name : dirs)
        if (IsVersionName(name)) out << name;
    return out;
}

QString Newest(const QString& importDir) {
    QString best;
    for (const QString& name : List(importDir))
        if (best.isEmpty() || CompareBytes(name, best) > 0) best = name;
    return best.isEmpty() ? importDir : WithSep(WithSep(importDir) + best);
}

QStringList RefillItems(const QString& importDir, const QString& pattern) {
    const QStringList versions = List(importDir);
    QString newest;
    for (const QString& name : versions)
        if (newest.isEmpty() || CompareBytes(name, newest) > 0) newest = name;
    QStringList items;
    for (const QString& version : versions) {
        const QString folder = WithSep(WithSep(importDir) + version);
        const bool isNewest = version.compare(newest, Qt::CaseInsensitive) == 0;
        const QStringList files =
            QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
        for (const QString& file : files) {
            if (isNewest)
                items.prepend(QFileInfo(file).completeBaseName());
            else
                items.append(folder + file);
        }
    }
    return items;
}

}  // namespace versionfolders
