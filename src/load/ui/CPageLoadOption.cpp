#include "load/ui/CPageLoadOption.h"

#include <QHBoxLayout>

#include "app/MainWizard.h"
#include "app/PageControls.h"

CPageLoadOption::CPageLoadOption() : CSysColorPropertyPage(kPageLoadOption) {
    AddPrompt(QStringLiteral(
        "Choose the network interface that the VQs are attached to, and the external interface file of the VQ."));
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
}
