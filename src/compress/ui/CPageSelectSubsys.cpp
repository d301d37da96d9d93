#include "compress/ui/CPageSelectSubsys.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "context/SetupContext.h"
#include "log/Log.h"
#include "util/Prompter.h"

namespace {
constexpr int kPathRole = Qt::UserRole;

bool IsHiddenSubsystem(const QString& name) {
    return name == QLatin1String("Discovered") || name == QLatin1String("Installed") ||
           name == QLatin1String("Uninstalled") || name == QLatin1String("ALL");
}
}  // namespace

CPageSelectSubsys::CPageSelectSubsys() : CSysColorPropertyPage(kPageSelectSubsys) {
    AddPrompt(QStringLiteral(
        "Please select the subsystems that you would like to compress. Make sure you place the "
        "selected subsystems in the correct order."));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("tree1039"));
    m_tree->setHeaderHidden(true);
    m_list = new QTableWidget(0, 2, this);
    m_list->setObjectName(QStringLiteral("list1038"));
    m_list->setHorizontalHeaderLabels({QStringLiteral("Pin #"), QStringLiteral("Subsystem")});
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setWordWrap(false);
    m_list->setShowGrid(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);

    m_btnAdd = MakeButton(this, 1005, QStringLiteral("&Add"));
    m_btnRemove = MakeButton(this, 1006, QStringLiteral("&Remove"));
    m_btnUp = MakeButton(this, 1015, QString());
    m_btnDown = MakeButton(this, 1016, QString());
    m_btnUp->setIcon(QIcon(QStringLiteral(":/res/up190.png")));
    m_btnDown->setIcon(QIcon(QStringLiteral(":/res/down138.png")));
    m_btnUp->setIconSize(QSize(16, 16));
    m_btnDown->setIconSize(QSize(16, 16));
    m_btnUp->setToolTip(QStringLiteral("Up"));
    m_btnDown->setToolTip(QStringLiteral("Down"));

    auto* row = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(MakeLabel(this, QStringLiteral("A&vailable Subsystems:"), m_tree));
    left->addWidget(m_tree, 1);
    auto* mid = new QVBoxLayout;
    mid->addStretch(1);
    mid->addWidget(m_btnAdd);
    mid->addWidget(m_btnRemove);
    mid->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(MakeLabel(this, QStringLiteral("&Subsystems to Compress:"), m_list));
    right->addWidget(m_list, 1);
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(m_btnUp);
    arrows->addWidget(m_btnDown);
    arrows->addStretch(1);
    // The list shows whole dotted paths, the tree only names: give it more room.
    row->addLayout(left, 2);
    row->addLayout(mid);
    row->addLayout(right, 3);
    row->addLayout(arrows);
    Body()->addLayout(row, 1);

    connect(m_btnAdd, &QPushButton::clicked, this, &CPageSelectSubsys::OnAdd);
    connect(m_btnRemove, &QPushButton::clicked, this, &CPageSelectSubsys::OnRemove);
    connect(m_btnUp, &QPushButton::clicked, this, &CPageSelectSubsys::OnUp);
    connect(m_btnDown, &QPushButton::clicked, this, &CPageSelectSubsys::OnDown);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CPageSelectSubsys::UpdateButtons);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CPageSelectSubsys::UpdateButtons);
    m_tree->viewport()->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

void CPageSelectSubsys::OnInitDialog() {
    CSysColorPropertyPage::OnInitDialog();
    SizeColumns();
    UpdateButtons();
}

void CPageSelectSubsys::SizeColumns() {
    // A quarter for the number, the rest for the path; never so narrow that
    // the "Pin #" heading is cut. The list has its real width only once laid
    // out, so this runs again when the list is resized.
    const int w = m_list->viewport()->width() > 0 ? m_list->viewport()->width() : 240;
    m_list->setColumnWidth(0, std::max(w / 4, m_list->horizontalHeader()->sectionSizeHint(0)));
}

bool CPageSelectSubsys::OnSetActive() {
    m_dropTarget = true;
    const bool fromCompress = Sheet() && Sheet()->m_curPageId == kPageCompress;
    if (!fromCompress) {
        FillTree();
        m_rows.Clear();
        ShowRows();
        if (QTreeWidgetItem* first = m_tree->topLevelItem(0)) {
            m_tree->setCurrentItem(first);
            if (first->childCount() > 0) m_tree->setCurrentItem(first->child(0));
            for (int i = 0; i < first->childCount() && m_rows.Count() < CSubsystemList::kMaxRows; ++i)
                AddSubsystem(ItemPath(first->child(i)), m_rows.Count());
        }
        UpdateButtons();
    }
    return CSysColorPropertyPage::OnSetActive();
}

bool CPageSelectSubsys::OnKillActive() {
    m_dropTarget = false;
    return true;
}

void CPageSelectSubsys::FillTree() {
    m_tree->clear();
    if (!Context() || !Context()->m_compressSystem) return;
    try {
        FillLevel(Context()->m_compressSystem->GetSubsystems(), nullptr, QString());
    } catch (const ovx::Error& e) {
        ReportOleError(e);
    }
    if (QTreeWidgetItem* first = m_tree->topLevelItem(0)) first->setExpanded(true);
}

void CPageSelectSubsys::FillLevel(const ovx::Ptr<ovx::Subsystems>& subsystems, QTreeWidgetItem* parent,
                                  const QString& parentPath) {
    if (!subsystems) return;
    const int n = subsystems->Count();
    const QIcon icon = style()->standardIcon(QStyle::SP_DirIcon);
    for (int k = 1; k <= n; ++k) {
        const auto sub = subsystems->Item(k);
        const QString name = QString::fromStdString(sub->Name());
        if (IsHiddenSubsystem(name)) continue;
        const QString path = parentPath.isEmpty() ? name : parentPath + QLatin1Char('.') + name;
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, name);
        item->setData(0, kPathRole, path);
        item->setIcon(0, icon);
        const auto children = sub->GetSubsystems();
        if (children && children->Count() > 0) FillLevel(children, item, path);
    }
}

QString CPageSelectSubsys::ItemPath(const QTreeWidgetItem* item) {
    return item ? item->data(0, kPathRole).toString() : QString();
}

QTreeWidgetItem* CPageSelectSubsys::FindTreeItem(const QString& path) const {
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (ItemPath(*it) == path) return *it;
    return nullptr;
}

bool CPageSelectSubsys::AddSubsystem(const QString& path, int pos) {
    const auto r = m_rows.Insert(path, pos);
    if (r == CSubsystemList::AddResult::Full) {
        AppMessageBox(CSubsystemList::RefusalText(r), MsgButtons::Ok, MsgIcon::None);
        return false;
    }
    if (r != CSubsystemList::AddResult::Added) {
        ErrorBox(CSubsystemList::RefusalText(r));
        return false;
    }
    ShowRows();
    return true;
}

void CPageSelectSubsys::ShowRows() {
    m_list->clearSelection();
    m_list->setRowCount(m_rows.Count());
    for (int i = 0; i < m_rows.Count(); ++i) {
        m_list->setItem(i, 0, new QTableWidgetItem(QString::number(i)));
        auto* path = new QTableWidgetItem(m_rows.Paths().at(i));
        path->setToolTip(m_rows.Paths().at(i));
        m_list->setItem(i, 1, path);
    }
    UpdateButtons();
}

QList<int> CPageSelectSubsys::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedRows()) rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CPageSelectSubsys::SelectOnly(int row) {
    m_list->clearSelection();
    if (row >= 0 && row < m_list->rowCount()) {
        m_list->selectRow(row);
        m_list->setCurrentCell(row, 1, QItemSelectionModel::Rows | QItemSelectionModel::Select);
    }
    UpdateButtons();
}

void CPageSelectSubsys::UpdateButtons() {
    const bool any = !m_list->selectionModel()->selectedRows().isEmpty();
    m_btnRemove->setEnabled(any);
    m_btnUp->setEnabled(any);
    m_btnDown->setEnabled(any);
}

void CPageSelectSubsys::OnAdd() {
    QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || !item->isSelected()) return;
    AddSubsystem(ItemPath(item), m_rows.Count());
}

void CPageSelectSubsys::OnRemove() {
    const QList<int> rows = SelectedRows();
    m_rows.RemoveRows(std::vector<int>(rows.begin(), rows.end()));
    ShowRows();
    SelectOnly(0);
}

void CPageSelectSubsys::OnUp() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty() || !m_rows.MoveUp(rows.front())) return;
    ShowRows();
    SelectOnly(rows.front() - 1);
}

void CPageSelectSubsys::OnDown() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty() || !m_rows.MoveDown(rows.front())) return;
    ShowRows();
    SelectOnly(rows.front() + 1);
}

int CPageSelectSubsys::OnWizardNext() {
    if (m_rows.Count() == 0) {
        ErrorBox(QStringLiteral("You must select at least one database before advancing to the next page."));
        return 0;
    }
    m_subsystemPaths.clear();
    for (int i = 0; i < m_list->rowCount(); ++i) m_subsystemPaths.append(m_list->item(i, 1)->text());
    Choices().subsystems = m_subsystemPaths;
    LogWrite(QStringLiteral("Subsystems chosen:"));
    for (const QString& p : m_subsystemPaths) LogWrite(p);
    LogWrite(QString());
    if (Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}

// ---- drag and drop
// A drag lasts while the left button is held: the source viewport keeps the
// mouse, so its moves and the release tell where the drag is; Escape cancels.

bool CPageSelectSubsys::OverList(const QPoint& global) const {
    if (!m_list->isVisible()) return false;
    return m_list->rect().contains(m_list->mapFromGlobal(global));
}

int CPageSelectSubsys::RowAtGlobal(const QPoint& global) const {
    const int row = m_list->rowAt(m_list->viewport()->mapFromGlobal(global).y());
    return row < 0 ? m_list->rowCount() : row;
}

void CPageSelectSubsys::BeginDrag(const QString& path, bool fromTree, int row) {
    m_dragging = true;
    m_dragFromTree = fromTree;
    m_dragRow = fromTree ? -1 : row;
    m_dragPath = path;
    QApplication::setOverrideCursor(Qt::DragCopyCursor);
    qApp->installEventFilter(this);
}

void CPageSelectSubsys::EndDrag(const QPoint& global, bool dropped) {
    if (!m_dragging) return;
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    m_dragging = false;
    m_pressed = false;
    if (!dropped) return;
    if (OverList(global) && m_dropTarget) {
        const int target = RowAtGlobal(global);
        if (m_dragFromTree) {
            AddSubsystem(m_dragPath, target);
        } else {
            const int moved = m_rows.Move(m_dragRow, target);
            if (moved >= 0) {
                ShowRows();
                SelectOnly(moved);
            }
        }
    } else if (!m_dragFromTree) {
        // A row dragged out of the list is removed.
        m_rows.RemoveRow(m_dragRow);
        ShowRows();
    }
    m_dragRow = -1;
}

bool CPageSelectSubsys::eventFilter(QObject* watched, QEvent* event) {
    if (m_dragging && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        EndDrag(QPoint(), false);
        return true;
    }
    const bool tree = watched == m_tree->viewport();
    const bool list = watched == m_list->viewport();
    if (list && event->type() == QEvent::Resize) SizeColumns();
    if (!tree && !list) return CSysColorPropertyPage::eventFilter(watched, event);
    auto* me = dynamic_cast<QMouseEvent*>(event);
    if (!me) return CSysColorPropertyPage::eventFilter(watched, event);
    const QPoint global = me->globalPosition().toPoint();
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (me->button() == Qt::LeftButton) {
                m_pressed = true;
                m_pressPos = global;
                m_pressFromTree = tree;
                if (tree) {
                    m_pressPath = ItemPath(m_tree->itemAt(me->position().toPoint()));
                    m_pressRow = -1;
                } else {
                    m_pressRow = m_list->rowAt(me->position().toPoint().y());
                    m_pressPath = m_pressRow >= 0 ? m_rows.Paths().at(m_pressRow) : QString();
                }
            }
            break;
        case QEvent::MouseMove:
            if (m_dragging) {
                QApplication::changeOverrideCursor(OverList(global) || m_dragFromTree
                                                       ? QCursor(Qt::DragCopyCursor)
                                                       : QCursor(QPixmap(QStringLiteral(":/res/drag.png"))));
                return true;
            }
            if (m_pressed && (me->buttons() & Qt::LeftButton) && !m_pressPath.isEmpty() &&
                (global - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
                BeginDrag(m_pressPath, m_pressFromTree, m_pressRow);
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (me->button() == Qt::LeftButton) {
                if (m_dragging) {
                    EndDrag(global, true);
                    return true;
                }
                m_pressed = false;
            }
            break;
        default:
            break;
    }
    return CSysColorPropertyPage::eventFilter(watched, event);
}
