// Page 8: the load run, its progress and a table of the VQs as they go.
#pragma once

#include <QVector>
#include <cstdint>
#include <memory>

#include "app/SysColorDialog.h"
#include "load/LoadProgress.h"
#include "load/LoadRun.h"

class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class CPageLoad : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageLoad();
    ~CPageLoad() override;

    bool OnSetActive() override;
    bool OnKillActive() override;

    // Loads every VQ of the batch list, one after the other.
    void RunLoad();
    void OnReload();
    void OnLoadMore();
    void OnWinkFailed();
    // Selects the log lines of the table's row (a VQ of the last run).
    void SelectVqLines(int row);

    // The request the page makes of the choices on the earlier pages.
    LoadRequest Request() const;

    // The posted start of a run (WM_USER+4).
    static constexpr int kStartLoadEvent = 1028;

    QVector<std::int32_t> m_outcomes;  // per VQ of the last run: 1 ok, 0 failed
    LoadRunResult m_lastRun;
    CLoadProgress m_progressRows;
    QPlainTextEdit* m_progress;    // 1043
    QTableWidget* m_table;         // one row per VQ
    QPushButton* m_btnWinkFailed;  // 1011
    QPushButton* m_btnLoadMore;    // 1015
    QPushButton* m_btnReload;      // 1016

protected:
    bool event(QEvent* e) override;

private:
    void ShowRow(int row);
    void ResetTable();
};
