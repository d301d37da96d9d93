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
    ~CPageBatch() override;
    void OnInitDialog() override;
    // Empties the list and fills it with the unconfigured units that discovery finds.
    void RebuildFromDiscovery();
    bool OnSetActive() override;
    bool OnKillActive() override;
    int OnWizardNext() override;

    void OnAdd();
    void OnDelete();
    void OnWink();
    void OnSelectionChanged();
    // The service pin of a unit, while the page is the active one.
    void OnServicePin(const QString& sarvikId, const QString& programId);

    // The batch page that receives service pins: the active one, or none.
    static CPageBatch* ActivePage() { return s_activePage; }
    // The list's entries, top to bottom.
    QStringList Entries() const;

    QPushButton* m_btnWink;     // 1011
    QPushButton* m_btnDelete;   // 1010
    QListWidget* m_list;        // 1009
    QString m_strSarvikId;      // text of 1017
    QLineEdit* m_editSarvikId;  // 1017
    QPushButton* m_btnAdd;      // 1005
    QLabel* m_count;            // 1012

protected:
    // The Delete key anywhere on the page deletes the selected entries.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Append(const QString& sarvikId);
    void UpdateCount();
    void EnableListButtons(bool on);

    // The batch page that receives service pins, while it is active.
    static CPageBatch* s_activePage;
};
