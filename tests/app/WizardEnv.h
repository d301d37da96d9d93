// A QApplication, an install directory with a Vq folder, a private profile
// and temporary folder, a scripted prompter and file dialog for widget tests.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "log/Log.h"
#include "util/FileDialog.h"
#include "util/HistoryList.h"
#include "util/Prompter.h"

class WizardEnv {
public:
    WizardEnv() {
        static int argc = 1;
        static char name[] = "tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) m_app = std::make_unique<QApplication>(argc, argv);
        QDir(dir.path()).mkpath(QStringLiteral("Vq"));
        QDir(dir.path()).mkpath(QStringLiteral("tmp"));
        qputenv("TESSARIN_PATH", dir.path().toLocal8Bit());
        qputenv("OVX_HOME", OvxHome().toLocal8Bit());
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", (dir.path() + QStringLiteral("/tmp")).toLocal8Bit());
        // Never the user's own profile.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.path() + QStringLiteral("/profile"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.path() + QStringLiteral("/profile"));
        SetPrompter(&prompter);
        SetFileDialog(&fileDialog);
    }
    ~WizardEnv() {
        CloseLogFile();
        SetPrompter(nullptr);
        SetFileDialog(nullptr);
        qunsetenv("TESSARIN_PATH");
        qputenv("TMPDIR", m_oldTmp);
    }

    QString OvxHome() const { return dir.path() + QStringLiteral("/ovx"); }
    QString InstallPath(const QString& relative) const { return dir.path() + relative; }

    // What a test reads back: the log file as written, the texts of the
    // message boxes shown so far, a history list as stored.
    static QByteArray LogFileBytes() {
        QFile f(GetLogFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList BoxTexts() const {
        QStringList texts;
        for (const MessageBoxRequest& b : prompter.boxes) texts << b.text;
        return texts;
    }
    static QStringList HistoryEntries(const QString& section) {
        CHistoryList h;
        h.LoadFromRegistry(section);
        return h.Entries();
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    ScriptedFileDialog fileDialog;

private:
    std::unique_ptr<QApplication> m_app;
    QByteArray m_oldTmp;
};
