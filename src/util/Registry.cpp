#include "util/Registry.h"

#include <QSettings>
#include <QStringList>

void BuildProfileKeyPath(QString& out) {
    out = QStringLiteral("Software\\%1\\%2\\")
              .arg(QString::fromUtf8(kRegistryKey), QString::fromUtf8(kProfileAppName));
}

std::unique_ptr<QSettings> OpenProfile() {
    return std::make_unique<QSettings>(QString::fromUtf8(kRegistryKey), QString::fromUtf8(kProfileAppName));
}

namespace {

void RemoveValues(QSettings& settings) {
    // Collect first, then delete: removing while listing would skip names.
    const QStringList names = settings.childKeys();
    for (const QString& name : names) settings.remove(name);
}

}  // namespace

bool ClearRegistryKey(RegistryRoot root, const QString& keyPath) {
    if (root != RegistryRoot::CurrentUser) return false;
    QString profile;
    BuildProfileKeyPath(profile);
    QString path = keyPath;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (path.startsWith(profile, Qt::CaseInsensitive) ||
        (path + QLatin1Char('\\')).compare(profile, Qt::CaseInsensitive) == 0) {
        const QString group = path.mid(profile.size());
        auto settings = OpenProfile();
        if (!group.isEmpty())
            settings->beginGroup(QString(group).replace(QLatin1Char('\\'), QLatin1Char('/')));
        RemoveValues(*settings);
        return settings->status() == QSettings::NoError;
    }
#ifdef Q_OS_WIN
    QSettings settings(QStringLiteral("HKEY_CURRENT_USER\\") + path, QSettings::NativeFormat);
    RemoveValues(settings);
    return settings.status() == QSettings::NoError;
#else
    return false;
#endif
}
