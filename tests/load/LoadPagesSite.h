// A small site for the load options and batch pages: an install directory
// with the demo's version folders, an object server whose interface VQNET1
// reaches an in-process field of unconfigured VQ-70 units, and a wizard on
// the context.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <memory>

#include "WizardEnv.h"
#include "app/MainWizard.h"
#include "context/SetupContext.h"
#include "util/HistoryList.h"
#include "util/Registry.h"

inline const char* const kUnit1 = "04A1B2C3D401";
inline const char* const kUnit2 = "04A1B2C3D402";

class LoadPagesSite {
public:
    LoadPagesSite() {
        QDir root(env.dir.path());
        const QString demo = QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) + QStringLiteral("/demo/");
        for (const QString& version : {QStringLiteral("Version 1.0"), QStringLiteral("Version 1.1")}) {
            const QString rel = QStringLiteral("Import/Quillane/vq/") + version + QLatin1Char('/');
            root.mkpath(rel);
            QFile::copy(demo + rel + QStringLiteral("vq70.xif"), Path(rel + QStringLiteral("vq70.xif")));
            QFile::copy(demo + rel + QStringLiteral("vq70.xfb"), Path(rel + QStringLiteral("vq70.xfb")));
        }
        root.mkpath(QStringLiteral("ovx"));
        // A field of its own for every test (each runs in its own process).
        QFile interfaces(env.OvxHome() + QStringLiteral("/interfaces.json"));
        interfaces.open(QIODevice::WriteOnly);
        interfaces.write(QStringLiteral(
                             R"({"interfaces": [
  {"name": "SERIAL1", "nsi": false, "endpoint": "field:none"},
  {"name": "VQNET1", "nsi": true, "endpoint": "field:pages-%1",
   "field": {"units": [{"sarvikId": "%2"}, {"sarvikId": "%3"}]}}]})")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QLatin1String(kUnit1), QLatin1String(kUnit2))
                             .toUtf8());
        interfaces.close();
        OpenLogFile();
    }
    ~LoadPagesSite() { w.reset(); }

    // Opens the object server and shows the wizard on a page.
    void Start(int pageId, int mainOption = kOptionCompressAndLoad) {
        if (!serverOpen) context.OpenObjectServer(env.OvxHome().toStdString());
        serverOpen = true;
        w = std::make_unique<CMainWizard>(&context);
        w->m_choices.mainOption = mainOption;
        w->show();
        w->SetActivePage(pageId);
        QCoreApplication::processEvents();
    }
    // The load side opened as page 5's Next opens it.
    bool OpenLoadSide() {
        if (!serverOpen) context.OpenObjectServer(env.OvxHome().toStdString());
        serverOpen = true;
        return context.OpenNetworkDatabase(QString::fromLatin1(kTempDbName), 1) == kDbOk &&
               context.OpenSystem(QStringLiteral("VQNET1"), 1) == kDbOk;
    }

    QString Path(const QString& relative) const { return env.InstallPath(QLatin1Char('/') + relative); }
    QByteArray Log() const { return WizardEnv::LogFileBytes(); }
    QStringList Boxes() const { return env.BoxTexts(); }
    static QStringList History(const QString& section) { return WizardEnv::HistoryEntries(section); }

    WizardEnv env;
    CSetupContext context;
    std::unique_ptr<CMainWizard> w;
    bool serverOpen = false;
};
