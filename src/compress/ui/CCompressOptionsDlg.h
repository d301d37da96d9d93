// The major and minor version numbers written into the compressed file.
#pragma once

#include "app/SysColorDialog.h"

class QLineEdit;

class CCompressOptionsDlg : public CSysColorDialog {
    Q_OBJECT
public:
    explicit CCompressOptionsDlg(QWidget* parent = nullptr);

    // Reads the profile into the fields.
    void OnInitDialog();
    // Writes both numbers and closes when both are unsigned integers;
    // otherwise one message and the dialog stays open.
    void OnOK();
    int exec() override;

    unsigned m_nMajor = 0;
    unsigned m_nMinor = 0;
    QLineEdit* m_editMajor;  // 1020
    QLineEdit* m_editMinor;  // 1021
};
