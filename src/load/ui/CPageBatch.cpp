#include "load/ui/CPageBatch.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "app/MainWizard.h"
#include "app/PageControls.h"

CPageBatch::CPageBatch() : CSysColorPropertyPage(kPageBatch) {
    AddPrompt(QStringLiteral("Press the service pin or enter the sarvik ID manually to add a VQ to the load list. If "
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
}
