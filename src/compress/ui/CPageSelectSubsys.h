// Page 2: the subsystems to compress, in order.
#pragma once

#include <QPoint>
#include <QStringList>

#include "app/SysColorDialog.h"
#include "compress/SubsystemList.h"
#include "ovx/ovx.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QTableWidget;

class CPageSelectSubsys : public CSysColorPropertyPage {
    Q_OBJECT
public:
    CPageSelectSubsys();

    void OnInitDialog() override;
    bool OnSetActive() override;
    bool OnKillActive() override;
    int OnWizardNext() override;

    void OnAdd();
    void OnRemove();
    void OnUp();
    void OnDown();
    // Adds path at row pos with the list's checks; a refusal shows its box.
    bool AddSubsystem(const QString& path, int pos);

    // Path of a tree item (its item data).
    static QString ItemPath(const QTreeWidgetItem* item);
    QTreeWidgetItem* FindTreeItem(const QString& path) const;

    QStringList m_subsystemPaths;  // recorded full dotted paths, in order
    int m_dragRow = -1;
    bool m_dragFromTree = false;
    bool m_dragging = false;
    bool m_dropTarget = false;  // the list takes drops while the page is active
    QPushButton* m_btnUp;       // 1015
    QPushButton* m_btnDown;     // 1016
    QPushButton* m_btnRemove;   // 1006
    QPushButton* m_btnAdd;      // 1005
    QTreeWidget* m_tree;        // 1039
    QTableWidget* m_list;       // 1038: "Pin #", "Subsystem"
    CSubsystemList m_rows;      // what the list shows

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SizeColumns();
    void FillTree();
    void FillLevel(const ovx::Ptr<ovx::Subsystems>& subsystems, QTreeWidgetItem* parent,
                   const QString& parentPath);
    void ShowRows();
    void SelectOnly(int row);
    void UpdateButtons();
    QList<int> SelectedRows() const;
    int RowAtGlobal(const QPoint& global) const;
    bool OverList(const QPoint& global) const;
    void BeginDrag(const QString& path, bool fromTree, int row);
    void EndDrag(const QPoint& global, bool dropped);

    QPoint m_pressPos;
    QString m_pressPath;
    int m_pressRow = -1;
    bool m_pressFromTree = false;
    bool m_pressed = false;
    QString m_dragPath;
};
