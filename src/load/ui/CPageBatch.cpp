#include "load/ui/CPageBatch.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "context/SetupContext.h"
#include "load/BatchRules.h"
#include "util/WaitCursor.h"

CPageBatch* CPageBatch::s_activePage = nullptr;

CPageBatch::CPageBatch() : CSysColorPropertyPage(kPageBatch) {
    AddPrompt(QStringLiteral(
        "Press the service pin or enter the sarvik ID manually to add a VQ to the load list. If "
        "the VQs are unconfigured, they will be discovered and added to the list below "
        "automatically. "));
    m_editSarvikId = new QLineEdit(this);
    m_editSarvikId->setObjectName(QStringLiteral("edit1017"));
    Body()->addWidget(MakeLabel(this, QStringLiteral("S&arvik ID:"), m_editSarvikId));
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(m_editSarvikId, 1);
    m_btnAdd = MakeButton(this, 1005, QStringLiteral("&Add"));
    addRow->addWidget(m_btnAdd);
    Body()->addLayout(addRow);
    Body()->addSpacing(6);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("list1009"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSortingEnabled(false);
    Body()->addWidget(MakeLabel(this, QStringLiteral("Sarvik &IDs of the VQs to be loaded:"), m_list));
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list, 1);
    auto* side = new QVBoxLayout;
    m_btnDelete = MakeButton(this, 1010, QStringLiteral("&Delete"));
    m_btnWink = MakeButton(this, 1011, QStringLiteral("&Wink"));
    side->addWidget(m_btnDelete);
    side->addWidget(m_btnWink);
    side->addStretch(1);
    listRow->addLayout(side);
    Body()->addLayout(listRow, 1);

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(MakeLabel(this, QStringLiteral("Total number of VQs in the list: ")));
    m_count = new QLabel(QStringLiteral("0"), this);
    m_count->setObjectName(QStringLiteral("static1012"));
    countRow->addWidget(m_count);
    countRow->addStretch(1);
    Body()->addLayout(countRow);

    connect(m_btnAdd, &QPushButton::clicked, this, &CPageBatch::OnAdd);
    connect(m_btnDelete, &QPushButton::clicked, this, &CPageBatch::OnDelete);
    connect(m_btnWink, &QPushButton::clicked, this, &CPageBatch::OnWink);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &CPageBatch::OnSelectionChanged);
}

CPageBatch::~CPageBatch() {
    if (s_activePage == this) {
        s_activePage = nullptr;
        if (CSetupContext* context = Context()) context->m_pfnServicePin = nullptr;
    }
    if (qApp) qApp->removeEventFilter(this);
}

QStringList CPageBatch::Entries() const {
    QStringList ids;
    for (int i = 0; i < m_list->count(); ++i) ids << m_list->item(i)->text();
    return ids;
}

void CPageBatch::UpdateCount() {
    m_count->setText(QString::asprintf("%d", m_list->count()));
}

void CPageBatch::EnableListButtons(bool on) {
    m_btnDelete->setEnabled(on);
    m_btnWink->setEnabled(on);
}

void CPageBatch::Append(const QString& sarvikId) {
    m_list->addItem(sarvikId);
    m_list->setCurrentRow(0);
    UpdateCount();
    EnableListButtons(true);
}

void CPageBatch::OnInitDialog() {
    CSysColorPropertyPage::OnInitDialog();
    RebuildFromDiscovery();
}

void CPageBatch::RebuildFromDiscovery() {
    m_list->clear();
    EnableListButtons(false);
    QStringList found;
    if (CSetupContext* context = Context()) {
        CWaitCursor wait;
        found = context->DiscoverUnconfiguredDevices();
    }
    for (const QString& id : found) {
        m_list->addItem(id);
        EnableListButtons(true);
    }
    UpdateCount();
    if (m_list->count() > 0) m_list->setCurrentRow(0);
}

namespace {

// The service-pin callback: a plain function that reaches the active page.
void DeliverServicePin(const QString& sarvikId, const QString& programId);

}  // namespace

bool CPageBatch::OnSetActive() {
    if (CSetupContext* context = Context()) {
        CWaitCursor wait;
        try {
            context->ArmServicePinCapture(&DeliverServicePin);
        } catch (const ovx::Error&) {
            // The system's setting could not be read; the pins still count.
            context->m_servicePinArmed = true;
            context->m_pfnServicePin = &DeliverServicePin;
        }
    }
    s_activePage = this;
    qApp->installEventFilter(this);
    return CSysColorPropertyPage::OnSetActive();
}

namespace {

void DeliverServicePin(const QString& sarvikId, const QString& programId) {
    if (CPageBatch* page = CPageBatch::ActivePage()) page->OnServicePin(sarvikId, programId);
}

}  // namespace

bool CPageBatch::OnKillActive() {
    if (CSetupContext* context = Context()) {
        try {
            context->DisarmServicePinCapture();
        } catch (const ovx::Error&) {
            context->m_servicePinArmed = false;
        }
    }
    if (s_activePage == this) s_activePage = nullptr;
    qApp->removeEventFilter(this);
    return CSysColorPropertyPage::OnKillActive();
}

void CPageBatch::OnServicePin(const QString& sarvikId, const QString& /*programId*/) {
    const SarvikIdCheck check = CheckReceivedSarvikId(Entries(), sarvikId);
    if (check != SarvikIdCheck::Ok) {
        ShowSarvikIdRefusal(check);
        return;
    }
    Append(sarvikId);
}

void CPageBatch::OnAdd() {
    m_strSarvikId = m_editSarvikId->text();
    const SarvikIdCheck check = CheckTypedSarvikId(Entries(), m_strSarvikId);
    if (check != SarvikIdCheck::Ok) {
        ShowSarvikIdRefusal(check);
        return;
    }
    Append(m_strSarvikId);
}

void CPageBatch::OnDelete() {
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedIndexes()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int row : rows) delete m_list->takeItem(row);
    if (m_list->count() > 0) m_list->setCurrentRow(0);
    UpdateCount();
    EnableListButtons(m_list->count() > 0);
}

void CPageBatch::OnWink() {
    CSetupContext* context = Context();
    if (!context) return;
    CWaitCursor wait;
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedIndexes()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    const QStringList ids = Entries();
    for (int row : rows) context->WinkBySarvikId(ids[row]);
}

void CPageBatch::OnSelectionChanged() {
    EnableListButtons(!m_list->selectedItems().isEmpty());
}

bool CPageBatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget)) && s_activePage == this) {
            OnDelete();
            return true;
        }
    }
    return CSysColorPropertyPage::eventFilter(watched, event);
}

int CPageBatch::OnWizardNext() {
    const QStringList ids = Entries();
    if (!CheckBatchForNext(ids)) return -1;
    CWizardChoices& choices = Choices();
    choices.vqCount = int(ids.size());
    choices.sarvikIds = ids;
    LogBatch(ids);
    if (Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}
