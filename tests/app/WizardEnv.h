// A QApplication, an install directory with a Vq folder and a scripted
// prompter for widget tests.
#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "log/Log.h"
#include "util/Prompter.h"

class WizardEnv {
public:
    WizardEnv() {
        static int argc = 1;
        static char name[] = "tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) m_app = std::make_unique<QApplication>(argc, argv);
        QDir(dir.path()).mkdir(QStringLiteral("Vq"));
        qputenv("TESSARIN_PATH", dir.path().toLocal8Bit());
        qputenv("OVX_HOME", (dir.path() + QStringLiteral("/ovx")).toLocal8Bit());
        SetPrompter(&prompter);
    }
    ~WizardEnv() {
        CloseLogFile();
        SetPrompter(nullptr);
        qunsetenv("TESSARIN_PATH");
    }
    QTemporaryDir dir;
    ScriptedPrompter prompter;

private:
    std::unique_ptr<QApplication> m_app;
};
