// The major and minor version numbers written into the compressed file.
#pragma once

#include "app/SysColorDialog.h"

class QLineEdit;

// Profile section and values of the version numbers.
inline const char* const kCompressOptionsSection = "CompressOptions";

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

    // The numbers in force (profile, defaults 1 and 0).
    static unsigned ReadMajor();
    static unsigned ReadMinor();

    unsigned m_nMajor = 0;
    unsigned m_nMinor = 0;
    QLineEdit* m_editMajor;  // 1020
    QLineEdit* m_editMinor;  // 1021
};
