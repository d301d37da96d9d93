#include "pages/CPageGetFile.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLineEdit>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "compress/CompressRules.h"
#include "log/Log.h"
#include "util/FileDialog.h"
#include "util/Paths.h"
#include "util/Prompter.h"

CPageGetFile::CPageGetFile() : CSysColorPropertyPage(kPageGetFile) {
    AddPrompt(QStringLiteral("Choose the compressed database file to load into the VQ."));
    m_combo = MakeCombo(this, 1046, true);
    Body()->addWidget(MakeLabel(this, QStringLiteral("&Compressed Database File:"), m_combo));
    auto* row = new QHBoxLayout;
    row->addWidget(m_combo, 1);
    m_btnBrowse = MakeButton(this, 1032, QStringLiteral("B&rowse..."));
    row->addWidget(m_btnBrowse);
    Body()->addLayout(row);
    Body()->addStretch(1);
    m_history.m_strSection = kCompressHistorySection;
    connect(m_btnBrowse, &QPushButton::clicked, this, &CPageGetFile::OnBrowse);
}

QString CPageGetFile::RelativeDefaultDir() {
    return CompressedDbRelativeDir();
}

bool CPageGetFile::OnSetActive() {
    // Read afresh each time: the compression page may have added to it.
    m_history.LoadFromRegistry(kCompressHistorySection);
    QStringList items;
    m_history.FillCombo(items);
    m_combo->clear();
    m_combo->addItems(items);
    if (!items.isEmpty()) m_combo->setCurrentIndex(0);
    return CSysColorPropertyPage::OnSetActive();
}

void CPageGetFile::OnBrowse() {
    QString initialDir;
    PrefixInstallDir(initialDir, RelativeDefaultDir());
    const auto chosen =
        BrowseForFile(kFileDlgHideReadOnly | kFileDlgOverwritePrompt,
                      QStringLiteral("Compressed Database File"), kCompressedDbExt, initialDir, initialDir);
    if (!chosen) return;
    m_strComboText = *chosen;
    m_combo->setEditText(m_strComboText);
}

int CPageGetFile::OnWizardNext() {
    m_strComboText = m_combo->currentText();
    QString path = m_strComboText;
    if (path.isEmpty()) {
        ErrorBox(QStringLiteral("You must enter the compressed database file name."));
        m_combo->setFocus();
        return -1;
    }
    QString dir = RelativeDefaultDir();
    // A name that would not fit the platform's limit is no file at all.
    const bool resolved = ResolveFileName(path, dir, kCompressedDbExt, true);
    if (!resolved || !FileExists(path)) {
        ErrorBox(QStringLiteral("The file: ") + path + QStringLiteral(" does not exist"));
        m_combo->setFocus();
        return -1;
    }
    m_strPath = path;
    Choices().compressedFile = path;
    m_history.Add(m_strComboText);
    m_history.SaveToRegistry(kCompressHistorySection);
    LogWrite(QStringLiteral("The database file %1 is entered for loading.").arg(m_strComboText));
    LogWrite(QString());
    if (Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}
