#include "pages/CPageGetFile.h"

#include <QHBoxLayout>

#include "app/MainWizard.h"
#include "app/PageControls.h"

CPageGetFile::CPageGetFile() : CSysColorPropertyPage(kPageGetFile) {
    AddPrompt(QStringLiteral("Choose the compressed database file to load into the VQ."));
    m_combo = MakeCombo(this, 1046, true);
    Body()->addWidget(MakeLabel(this, QStringLiteral("&Compressed Database File:"), m_combo));
    auto* row = new QHBoxLayout;
    row->addWidget(m_combo, 1);
    m_btnBrowse = MakeButton(this, 1032, QStringLiteral("B&rowse..."));
    row->addWidget(m_btnBrowse);
    Body()->addLayout(row);
    Body()->addStretch(1);
}
