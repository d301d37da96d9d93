#include "compress/ui/CPageCompress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>

#include "app/CancelDlg.h"
#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "app/QtServices.h"
#include "app/context/SetupContext.h"
#include "compress/ui/CPageSelectDB.h"
#include "compress/ui/CPageSelectSubsys.h"
#include "log/Log.h"
#include "util/FileDialog.h"
#include "util/Paths.h"
#include "util/Prompter.h"
#include "util/WaitCursor.h"

namespace {
const QString kHistorySection = QStringLiteral("CompressHist");
const QString kDefaultExt = QStringLiteral(".q70");
const QString kDetailedLogName = QStringLiteral("Detailed compression log.log");
constexpr std::uint32_t kCompressRunFlags = 0x101;
constexpr int kStayOnPage = 12345;

QString RelativeDefaultDir() {
    return QDir::toNativeSeparators(QStringLiteral("/Vq/CompressedDB/"));
}

// Files one side file of the run into the log between its section titles,
// then removes it.
void FileSideFile(const QString& path, const QString& what) {
    if (!FileExists(path)) return;
    LogSection(QStringLiteral("Begin Compression %1 File").arg(what));
    AppendFileToLog(path, nullptr, true);
    LogSection(QStringLiteral("End Compression %1 File").arg(what));
    QFile::remove(path);
}
}  // namespace

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

    m_history.m_strSection = kHistorySection;
    m_history.m_nMaxSize = 8;
    connect(m_btnOptions, &QPushButton::clicked, this, &CPageCompress::OnOptions);
    connect(m_btnBrowse, &QPushButton::clicked, this, &CPageCompress::OnBrowse);
}

QString CPageCompress::DefaultDir() {
    QString dir;
    if (!PrefixInstallDir(dir, RelativeDefaultDir())) return QString();
    SetTrailingBackslash(dir, true);
    return dir;
}

bool CPageCompress::OnSetActive() {
    QString dbName;
    if (Sheet() && Sheet()->m_pageSelectDB) dbName = Sheet()->m_pageSelectDB->m_strDbName;
    {
        CWaitCursor wait;
        m_bCompressed = false;
        m_btnOptions->setEnabled(true);
        if (g_pContext) g_pContext->ReopenUserDatabase(dbName);
    }
    m_history.LoadFromRegistry(kHistorySection);
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
    if (!m_bCompressed && Compress() != 0) return -1;
    if (Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}

void CPageCompress::OnOptions() {
    m_optionsDlg.exec();
}

void CPageCompress::OnBrowse() {
    FileDialogRequest req;
    req.open = true;
    req.flags = kFileDlgHideReadOnly | kFileDlgOverwritePrompt;
    req.initialDir = DefaultDir();
    req.filter = QStringLiteral("Compressed Database File (*.q70);;All files (*.*)");
    req.defaultExt = QStringLiteral("q70");
    const auto chosen = FileDialog().Run(req);
    if (!chosen) return;
    QString name = QDir::toNativeSeparators(*chosen);
    QString dir = RelativeDefaultDir();
    ResolveFileName(name, dir, kDefaultExt, false);
    m_combo->setEditText(name);
}

int CPageCompress::Compress() {
    CEditLogView view(m_progress);
    CLog log(&view);
    m_strEnteredName = m_combo->currentText();
    log.Clear();

    LogSection(QStringLiteral("Begin Compression..."));
    LogWrite(QStringLiteral("Save compressed database into file: %1").arg(m_strEnteredName));

    if (m_strEnteredName.isEmpty()) {
        ErrorBox(QStringLiteral("You must enter a file name to save the compressed file to."));
        return 1;
    }

    QString fullPath = m_strEnteredName;
    QString defaultDir = RelativeDefaultDir();
    ResolveFileName(fullPath, defaultDir, kDefaultExt, true);
    m_strFullPath = fullPath;

    QString dir;
    if (GetDirectoryPart(m_strFullPath, dir) && !dir.isEmpty() && !DirectoryExists(dir)) {
        const MsgResult answer = MessageBox(
            QStringLiteral("The directory you specified does not exist. Would you like to create it?"),
            QString::fromLatin1(kWizardCaption), MsgIcon::Question, MsgButtons::YesNo);
        LogWrite(QStringLiteral("The directory %1 does not exist.").arg(dir));
        if (answer != MsgResult::Yes) {
            m_combo->setFocus();
            return 1;
        }
        LogWrite(QStringLiteral("Creating directory %1.").arg(dir));
        if (!CreateDirectoryPath(dir)) {
            ErrorBox(QStringLiteral("Failed to create the directory."));
            LogWrite(QStringLiteral("Failed to create the directory."));
            return 1;
        }
    }

    if (FileExists(m_strFullPath)) {
        const MsgResult answer =
            MessageBox(QStringLiteral("The file you entered already exists. Would you like to overwrite it?"),
                       QString::fromLatin1(kWizardCaption), MsgIcon::Question, MsgButtons::YesNo);
        if (answer != MsgResult::Yes) {
            LogWrite(QStringLiteral("The file specified already exists. It is not replaced."));
            LogWrite(QStringLiteral("Compression Aborted"));
            LogSection(QStringLiteral("End Compression"));
            m_combo->setFocus();
            return 1;
        }
        LogWrite(QStringLiteral("The file specified already exists. It is being replaced."));
    }

    CCancelDlg* cancel = Sheet() ? Sheet()->m_pCancelDlg.get() : nullptr;
    if (cancel) {
        cancel->ShowModeless();
        // Straight into the dialog, not through the status line: that one lets
        // events through, and a Cancel taken before the run has begun would be
        // lost when the run clears its flag on starting.
        cancel->SetStatusText(QStringLiteral("Beginning Compression..."));
    }

    const int major = static_cast<int>(CCompressOptionsDlg::ReadMajor());
    const int minor = static_cast<int>(CCompressOptionsDlg::ReadMinor());
    const QStringList paths = Sheet() && Sheet()->m_pageSelectSubsys
                                  ? Sheet()->m_pageSelectSubsys->m_subsystemPaths
                                  : QStringList();
    int result = kCompressFailed;
    {
        CWaitCursor wait;
        if (g_pContext)
            result =
                g_pContext->CompressDatabase(m_strFullPath, paths, kCompressRunFlags, &log, major, minor);
    }
    if (Sheet()) Sheet()->DestroyCancelWindow();

    if (result == 0) {
        const MsgResult answer = MessageBox(
            QStringLiteral(
                "Compression was SUCCESSFUL.\nWould you like to go back to the page to view the log?"),
            QString::fromLatin1(kWizardCaption), MsgIcon::Question, MsgButtons::YesNo, true);
        if (answer == MsgResult::Yes) {
            result = kStayOnPage;
            m_btnOptions->setEnabled(false);
        }
        m_bCompressed = true;
        m_strCompressedFile = m_strFullPath;
        m_history.Add(m_strEnteredName);
        m_history.SaveToRegistry(kHistorySection);
        QStringList items;
        m_history.FillCombo(items);
        const QString shown = m_combo->currentText();
        m_combo->clear();
        m_combo->addItems(items);
        m_combo->setEditText(shown);
    } else if (result != kStayOnPage) {
        MessageBox(QStringLiteral(
                       "Compression FAILED. Please view the Progress window for the detailed error message."),
                   QString::fromLatin1(kWizardCaption), MsgIcon::Stop);
    }
    LogSection(QStringLiteral("End Compression"));

    FileSideFile(m_strFullPath + QStringLiteral(".err"), QStringLiteral("Error"));
    FileSideFile(m_strFullPath + QStringLiteral(".lst"), QStringLiteral("List"));
    const QString detailed = m_strFullPath + QStringLiteral(".log");
    if (FileExists(detailed)) {
        const QString copy = DefaultDir() + kDetailedLogName;
        if (!DefaultDir().isEmpty()) {
            QDir().mkpath(DefaultDir());
            QFile::remove(copy);
            // Keep the run's own file when it could not be copied.
            if (QFile::copy(detailed, copy)) QFile::remove(detailed);
        }
    }
    return result;
}
