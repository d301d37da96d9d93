#include "compress/CompressOptions.h"

#include <QSettings>

#include "util/Registry.h"

namespace {
unsigned ReadValue(QSettings& profile, const QString& name, unsigned fallback) {
    bool ok = false;
    const unsigned v = profile.value(name, fallback).toUInt(&ok);
    return ok ? v : fallback;
}
}  // namespace

CompressVersion ReadCompressOptions() {
    const CompressVersion defaults;
    auto profile = OpenProfile();
    profile->beginGroup(kCompressOptionsSection);
    return {ReadValue(*profile, QStringLiteral("Major"), defaults.major),
            ReadValue(*profile, QStringLiteral("Minor"), defaults.minor)};
}

void WriteCompressOptions(const CompressVersion& version) {
    auto profile = OpenProfile();
    profile->beginGroup(kCompressOptionsSection);
    profile->setValue(QStringLiteral("Major"), version.major);
    profile->setValue(QStringLiteral("Minor"), version.minor);
}

bool ParseVersionNumber(const QString& text, unsigned& out) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) return false;
    bool ok = false;
    const qulonglong v = t.toULongLong(&ok, 10);
    if (!ok || v > 0xFFFFFFFFull) return false;
    out = static_cast<unsigned>(v);
    return true;
}
