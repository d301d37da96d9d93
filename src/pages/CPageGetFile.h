// Page 4: an existing compressed database file to load.
#pragma once

#include "app/SysColorDialog.h"
#include "util/HistoryList.h"

class QComboBox;
class QPushButton;

class CPageGetFile : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageGetFile();

    bool OnSetActive() override;
    int OnWizardNext() override;
    void OnBrowse();

    // The default folder of compressed files, relative to the install directory.
    static QString RelativeDefaultDir();

    QString m_strPath;   // full path of the chosen file, set by Next
    QComboBox* m_combo;  // 1046
    QString m_strComboText;
    QPushButton* m_btnBrowse;  // 1032
    // The same "CompressHist" list that the compression page offers.
    CHistoryList m_history;
};
