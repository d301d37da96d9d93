// The database version numbers written into a compressed file, kept in the
// profile section "CompressOptions" ("Major", default 1; "Minor", default 0).
// The options dialog and vqtool read and write them here.
#pragma once

#include <QString>

struct CompressVersion {
    unsigned major = 1;
    unsigned minor = 0;
    bool operator==(const CompressVersion&) const = default;
};

inline const QString kCompressOptionsSection = QStringLiteral("CompressOptions");

// The profile's numbers; a value missing or not an unsigned integer takes its default.
CompressVersion ReadCompressOptions();
void WriteCompressOptions(const CompressVersion& version);

// An unsigned 32-bit integer in decimal, blanks around it allowed, no sign.
bool ParseVersionNumber(const QString& text, unsigned& out);
