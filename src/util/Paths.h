// File and directory helpers shared by the pages and the long operations.
// Paths use the native separator; the rules behind them are in PathRules.h.
// Every function reports failure by its result, and a path longer than the
// platform allows is a failure, never a shortened path.
#pragma once

#include <QString>

// out = install directory + relative, joined as they stand. False when the
// install directory is unknown or the result too long (out untouched).
bool PrefixInstallDir(QString& out, const QString& relative);

// Adds (add true) or removes one trailing separator; an empty path stays empty.
void SetTrailingBackslash(QString& path, bool add);

bool DirectoryExists(const QString& path);
// Anything (file or directory) matching the name; '*' and '?' allowed in the
// last component.
bool FileExists(const QString& path);

// Everything before the last '/' or '\'; when that is a '/' preceded by
// another '/' the whole path. False (out untouched) for an empty path or one
// without a separator.
bool GetDirectoryPart(const QString& path, QString& out);

// Turns a name typed in a combo box into a full path (toFull true) or a
// stored path into the short form shown (toFull false). defaultDir gains a
// trailing separator in place. With toFull a bare name goes into the default
// directory, which is created (one level) when missing. False when the
// result would be too long; name is then unchanged.
bool ResolveFileName(QString& name, QString& defaultDir, const QString& defaultExt, bool toFull);

// Creates every missing directory along a full path. Relative paths and the
// network form (two separators in a row) are refused.
bool CreateDirectoryPath(const QString& path);

// Deletes a directory with everything in it. After a failure the user is
// asked once whether to skip further messages. Symbolic links inside the
// tree are removed themselves; what they point to is never touched.
void DeleteTree(const QString& dir);

// Cleared when the user chooses to skip further messages of DeleteTree.
extern bool g_bAskOnError;
