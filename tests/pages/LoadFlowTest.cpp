// Every main option from the first page to the load page on the demo site,
// through the wizard as the program starts it, with the demo's field of
// simulated VQs in process: the run ends with the success summary and every
// unit then holds what was chosen. A batch of three whose second unit refuses
// to be commissioned names VQ #2, and Wink Failed winks that unit only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "../common/WizardDriver.h"
#include "app/SetupDlg.h"
#include "load/ui/CPageAppImage.h"
#include "load/ui/CPageLoad.h"
#include "log/Log.h"
#include "util/Prompter.h"
#include "util/Wait.h"
#include "vqfield/client.h"
#include "vqfield/field.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = f.readAll();
    return Bytes(data.begin(), data.end());
}

class LoadFlow : public ::testing::Test {
protected:
    void SetUp() override {
        int argc = 1;
        static char name[] = "vqwizard";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        QDir(dir.path()).mkpath(QStringLiteral("Vq/CompressedDB"));
        QDir(dir.path()).mkpath(QStringLiteral("tmp"));
        data = dir.path() + QStringLiteral("/ovx");
        ASSERT_EQ(wizard_driver::ImportDemoSite(data), QString());
        q70 = dir.path() + QStringLiteral("/Vq/CompressedDB/site.q70");
        ASSERT_EQ(wizard_driver::CompressDemoSite(data, q70), QString());
        qputenv("TESSARIN_PATH", dir.path().toLocal8Bit());
        qputenv("OVX_HOME", data.toLocal8Bit());
        qputenv("TMPDIR", (dir.path() + QStringLiteral("/tmp")).toLocal8Bit());
        SetPrompter(&prompter);
        SetWaiter(&waiter);
        OpenLogFile();
    }
    void TearDown() override {
        CloseLogFile();
        SetWaiter(nullptr);
        SetPrompter(nullptr);
    }

    // Walks the flow of the option to the load page, lets its run end, then
    // runs atLoadPage on the sheet and leaves by Finish. beforeNext runs
    // just before each Next, after the driver has filled the page in.
    void Walk(int option, const std::function<void(CMainWizard&)>& beforeNext,
              const std::function<void(CMainWizard&)>& atLoadPage) {
        CSetupDlg dlg;
        dlg.onWizardShown = [&](CMainWizard& w) {
            QTimer::singleShot(120000, &w, [&w] {
                ADD_FAILURE() << "the walk did not end";
                w.done(QDialog::Rejected);
            });
            w.m_pageMain->findChild<QRadioButton*>(QStringLiteral("radio%1").arg(1000 + option))->click();
            const std::size_t pages = CMainWizard::Flow(option).size();
            for (std::size_t i = 1; i < pages; ++i) {
                wizard_driver::FillPageForNext(w, prompter, q70);
                if (beforeNext) beforeNext(w);
                QTest::mouseClick(w.NextButton(), Qt::LeftButton);
                QCoreApplication::processEvents();
            }
            if (w.CurrentPageId() == kPageLoad) {
                field = vqfield::FindField("demo");
                choices = w.m_choices;
                shown = w.m_pageLoad->m_progress->toPlainText().split(QLatin1Char('\n'));
                if (atLoadPage) atLoadPage(w);
            } else {
                ADD_FAILURE() << "the walk stopped on page " << w.CurrentPageId();
            }
            QTest::mouseClick(w.FinishButton(), Qt::LeftButton);
        };
        dlg.Run();
    }

    vqfield::UnitMemory Memory(const QString& sarvikId) {
        vqfield::Client client(vqfield::ConnectInProcess(field));
        return client.Inspect(sarvikId.toStdString());
    }
    // The run's last lines before its closing empty line.
    QStringList Summary(int count) const { return shown.mid(shown.size() - 2 - count, count); }

    std::unique_ptr<QApplication> app;
    QTemporaryDir dir;
    QString data, q70;
    ScriptedPrompter prompter;
    RecordingWaiter waiter;
    std::shared_ptr<vqfield::Field> field;
    CWizardChoices choices;
    QStringList shown;
};

struct FlowCase {
    const char* name;
    int option;
};

class LoadFlowOption : public LoadFlow, public ::testing::WithParamInterface<FlowCase> {};

TEST_P(LoadFlowOption, EveryUnitHoldsWhatWasChosen) {
    const bool appOnly = GetParam().option == kOptionLoadApplicationOnly;
    bool checkBoxHidden = false;
    Walk(GetParam().option,
         [&](CMainWizard& w) {
             if (w.CurrentPageId() == kPageAppImage)
                 checkBoxHidden = w.m_pageAppImage->m_checkLoad->isHidden();
         },
         {});
    ASSERT_TRUE(field);
    EXPECT_EQ(Summary(1), QStringList{QStringLiteral("All VQs are loaded SUCCESSFULLY.")})
        << shown.join(QLatin1Char('\n')).toStdString();
    const QString mode = appOnly ? QStringLiteral("Load application image only...")
                                 : QStringLiteral("Load both application image and compressed database...");
    EXPECT_EQ(shown.value(0), mode);
    // With the application image only, loading it is no choice.
    EXPECT_EQ(checkBoxHidden, appOnly);
    // Discovery listed every unit of the demo field.
    ASSERT_EQ(choices.sarvikIds.size(), 4);
    ASSERT_EQ(choices.vqCount, 4);
    EXPECT_TRUE(choices.loadImage);
    if (GetParam().option == kOptionLoadDatabase) {
        EXPECT_EQ(QFileInfo(choices.compressedFile), QFileInfo(q70));
    }
    const Bytes database = ReadAll(choices.compressedFile);
    const Bytes eventList = ReadAll(choices.eventListPath);
    const Bytes image = ReadAll(choices.imagePath);
    ASSERT_FALSE(image.empty());
    if (!appOnly) {
        ASSERT_FALSE(database.empty());
        ASSERT_FALSE(eventList.empty());
    }
    for (const QString& id : choices.sarvikIds) {
        SCOPED_TRACE(id.toStdString());
        const vqfield::UnitMemory m = Memory(id);
        EXPECT_EQ(m.image, image);
        if (appOnly) {
            EXPECT_TRUE(m.database.empty());
            EXPECT_TRUE(m.eventList.empty());
            EXPECT_TRUE(m.program.empty());
        } else {
            EXPECT_EQ(m.database, database);
            EXPECT_EQ(m.eventList, eventList);
            EXPECT_FALSE(m.program.empty());  // the default program
            EXPECT_TRUE(m.unit.commissioned);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllOptions, LoadFlowOption,
                         ::testing::Values(FlowCase{"compressAndLoad", kOptionCompressAndLoad},
                                           FlowCase{"loadDatabase", kOptionLoadDatabase},
                                           FlowCase{"loadApplicationOnly", kOptionLoadApplicationOnly}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoadFlow, SecondOfThreeFailingIsNamedAndWinkFailedWinksItOnly) {
    std::map<std::string, int> winks;
    QStringList shownForFirst;
    Walk(
        kOptionLoadDatabase,
        [&](CMainWizard& w) {
            if (w.CurrentPageId() != kPageBatch) return;
            // Three units, the second of which refuses to be commissioned.
            QListWidget* list = w.m_pageBatch->m_list;
            while (list->count() > 3) delete list->takeItem(list->count() - 1);
            vqfield::Client admin(vqfield::ConnectInProcess(vqfield::FindField("demo")));
            admin.Break(list->item(1)->text().toStdString(), {{"refuseCommission", true}});
            // What the table shows for VQ #1 while the run goes.
            QObject::connect(w.m_pageLoad->m_table, &QTableWidget::itemChanged, w.m_pageLoad,
                             [&shownForFirst](QTableWidgetItem* item) {
                                 if (item->row() != 0 || item->column() < 2 || item->text().isEmpty()) return;
                                 if (shownForFirst.isEmpty() || shownForFirst.last() != item->text())
                                     shownForFirst << item->text();
                             });
        },
        [&](CMainWizard& w) {
            CPageLoad* page = w.m_pageLoad;
            EXPECT_EQ(page->m_outcomes, (QVector<std::int32_t>{1, 0, 1}));
            EXPECT_TRUE(
                page->m_table->item(1, 3)->text().startsWith(QStringLiteral("FAILED at commissioning")))
                << page->m_table->item(1, 3)->text().toStdString();
            EXPECT_EQ(page->m_table->item(0, 3)->text(), QStringLiteral("Loaded"));
            page->m_btnWinkFailed->click();
            vqfield::Client admin(vqfield::ConnectInProcess(vqfield::FindField("demo")));
            for (const auto& u : admin.Units()) winks[u.sarvikId] = u.raw.value("winks", 0);
        });
    ASSERT_EQ(choices.sarvikIds.size(), 3);
    // VQ #1 went through every step in turn and was loaded.
    const QStringList live{QStringLiteral("Waiting"),       QStringLiteral("Setting Sarvik ID"),
                           QStringLiteral("Running"),       QStringLiteral("Loading application image"),
                           QStringLiteral("Commissioning"), QStringLiteral("Loading contents"),
                           QStringLiteral("Loaded")};
    EXPECT_EQ(shownForFirst, live) << shownForFirst.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(Summary(2),
              (QStringList{QStringLiteral("The following VQs failed. Press Wink Failed to find out "
                                          "which ones failed."),
                           QStringLiteral("VQ #2")}))
        << shown.join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(winks[choices.sarvikIds[i].toStdString()], i == 1 ? 1 : 0) << i;
    EXPECT_EQ(std::count(waiter.waits.begin(), waiter.waits.end(), 1000) >= 1, true);
    // The good units hold the database; the failed one does not.
    const Bytes database = ReadAll(q70);
    EXPECT_EQ(Memory(choices.sarvikIds[0]).database, database);
    EXPECT_TRUE(Memory(choices.sarvikIds[1]).database.empty());
    EXPECT_EQ(Memory(choices.sarvikIds[2]).database, database);
}

}  // namespace
