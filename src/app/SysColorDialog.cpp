#include "app/SysColorDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/MainWizard.h"
#include "util/Prompter.h"

CSysColorDialog::CSysColorDialog(QWidget* parent) : QDialog(parent) {}

CSysColorPropertyPage::CSysColorPropertyPage(int pageId, QWidget* parent)
    : QWidget(parent), m_pageId(pageId) {
    setWindowTitle(QString::fromLatin1(kWizardCaption));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(14);
    m_pic1045 = new QLabel(this);
    m_pic1045->setObjectName(QStringLiteral("pic1045"));
    m_pic1045->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    outer->addWidget(m_pic1045, 0, Qt::AlignTop);
    m_body = new QVBoxLayout;
    m_body->setSpacing(6);
    outer->addLayout(m_body, 1);
}

QLabel* CSysColorPropertyPage::AddPrompt(const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QStringLiteral("prompt"));
    l->setWordWrap(true);
    m_body->addWidget(l);
    m_body->addSpacing(8);
    return l;
}

void CSysColorPropertyPage::OnInitDialog() {
    if (m_sheet) m_pic1045->setPixmap(m_sheet->m_bmpSide);
}

bool CSysColorPropertyPage::OnSetActive() {
    return !m_sheet || m_sheet->IsPageInFlow(m_pageId);
}

CWizardChoices& CSysColorPropertyPage::Choices() const {
    if (m_choices) return *m_choices;
    static CWizardChoices detached;  // a page outside any sheet
    return detached;
}

int CSysColorPropertyPage::OnWizardNext() {
    if (m_sheet) m_sheet->GoToPage(m_pageId, true);
    return -1;
}

int CSysColorPropertyPage::OnWizardBack() {
    if (m_sheet) m_sheet->GoToPage(m_pageId, false);
    return -1;
}
