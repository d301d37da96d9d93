#include "EventListWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace etleditor {

namespace {
const char* const kCaption = "Event List Editor";
}

EventListWindow::EventListWindow(QWidget* parent) : QMainWindow(parent) {
    prompt_ = [this] {
        const auto answer = QMessageBox::question(
            this, tr(kCaption), tr("The event list has unsaved changes. Do you want to save them?"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Save) return CloseAnswer::Save;
        if (answer == QMessageBox::Discard) return CloseAnswer::Discard;
        return CloseAnswer::Cancel;
    };
    notify_ = [this](const QString& text) { QMessageBox::warning(this, tr(kCaption), text); };

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    table_ = new QTableView(central);
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
    table_->setColumnWidth(EventListModel::CodeColumn, 80);
    table_->setColumnWidth(EventListModel::FlagColumn, 60);
    layout->addWidget(table_);

    auto* buttons = new QHBoxLayout;
    add_ = new QPushButton(tr("&Add"), central);
    remove_ = new QPushButton(tr("&Remove"), central);
    up_ = new QPushButton(tr("Move &Up"), central);
    down_ = new QPushButton(tr("Move &Down"), central);
    save_ = new QPushButton(tr("&Save"), central);
    for (QPushButton* b : {add_, remove_, up_, down_}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(save_);
    layout->addLayout(buttons);
    status_ = new QLabel(central);
    layout->addWidget(status_);
    setCentralWidget(central);
    resize(520, 600);

    connect(add_, &QPushButton::clicked, this, &EventListWindow::AddEvent);
    connect(remove_, &QPushButton::clicked, this, &EventListWindow::RemoveEvent);
    connect(up_, &QPushButton::clicked, this, &EventListWindow::MoveUp);
    connect(down_, &QPushButton::clicked, this, &EventListWindow::MoveDown);
    connect(save_, &QPushButton::clicked, this, &EventListWindow::Save);
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, &EventListWindow::Save);

    connect(&model_, &EventListModel::editRefused, this, [this](const QString& m) { notify_(m); });
    connect(&model_, &EventListModel::modifiedChanged, this, &EventListWindow::Refresh);
    connect(&model_, &QAbstractItemModel::modelReset, this, &EventListWindow::Refresh);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &EventListWindow::Refresh);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &EventListWindow::Refresh);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &EventListWindow::Refresh);
    Refresh();
}

int EventListWindow::CurrentRow() const {
    const QModelIndex current = table_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void EventListWindow::SelectRow(int row) {
    if (row < 0 || row >= model_.rowCount()) return;
    table_->setCurrentIndex(model_.index(row, EventListModel::CodeColumn));
    table_->selectRow(row);
}

void EventListWindow::AddEvent() {
    SelectRow(model_.AddEvent(CurrentRow()));
}

void EventListWindow::RemoveEvent() {
    const int row = CurrentRow();
    if (row < 0) return;
    QString warning;
    if (!model_.RemoveEvent(row, &warning)) {
        if (!warning.isEmpty()) notify_(warning);
        return;
    }
    SelectRow(std::min(row, model_.rowCount() - 1));
}

void EventListWindow::MoveUp() {
    const int row = CurrentRow();
    if (model_.MoveUp(row)) SelectRow(row - 1);
}

void EventListWindow::MoveDown() {
    const int row = CurrentRow();
    if (model_.MoveDown(row)) SelectRow(row + 1);
}

bool EventListWindow::Save() {
    QString message;
    if (model_.Save(&message)) return true;
    notify_(message);
    return false;
}

void EventListWindow::closeEvent(QCloseEvent* event) {
    QString message;
    if (model_.MayClose(prompt_, &message)) {
        event->accept();
        return;
    }
    if (!message.isEmpty()) notify_(message);
    event->ignore();
}

void EventListWindow::Refresh() {
    const QString name = model_.path().isEmpty() ? tr("(none)") : QFileInfo(model_.path()).fileName();
    setWindowTitle(tr("%1[*] - %2").arg(name, tr(kCaption)));
    setWindowModified(model_.isModified());
    const int row = CurrentRow();
    const int count = model_.rowCount();
    add_->setEnabled(model_.isOpen());
    remove_->setEnabled(row >= 0);  // below 10 records it warns instead
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < count);
    save_->setEnabled(model_.isOpen());
    QString status = tr("%1 records").arg(count);
    if (model_.isNew()) status += tr(" - new file, not saved yet");
    if (!model_.path().isEmpty()) status += QStringLiteral("\n") + model_.path();
    status_->setText(status);
}

}  // namespace etleditor
