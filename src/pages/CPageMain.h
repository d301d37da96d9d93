// Page 0: what the wizard is to do; the choice selects the page flow.
#pragma once

#include "app/SysColorDialog.h"

class QButtonGroup;
class QPushButton;
class QRadioButton;

class CPageMain : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageMain();
    void OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    // Maintenance buttons (shown with "-d").
    void OnDeleteTemporaryDb();
    void OnDeleteLogFiles();

    // The option's name in the log; empty outside 0 to 2.
    static QString OptionLogName(int option);

    int m_nOption = 0;  // radio group 1000..1002
    QButtonGroup* m_group;
    QPushButton* m_btnDeleteTempDb;    // 1018
    QPushButton* m_btnDeleteLogFiles;  // 1019
};
