// Page 4: an existing compressed database file to load.
#pragma once

#include "app/SysColorDialog.h"

class QComboBox;
class QPushButton;

class CPageGetFile : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageGetFile();

    QString m_strPath;
    QComboBox* m_combo;  // 1046
    QString m_strComboText;
    QPushButton* m_btnBrowse;  // 1032
};
