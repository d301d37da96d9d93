#include "load/ui/CPageLoadOption.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "context/SetupContext.h"
#include "load/LoadOptionRules.h"
#include "util/FileDialog.h"
#include "util/Paths.h"
#include "util/WaitCursor.h"

CPageLoadOption::CPageLoadOption() : CSysColorPropertyPage(kPageLoadOption) {
    AddPrompt(
        QStringLiteral("Choose the network interface that the VQs are attached to, and the external "
                       "interface file of the VQ."));
    m_comboNi = MakeCombo(this, 1018, false);
    Body()->addWidget(MakeLabel(this, QStringLiteral("Network &Interface:"), m_comboNi));
    Body()->addWidget(m_comboNi);
    Body()->addSpacing(6);

    m_comboXif = MakeCombo(this, 1047, true);
    Body()->addWidget(MakeLabel(this, QStringLiteral("E&xternal Interface File:"), m_comboXif));
    auto* xifRow = new QHBoxLayout;
    xifRow->addWidget(m_comboXif, 1);
    m_btnBrowseXif = MakeButton(this, 1032, QStringLiteral("B&rowse..."));
    xifRow->addWidget(m_btnBrowseXif);
    Body()->addLayout(xifRow);
    Body()->addSpacing(6);

    m_comboEventList = MakeCombo(this, 1048, true);
    Body()->addWidget(MakeLabel(this, QStringLiteral("E&vent List File:"), m_comboEventList));
    auto* etlRow = new QHBoxLayout;
    etlRow->addWidget(m_comboEventList, 1);
    m_btnBrowseEtl = MakeButton(this, 1033, QStringLiteral("Br&owse..."));
    m_btnEdit = MakeButton(this, 1030, QStringLiteral("&Edit..."));
    etlRow->addWidget(m_btnBrowseEtl);
    etlRow->addWidget(m_btnEdit);
    Body()->addLayout(etlRow);
    Body()->addStretch(1);

    connect(m_btnBrowseXif, &QPushButton::clicked, this, &CPageLoadOption::OnBrowseXif);
    connect(m_btnBrowseEtl, &QPushButton::clicked, this, &CPageLoadOption::OnBrowseEventList);
    connect(m_btnEdit, &QPushButton::clicked, this, &CPageLoadOption::OnEdit);
}

void CPageLoadOption::ReadControls() {
    m_strNi = m_comboNi->currentText();
    m_strXif = m_comboXif->currentText();
    m_strEventList = m_comboEventList->currentText();
}

void CPageLoadOption::OnInitDialog() {
    CSysColorPropertyPage::OnInitDialog();
    m_comboNi->clear();
    if (CSetupContext* context = Context()) {
        QStringList names;
        try {
            names = context->ListNetworkInterfaces();
        } catch (const ovx::Error&) {
        }
        m_comboNi->addItems(names);
        const int index = InterfaceIndex(names, names.isEmpty() ? QString() : StoredInterface());
        if (index >= 0) m_comboNi->setCurrentIndex(index);
    }

    const QStringList xifs = StartXifList();
    m_comboXif->clear();
    m_comboXif->addItems(xifs);
    if (!xifs.isEmpty()) m_comboXif->setCurrentIndex(0);

    const QStringList lists = EventListHistory();
    m_comboEventList->clear();
    m_comboEventList->addItems(lists);
    if (lists.isEmpty())
        m_comboEventList->setEditText(kDefaultEventListText);
    else
        m_comboEventList->setCurrentIndex(0);
    ReadControls();
}

bool CPageLoadOption::OnSetActive() {
    {
        CWaitCursor wait;
        if (CSetupContext* context = Context()) {
            try {
                context->CloseAllDatabases();
            } catch (const ovx::Error&) {
            }
        }
    }
    Choices().vqCount = 1;
    if (!m_strNi.isEmpty()) m_comboNi->setCurrentText(m_strNi);
    m_comboXif->setEditText(m_strXif);
    m_comboEventList->setEditText(m_strEventList);
    return CSysColorPropertyPage::OnSetActive();
}

int CPageLoadOption::OnWizardNext() {
    ReadControls();
    CSetupContext* context = Context();
    LoadOptionOps ops;
    ops.openLoadSide = [context](const QString& name) {
        if (!context) return -1;
        CWaitCursor wait;
        const int opened = context->OpenNetworkDatabase(QString::fromLatin1(kTempDbName), 1);
        return opened != 0 ? opened : context->OpenSystem(name, 1);
    };
    ops.addTemplate = [context](const QString& xif) {
        if (!context) return -1;
        CWaitCursor wait;
        return context->AddDeviceTemplate(xif, 1);
    };
    LoadOptionNextRequest request{m_strEventList, m_strNi, m_strXif};
    const LoadOptionNextResult r = LoadOptionNext(request, ops);

    CWizardChoices& choices = Choices();
    if (!r.eventListPath.isEmpty()) {
        m_eventListPath = r.eventListPath;
        choices.eventListPath = r.eventListPath;
    }
    if (r.loadSideOpen) choices.interfaceName = m_strNi;
    if (!r.xifPath.isEmpty()) choices.xifPath = r.xifPath;
    if (r.focus == LoadOptionFocus::EventList) m_comboEventList->setFocus();
    if (r.focus == LoadOptionFocus::Xif) m_comboXif->setFocus();
    if (r.proceed && Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}

void CPageLoadOption::OnBrowseXif() {
    const QString dir = NewestXifFolder();
    const auto chosen = BrowseForFile(kFileDlgHideReadOnly | kFileDlgFileMustExist,
                                      QStringLiteral("External Interface File"), kXifExt, dir, dir);
    if (!chosen) return;
    m_strXif = *chosen;
    m_comboXif->setEditText(m_strXif);
}

void CPageLoadOption::OnBrowseEventList() {
    const QString dir = EventListDir();
    const auto chosen = BrowseForFile(kFileDlgHideReadOnly | kFileDlgFileMustExist,
                                      QStringLiteral("Event List File"), kEventListExt, dir, dir);
    if (!chosen) return;
    m_strEventList = *chosen;
    m_comboEventList->setEditText(m_strEventList);
}

void CPageLoadOption::OnEdit() {
    ReadControls();
    const EditEventListResult r = EditEventList(m_strEventList);
    if (r.focusEventList) m_comboEventList->setFocus();
    if (r.historyChanged) {
        m_comboEventList->clear();
        m_comboEventList->addItems(r.history);
        if (!r.history.isEmpty()) m_comboEventList->setCurrentIndex(0);
        m_strEventList = m_comboEventList->currentText();
    }
}
