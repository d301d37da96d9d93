#include "pages/CPageMain.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "app/SetupApp.h"
#include "context/SetupContext.h"
#include "log/Log.h"
#include "util/Prompter.h"
#include "util/Registry.h"

#include <QSettings>

namespace {
const QString kMainOptionValue = QStringLiteral("Main Option");
}

CPageMain::CPageMain() : CSysColorPropertyPage(kPageMain) {
    AddPrompt(QStringLiteral(
        "This utility can help you compress a OVX Database and then download it to the VQ, or download an "
        "existing compressed file to the VQ. Please select an option and click next to continue."));
    auto* box = new QGroupBox(QStringLiteral("Functions"), this);
    box->setObjectName(QStringLiteral("groupFunctions"));
    auto* v = new QVBoxLayout(box);
    m_group = new QButtonGroup(this);
    const char* texts[] = {"&Compress and Download OVX Database", "&Download Existing File to VQ",
                           "Download only &Application Image to VQ"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(texts[i]), box);
        r->setObjectName(QStringLiteral("radio%1").arg(1000 + i));
        m_group->addButton(r, i);
        v->addWidget(r);
    }
    m_group->button(0)->setChecked(true);
    Body()->addWidget(box);
    Body()->addStretch(1);
    auto* row = new QHBoxLayout;
    m_btnDeleteTempDb = MakeButton(this, 1018, QStringLiteral("Delete &Temporary DB"));
    m_btnDeleteLogFiles = MakeButton(this, 1019, QStringLiteral("Delete All &Log Files"));
    m_btnDeleteTempDb->hide();
    m_btnDeleteLogFiles->hide();
    row->addWidget(m_btnDeleteTempDb);
    row->addWidget(m_btnDeleteLogFiles);
    row->addStretch(1);
    Body()->addLayout(row);
    connect(m_btnDeleteTempDb, &QPushButton::clicked, this, &CPageMain::OnDeleteTemporaryDb);
    connect(m_btnDeleteLogFiles, &QPushButton::clicked, this, &CPageMain::OnDeleteLogFiles);
}

void CPageMain::OnInitDialog() {
    CSysColorPropertyPage::OnInitDialog();
    if (Sheet()) Sheet()->SetCancelText(QStringLiteral("Exit"));
    m_btnDeleteTempDb->setVisible(TheApp().m_bMaintenance);
    m_btnDeleteLogFiles->setVisible(TheApp().m_bMaintenance);
}

bool CPageMain::OnSetActive() {
    if (Sheet()) Sheet()->SetWizardButtons(kWizNext);
    // The profile, not the last click, decides: an option left with Back is forgotten.
    m_nOption = OpenProfile()->value(kMainOptionValue, 0).toInt();
    if (auto* b = m_group->button(m_nOption)) b->setChecked(true);
    return CSysColorPropertyPage::OnSetActive();
}

QString CPageMain::OptionLogName(int option) {
    switch (option) {
        case 0:
            return QStringLiteral("Compress and Load Database");
        case 1:
            return QStringLiteral("Load Database");
        case 2:
            return QStringLiteral("Load Application Only");
        default:
            return QString();
    }
}

int CPageMain::OnWizardNext() {
    m_nOption = m_group->checkedId();
    Choices().mainOption = m_nOption;
    LogWrite(QStringLiteral("Main option chosen: ") + OptionLogName(m_nOption));
    LogWrite(QString());
    OpenProfile()->setValue(kMainOptionValue, m_nOption);
    if (Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}

void CPageMain::OnDeleteTemporaryDb() {
    if (Context()) Context()->DeleteTemporaryDatabase();
}

void CPageMain::OnDeleteLogFiles() {
    if (MessageBox(QStringLiteral("Are you sure you want to delete all your log files?"),
                   QString::fromLatin1(kWizardCaption), MsgIcon::Question,
                   MsgButtons::YesNo) == MsgResult::Yes)
        DeleteAllLogFiles();
}
