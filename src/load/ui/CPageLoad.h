// Page 8: the load run and its progress.
#pragma once

#include <QVector>
#include <cstdint>

#include "app/SysColorDialog.h"

class QPlainTextEdit;
class QPushButton;

class CPageLoad : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageLoad();

    QVector<std::int32_t> m_outcomes;  // per VQ of the last run: 1 ok, 0 failed
    QPlainTextEdit* m_progress;        // 1043
    QPushButton* m_btnWinkFailed;      // 1011
    QPushButton* m_btnLoadMore;        // 1015
    QPushButton* m_btnReload;          // 1016
};
