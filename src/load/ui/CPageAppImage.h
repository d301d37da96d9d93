// Page 7: the application image and, with "-i", the interpreted program.
#pragma once

#include "app/SysColorDialog.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

class CPageAppImage : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageAppImage();
    void OnInitDialog() override;

    QComboBox* m_comboImage;     // 1008
    QComboBox* m_comboProgram;   // 1033
    QString m_strImage;
    bool m_bLoadImage = false;   // 1004
    QString m_strProgram;
    QLabel* m_prompt;
    QCheckBox* m_checkLoad;      // 1004
    QPushButton* m_btnBrowseImage;    // 1031
    QGroupBox* m_groupProgram;        // 1017
    QPushButton* m_btnBrowseProgram;  // 1034
};
