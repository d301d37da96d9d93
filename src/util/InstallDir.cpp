#include "util/InstallDir.h"

#include <QSettings>

// Only ever reads: asking for write access here would leave ordinary users
// without a log file and without the default folders.
bool GetInstallDir(QString& out) {
    const QByteArray env = qgetenv("TESSARIN_PATH");
    QString dir;
    if (!env.isEmpty()) {
        dir = QString::fromLocal8Bit(env);
    } else {
        QSettings settings(QSettings::SystemScope, QStringLiteral("Tessarin"));
        dir = settings.value(QStringLiteral("Tessarin Path")).toString();
    }
    // The value has room for 260 bytes, terminator included.
    if (dir.isEmpty() || dir.toLocal8Bit().size() > 259) return false;
    out = dir;
    return true;
}
