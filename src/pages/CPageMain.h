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

    int m_nOption = 0;  // radio group 1000..1002
    QButtonGroup* m_group;
    QPushButton* m_btnDeleteTempDb;   // 1018, shown with "-d"
    QPushButton* m_btnDeleteLogFiles; // 1019, shown with "-d"
};
