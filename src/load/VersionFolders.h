// Version folders of an import folder: every installed version of the VQ's
// external interface files (.xif) and application images (.apb) lives in a
// subfolder whose name begins with "Version". The load options page and the
// application image page share these rules; they touch no widget.
#pragma once

#include <QString>
#include <QStringList>

namespace versionfolders {

// A directory name that begins with "Version", ignoring case.
bool IsVersionName(const QString& name);

// Plain byte-wise comparison of the UTF-8 forms (case-sensitive, the first
// difference decides, a prefix is smaller): < 0, 0 or > 0. "Version 1.9"
// is greater than "Version 1.10"; an empty text is smaller than any other.
int CompareBytes(const QString& a, const QString& b);

// The version folders' names in the order the folder lists them (by name,
// ignoring case). Plain files are never version folders.
QStringList List(const QString& importDir);

// importDir + the greatest version folder name (CompareBytes) + a trailing
// separator; importDir itself when it holds no version folder.
QString Newest(const QString& importDir);

// Whether the newest folder has appeared since the stored one was seen
// (CompareBytes; an empty stored value is older than any folder).
inline bool IsNewer(const QString& newest, const QString& stored) {
    return CompareBytes(newest, stored) > 0;
}

// The items of a file combo box refilled from the version folders: the
// files matching pattern ("*.xif", "*.apb"; ignoring case) of each version
// folder in List order; a file of the newest folder (its name compared
// ignoring case) is inserted at the top as its bare name (no folder, no
// extension), any other is appended as its full path.
QStringList RefillItems(const QString& importDir, const QString& pattern);

}  // namespace versionfolders
