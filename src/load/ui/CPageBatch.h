// Page 6: the Sarvik IDs of the VQs to load.
#pragma once

#include "app/SysColorDialog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CPageBatch : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageBatch();

    QPushButton* m_btnWink;    // 1011
    QPushButton* m_btnDelete;  // 1010
    QListWidget* m_list;       // 1009
    QString m_strSarvikId;     // text of 1017
    QLineEdit* m_editSarvikId; // 1017
    QPushButton* m_btnAdd;     // 1005
    QLabel* m_count;           // 1012
};
