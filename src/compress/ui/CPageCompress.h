// Page 3: the target file and the compression run.
#pragma once

#include "app/SysColorDialog.h"
#include "compress/CompressRun.h"
#include "compress/ui/CCompressOptionsDlg.h"
#include "util/HistoryList.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

class CPageCompress : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageCompress();

    bool OnSetActive() override;
    int OnWizardNext() override;
    void OnOptions();
    void OnBrowse();
    // Runs the compression with what the page shows; only Succeeded moves on.
    CompressOutcome Compress();

    // The folder of compressed files under the install directory, with a
    // trailing separator.
    static QString DefaultDir();

    bool m_bCompressed = false;
    QString m_strCompressedFile;
    CCompressOptionsDlg m_optionsDlg;
    CHistoryList m_history;
    QString m_strFullPath;
    QComboBox* m_combo;  // 1046
    QString m_strEnteredName;
    QPushButton* m_btnBrowse;    // 1032
    QPushButton* m_btnOptions;   // 1030
    QPlainTextEdit* m_progress;  // 1043
};
