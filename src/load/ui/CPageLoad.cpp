#include "load/ui/CPageLoad.h"

#include <QHBoxLayout>

#include "app/MainWizard.h"
#include "app/PageControls.h"

CPageLoad::CPageLoad() : CSysColorPropertyPage(kPageLoad) {
    m_progress = MakeProgressBox(this, 1043);
    Body()->addWidget(MakeLabel(this, QStringLiteral("Progress:")));
    Body()->addWidget(m_progress, 1);
    auto* row = new QHBoxLayout;
    m_btnWinkFailed = MakeButton(this, 1011, QStringLiteral("&Wink Failed"));
    m_btnLoadMore = MakeButton(this, 1015, QStringLiteral("&Load More"));
    m_btnReload = MakeButton(this, 1016, QStringLiteral("&Re-Load"));
    row->addWidget(m_btnWinkFailed);
    row->addWidget(m_btnLoadMore);
    row->addWidget(m_btnReload);
    row->addStretch(1);
    Body()->addLayout(row);
}
