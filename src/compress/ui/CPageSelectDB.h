// Page 1: the network database to compress.
#pragma once

#include "app/SysColorDialog.h"

class QComboBox;

class CPageSelectDB : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageSelectDB();

    void OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    QComboBox* m_combo;  // 1027, editable, sorted
    QString m_strDbName;
};
