#include "compress/ui/CPageCompress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>

#include "app/CancelDlg.h"
#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "app/QtServices.h"
#include "compress/CompressRules.h"
#include "compress/CompressRun.h"
#include "context/SetupContext.h"
#include "log/Log.h"
#include "util/FileDialog.h"
#include "util/Paths.h"
#include "util/Prompter.h"
#include "util/WaitCursor.h"

CPageCompress::CPageCompress() : CSysColorPropertyPage(kPageCompress), m_optionsDlg(this) {
    AddPrompt(
        QStringLiteral("Enter a name to save the compressed database to, then press the Next button to start "
                       "compressing the database."));
    m_combo = MakeCombo(this, 1046, true);
    Body()->addWidget(MakeLabel(this, QStringLiteral("&Save To File:"), m_combo));
    auto* row = new QHBoxLayout;
    row->addWidget(m_combo, 1);
    m_btnBrowse = MakeButton(this, 1032, QStringLiteral("B&rowse..."));
    row->addWidget(m_btnBrowse);
    Body()->addLayout(row);
    Body()->addSpacing(6);
    m_progress = MakeProgressBox(this, 1043);
    Body()->addWidget(MakeLabel(this, QStringLiteral("&Progress:"), m_progress));
    Body()->addWidget(m_progress, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    m_btnOptions = MakeButton(this, 1030, QStringLiteral("&Options..."));
    bottom->addWidget(m_btnOptions);
    Body()->addLayout(bottom);

    m_history.m_strSection = kCompressHistorySection;
    m_history.m_nMaxSize = kCompressHistorySize;
    connect(m_btnOptions, &QPushButton::clicked, this, &CPageCompress::OnOptions);
    connect(m_btnBrowse, &QPushButton::clicked, this, &CPageCompress::OnBrowse);
}

QString CPageCompress::DefaultDir() {
    return CompressedDbDefaultDir();
}

bool CPageCompress::OnSetActive() {
    const QString dbName = Choices().database;
    {
        CWaitCursor wait;
        m_bCompressed = false;
        m_btnOptions->setEnabled(true);
        if (Context()) Context()->ReopenUserDatabase(dbName);
    }
    m_history.LoadFromRegistry(kCompressHistorySection);
    QStringList items;
    m_history.FillCombo(items);
    m_combo->clear();
    m_combo->addItems(items);
    m_combo->setEditText(QString());
    if (IsLogFileOpen()) {
        QString logName = QFileInfo(GetLogFileName()).fileName();
        if (logName.endsWith(QStringLiteral(".vqlog"), Qt::CaseInsensitive)) logName.chop(6);
        m_combo->setEditText(dbName + QLatin1Char('_') + logName);
    }
    CEditLogView view(m_progress);
    CLog(&view).Clear();
    return CSysColorPropertyPage::OnSetActive();
}

int CPageCompress::OnWizardNext() {
    if (!m_bCompressed && Compress() != CompressOutcome::Succeeded) return -1;
    if (Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}

void CPageCompress::OnOptions() {
    m_optionsDlg.exec();
}

void CPageCompress::OnBrowse() {
    const auto chosen = BrowseForFile(kFileDlgHideReadOnly | kFileDlgOverwritePrompt,
                                      QStringLiteral("Compressed Database File"), kCompressedDbExt,
                                      DefaultDir(), CompressedDbRelativeDir());
    if (!chosen) return;
    m_combo->setEditText(*chosen);
}

CompressOutcome CPageCompress::Compress() {
    CEditLogView view(m_progress);
    CLog log(&view);
    m_strEnteredName = m_combo->currentText();
    log.Clear();

    CompressRequest request;
    request.enteredName = m_strEnteredName;
    request.subsystems = Choices().subsystems;
    request.version = ReadCompressOptions();

    CompressRunHooks hooks;
    hooks.focusName = [this] { m_combo->setFocus(); };
    hooks.walkStarting = [this] {
        CCancelDlg* cancel = Sheet() ? Sheet()->m_pCancelDlg.get() : nullptr;
        if (!cancel) return;
        cancel->ShowModeless();
        // Straight into the dialog, not through the status line: that one lets
        // events through, and a Cancel taken before the run has begun would be
        // lost when the run clears its flag on starting.
        cancel->SetStatusText(QStringLiteral("Beginning Compression..."));
    };
    hooks.walkEnded = [this] {
        if (Sheet()) Sheet()->DestroyCancelWindow();
    };

    CompressResult result;
    if (Context()) {
        result = CompressRun(Context()->m_walk, Context()->m_compressSystem, request, log, hooks);
    } else {
        // Outside a wizard there is no database to compress.
        result.outcome = CompressOutcome::Failed;
    }
    m_strFullPath = result.fullPath;

    if (result.outcome == CompressOutcome::Succeeded || result.outcome == CompressOutcome::StayOnPage) {
        if (result.outcome == CompressOutcome::StayOnPage) m_btnOptions->setEnabled(false);
        m_bCompressed = true;
        m_strCompressedFile = m_strFullPath;
        Choices().compressedFile = m_strFullPath;
        m_history.Add(m_strEnteredName);
        m_history.SaveToRegistry(kCompressHistorySection);
        QStringList items;
        m_history.FillCombo(items);
        const QString shown = m_combo->currentText();
        m_combo->clear();
        m_combo->addItems(items);
        m_combo->setEditText(shown);
    }
    return result.outcome;
}
