// Whether the folder of a compressed file can take it: checked before the run
// so that a missing or read-only folder is named as such, not reported as the
// compressor's bad-parameter status.
#pragma once

#include <QString>

enum class FolderState { Usable, Missing, NotWritable };

// The folder of fullPath (everything before its last separator) and whether
// a file can be created in it. Writability is tried, not read from the mode
// bits, which do not bind every user.
FolderState CheckTargetFolder(const QString& fullPath, QString* folder = nullptr);

// "The directory %1 does not exist." or "The directory %1 cannot be written
// to."; empty for a usable folder.
QString TargetFolderMessage(FolderState state, const QString& folder);
