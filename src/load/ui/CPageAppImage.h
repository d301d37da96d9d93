// Page 7: the application image and, with "-i", the interpreted program.
#pragma once

#include "app/SysColorDialog.h"
#include "load/CompileProgram.h"

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
    bool OnSetActive() override;
    int OnWizardNext() override;

    void OnCheckLoad();
    void OnBrowseImage();
    void OnBrowseProgram();

    QComboBox* m_comboImage;    // 1008
    QComboBox* m_comboProgram;  // 1033
    QString m_strImage;
    bool m_bLoadImage = false;  // 1004
    QString m_strProgram;
    // The files of the program compiled by the last Next.
    ProgramFiles m_program;
    QLabel* m_prompt;
    QCheckBox* m_checkLoad;           // 1004
    QPushButton* m_btnBrowseImage;    // 1031
    QGroupBox* m_groupProgram;        // 1017
    QPushButton* m_btnBrowseProgram;  // 1034

private:
    // Enables the image controls exactly when the check box is set.
    void ApplyCheckRule();
    void ShowProgramGroup(bool shown);
};
