// Walks a wizard sheet through its flows on the demo site. The demo site is
// imported with ovxctl into a test's data folder; before each Next the page
// on show is filled in as a user would, so that the real pages let the walk
// go on: the plant's three hierarchies on the subsystem page (what the page
// pre-fills), a file name on the compression page (and "No" to viewing the
// log after success), an existing compressed file on the get-file page, the
// demo's interface, external interface file and event list on the load
// options page, a valid application image (the box ticked where it is a
// choice), and a VQ on the batch page when discovery found none.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/MainWizard.h"
#include "compress/ui/CPageCompress.h"
#include "compress/ui/CPageSelectSubsys.h"
#include "load/ui/CPageAppImage.h"
#include "load/ui/CPageBatch.h"
#include "load/ui/CPageLoadOption.h"
#include "pages/CPageGetFile.h"
#include "pages/CPageMain.h"
#include "util/InstallDir.h"
#include "util/Prompter.h"
#include "vqfield/apb.h"

namespace wizard_driver {

inline QString ToolPath(const QString& tool) {
    return QString::fromLocal8Bit(qgetenv("VQ_TEST_BIN_DIR")) + QLatin1Char('/') + tool;
}

// Runs one of the project's tools with OVX_HOME set; returns its error text,
// empty on success.
inline QString RunTool(const QString& tool, const QStringList& args, const QString& dataFolder) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OVX_HOME"), dataFolder);
    p.setProcessEnvironment(env);
    p.start(ToolPath(tool), args);
    if (!p.waitForFinished(120000)) return tool + QStringLiteral(" did not finish");
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return tool + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAllStandardError());
    return {};
}

// The children of the demo site's first top-level subsystem, "Plant": one VQ
// each, in site order, so also what the subsystem page pre-fills.
inline const QStringList& GoodHierarchies() {
    static const QStringList paths{QStringLiteral("Plant.Boiler House"),
                                   QStringLiteral("Plant.Chiller Plant"),
                                   QStringLiteral("Plant.Packing Line")};
    return paths;
}

// The "Subsystem" column of the subsystem page's list, top to bottom.
inline QStringList ListedSubsystems(const CPageSelectSubsys& page) {
    QStringList rows;
    for (int r = 0; r < page.m_list->rowCount(); ++r) rows << page.m_list->item(r, 1)->text();
    return rows;
}

inline QString DemoPath(const QString& relative) {
    return QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) + QStringLiteral("/demo/") + relative;
}

// Copies a demo folder's files into the same place under target, keeping
// files that are there already.
inline void CopyDemoFolder(const QString& relative, const QString& target) {
    const QString from = DemoPath(relative);
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString to = target + QLatin1Char('/') + relative + file.mid(from.size());
        QDir().mkpath(QFileInfo(to).path());
        QFile::copy(file, to);
    }
}

// Imports the demo site into dataFolder, with the demo's network interfaces
// (VQNET1 reaches a field of unconfigured VQs); returns the error text,
// empty on success.
inline QString ImportDemoSite(const QString& dataFolder) {
    QDir().mkpath(dataFolder);
    QFile::copy(DemoPath(QStringLiteral("interfaces.json")), dataFolder + QStringLiteral("/interfaces.json"));
    return RunTool(QStringLiteral("ovxctl"),
                   {QStringLiteral("import"), QString::fromLocal8Bit(qgetenv("VQ_SOURCE_DIR")) +
                                                  QStringLiteral("/demo/sites/demo-plant.json")},
                   dataFolder);
}

// Writes a compressed file of the demo site's good hierarchies with vqtool.
inline QString CompressDemoSite(const QString& dataFolder, const QString& output) {
    QStringList args{QStringLiteral("compress"), QStringLiteral("--network"), QStringLiteral("Demo Plant")};
    for (const QString& p : GoodHierarchies()) args << QStringLiteral("--subsystem") << p;
    args << QStringLiteral("--output") << output;
    return RunTool(QStringLiteral("vqtool"), args, dataFolder);
}

// Fills in the page on show so that its Next goes on.
inline void FillPageForNext(CMainWizard& w, ScriptedPrompter& prompter, const QString& compressedFile) {
    switch (w.CurrentPageId()) {
        case kPageSelectSubsys: {
            CPageSelectSubsys& page = *w.m_pageSelectSubsys;
            page.m_list->selectAll();
            page.m_btnRemove->click();
            for (const QString& path : GoodHierarchies()) {
                page.m_tree->setCurrentItem(page.FindTreeItem(path));
                page.m_btnAdd->click();
            }
            break;
        }
        case kPageCompress:
            w.m_pageCompress->m_combo->setEditText(QStringLiteral("walk"));
            prompter.Answer(MsgResult::No);  // do not stay to view the log
            break;
        case kPageGetFile:
            w.m_pageGetFile->m_combo->setEditText(compressedFile);
            break;
        case kPageLoadOption: {
            // The demo install's import folder and event list, as scripts/demo.sh lays them out.
            CPageLoadOption& page = *w.m_pageLoadOption;
            QString dir;
            if (!GetInstallDir(dir)) break;
            CopyDemoFolder(QStringLiteral("Import"), dir);
            CopyDemoFolder(QStringLiteral("Vq/EventList"), dir);
            page.m_comboNi->setCurrentText(QStringLiteral("VQNET1"));
            if (page.m_comboXif->currentText().isEmpty())
                page.m_comboXif->setEditText(QDir::toNativeSeparators(
                    dir + QStringLiteral("/Import/Quillane/vq/Version 1.1/vq70.xif")));
            page.m_comboEventList->setEditText(QStringLiteral("Default"));
            break;
        }
        case kPageBatch: {
            CPageBatch& page = *w.m_pageBatch;
            if (page.m_list->count() > 0) break;
            page.m_editSarvikId->setText(QStringLiteral("04A1B2C3D401"));
            page.m_btnAdd->click();
            break;
        }
        case kPageAppImage: {
            // A VQ takes its database only once it has an application image,
            // so the walk always loads one.
            CPageAppImage& page = *w.m_pageAppImage;
            if (!page.m_checkLoad->isHidden() && !page.m_checkLoad->isChecked()) page.m_checkLoad->click();
            QString dir;
            if (!GetInstallDir(dir)) break;
            const QString image = dir + QStringLiteral("/Vq/walk.apb");
            QFile f(image);
            if (f.open(QIODevice::WriteOnly)) {
                const auto bytes = vqfield::MakeApb("900001013C8A0400", vqfield::PatternBody(2048, 7));
                f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
            }
            page.m_comboImage->setEditText(QDir::toNativeSeparators(image));
            break;
        }
        default:
            break;
    }
}

}  // namespace wizard_driver
