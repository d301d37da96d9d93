#include "compress/ui/CPageSelectDB.h"

#include <QSettings>
#include <algorithm>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "context/SetupContext.h"
#include "log/Log.h"
#include "util/Registry.h"
#include "util/WaitCursor.h"

namespace {
const QString kDbSelectionValue = QStringLiteral("DB Selection");
}

CPageSelectDB::CPageSelectDB() : CSysColorPropertyPage(kPageSelectDB) {
    AddPrompt(
        QStringLiteral("Select the database that you want to compress. (After pressing the Next button the "
                       "database will be opened, which may take a while.)"));
    m_combo = MakeCombo(this, 1027, true);
    Body()->addWidget(MakeLabel(this, QStringLiteral("&Database:"), m_combo));
    Body()->addWidget(m_combo);
    Body()->addStretch(1);
}

void CPageSelectDB::OnInitDialog() {
    CSysColorPropertyPage::OnInitDialog();
    QStringList names = Context() ? Context()->ListNetworkDatabases(true) : QStringList();
    // The box is a sorted one.
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    m_combo->clear();
    m_combo->addItems(names);
    if (m_combo->count() == 0) {
        if (Sheet()) Sheet()->SetWizardButtons(kWizBack);
        return;
    }
    const QString last = OpenProfile()->value(kDbSelectionValue).toString();
    int index = last.isEmpty() ? 0 : m_combo->findText(last, Qt::MatchFixedString);
    m_combo->setCurrentIndex(index < 0 ? 0 : index);
}

bool CPageSelectDB::OnSetActive() {
    // Without a database there is nothing to go on with, on every visit.
    if (m_combo->count() == 0 && Sheet()) Sheet()->SetWizardButtons(kWizBack);
    return CSysColorPropertyPage::OnSetActive();
}

int CPageSelectDB::OnWizardNext() {
    m_strDbName = m_combo->currentText();
    Choices().database = m_strDbName;
    OpenProfile()->setValue(kDbSelectionValue, m_strDbName);
    bool opened = false;
    {
        CWaitCursor wait;
        if (Context() && Context()->OpenNetworkDatabase(m_strDbName, 0) == kDbOk &&
            Context()->OpenSystem(QString(), 0) == kDbOk)
            opened = true;
    }
    if (opened && Sheet()) Sheet()->GoToPage(PageId(), true);
    LogWrite(QStringLiteral("Database chosen: ") + m_strDbName);
    LogWrite(QString());
    return -1;
}
