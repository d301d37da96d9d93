// Page 5: network interface, external interface file and event list.
#pragma once

#include "app/SysColorDialog.h"

class QComboBox;
class QPushButton;

class CPageLoadOption : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageLoadOption();
    void OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    void OnBrowseXif();
    void OnBrowseEventList();
    void OnEdit();

    // The completed event list accepted by the last successful Next.
    QString m_eventListPath;
    QComboBox* m_comboNi;         // 1018, drop-down list
    QComboBox* m_comboXif;        // 1047, editable
    QComboBox* m_comboEventList;  // 1048, editable
    QString m_strXif;
    QString m_strNi;
    QString m_strEventList;
    QPushButton* m_btnBrowseXif;  // 1032
    QPushButton* m_btnBrowseEtl;  // 1033
    QPushButton* m_btnEdit;       // 1030

private:
    void ReadControls();
};
