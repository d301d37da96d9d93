// The one place where the platform's path rules live. The wizard's logic
// speaks of "the separator", "a drive" and "an absolute path"; on Windows
// that is the backslash and "X:", elsewhere the slash and a leading slash.
// The functions here are pure text rules, so both forms can be checked on
// any machine.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

struct PathStyle {
    QChar sep;          // the separator written by the program
    bool drives;        // "X:" prefixes and '/' also accepted as a separator
    int maxPathLength;  // longest usable path in bytes, terminator excluded

    static PathStyle Windows() { return {QLatin1Char('\\'), true, 259}; }
    static PathStyle Posix() { return {QLatin1Char('/'), false, 4095}; }
    static PathStyle Native();

    bool IsSep(QChar c) const { return c == sep || (drives && c == QLatin1Char('/')); }
};

// The parts of a path: drive ("X:" or empty), directory (with its trailing
// separator), base name and extension (from the last dot of the final
// component, dot included).
struct PathParts {
    QString drive, dir, base, ext;
};

namespace pathrules {

bool TooLong(const QString& path, const PathStyle& style);
bool HasDrive(const QString& path, const PathStyle& style);
// A drive or a leading separator.
bool IsAbsolute(const QString& path, const PathStyle& style);
bool ContainsSep(const QString& path, const PathStyle& style);
PathParts Split(const QString& path, const PathStyle& style);
QString WithTrailingSep(QString path, bool add, const PathStyle& style);

// The directories to create, outermost first, for a full directory path;
// nothing when the path is refused (relative, network form with two
// separators in a row, or too long).
std::optional<QStringList> DirectoryPathSteps(const QString& path, const PathStyle& style);

// Text part of ResolveFileName. installDir is the install directory (empty
// when unknown); resolvedDir receives the directory a bare name goes into.
// Returns false when the result would be too long; name is then unchanged.
bool ResolveFileNameText(QString& name, QString& defaultDir, const QString& defaultExt, bool toFull,
                         const QString& installDir, const PathStyle& style, QString* resolvedDir = nullptr);

}  // namespace pathrules
