#include "util/PathRules.h"

PathStyle PathStyle::Native() {
#ifdef Q_OS_WIN
    return Windows();
#else
    return Posix();
#endif
}

namespace pathrules {

bool TooLong(const QString& path, const PathStyle& style) {
    return path.toUtf8().size() > style.maxPathLength;
}

bool HasDrive(const QString& path, const PathStyle& style) {
    return style.drives && path.size() >= 2 && path[1] == QLatin1Char(':');
}

bool IsAbsolute(const QString& path, const PathStyle& style) {
    return HasDrive(path, style) || (!path.isEmpty() && style.IsSep(path[0]));
}

bool ContainsSep(const QString& path, const PathStyle& style) {
    for (QChar c : path)
        if (style.IsSep(c)) return true;
    return false;
}

PathParts Split(const QString& path, const PathStyle& style) {
    PathParts p;
    QString rest = path;
    if (HasDrive(rest, style)) {
        p.drive = rest.left(2);
        rest = rest.mid(2);
    }
    qsizetype lastSep = -1;
    for (qsizetype i = 0; i < rest.size(); ++i)
        if (style.IsSep(rest[i])) lastSep = i;
    p.dir = rest.left(lastSep + 1);
    const QString file = rest.mid(lastSep + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        p.base = file;
    } else {
        p.base = file.left(dot);
        p.ext = file.mid(dot);
    }
    return p;
}

QString WithTrailingSep(QString path, bool add, const PathStyle& style) {
    if (path.isEmpty()) return path;
    const bool ends = style.IsSep(path.back());
    if (ends && !add) path.chop(1);
    if (!ends && add) path.append(style.sep);
    return path;
}

std::optional<QStringList> DirectoryPathSteps(const QString& path, const PathStyle& style) {
    QString p = path;
    if (p.isEmpty() || !style.IsSep(p.back())) p.append(style.sep);
    if (TooLong(p, style) || !IsAbsolute(p, style)) return std::nullopt;
    for (qsizetype i = 1; i < p.size(); ++i)
        if (style.IsSep(p[i]) && style.IsSep(p[i - 1])) return std::nullopt;
    QStringList steps;
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (!style.IsSep(p[i])) continue;
        const QString prefix = p.left(i);
        if (prefix.isEmpty() || prefix.endsWith(QLatin1Char(':'))) continue;
        steps << prefix;
    }
    return steps;
}

namespace {

// A default directory is taken as it stands when it names a drive or already
// lies in the install directory; otherwise it is a folder under the install
// directory, written with a leading separator ("\Vq\CompressedDB\").
QString ResolveDefaultDir(const QString& dir, const QString& installDir, const PathStyle& style) {
    if (HasDrive(dir, style)) return dir;
    if (!installDir.isEmpty()) {
        const QString root = WithTrailingSep(installDir, true, style);
        const Qt::CaseSensitivity cs = style.drives ? Qt::CaseInsensitive : Qt::CaseSensitive;
        if (dir.startsWith(root, cs) || WithTrailingSep(dir, true, style).compare(root, cs) == 0) return dir;
    }
    if (installDir.isEmpty()) return QString();
    return installDir + dir;
}

}  // namespace

bool ResolveFileNameText(QString& name, QString& defaultDir, const QString& defaultExt, bool toFull,
                         const QString& installDir, const PathStyle& style, QString* resolvedDir) {
    defaultDir = WithTrailingSep(defaultDir, true, style);
    const QString dir = ResolveDefaultDir(defaultDir, installDir, style);
    if (resolvedDir) *resolvedDir = dir;
    if (toFull) {
        QString result = name;
        if (!ContainsSep(result, style)) result.prepend(dir);
        if (Split(result, style).ext.size() < 2) result += defaultExt;
        if (TooLong(result, style)) return false;
        name = result;
        return true;
    }
    const PathParts p = Split(name, style);
    const bool defaultExtension = p.ext.compare(defaultExt, Qt::CaseInsensitive) == 0;
    if (!dir.isEmpty() && (p.drive + p.dir).compare(dir, Qt::CaseInsensitive) == 0)
        name = defaultExtension ? p.base : p.base + p.ext;
    else if (defaultExtension)
        name = p.drive + p.dir + p.base;
    return true;
}

}  // namespace pathrules
