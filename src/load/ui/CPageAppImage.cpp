#include "load/ui/CPageAppImage.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "app/SetupApp.h"

CPageAppImage::CPageAppImage() : CSysColorPropertyPage(kPageAppImage) {
    m_prompt =
        AddPrompt(QStringLiteral("Choose whether to load an application image to the VQ. If you choose to "
                                 "load, enter the file path of the .apb file."));
    auto* imageGroup = new QGroupBox(QStringLiteral("Application Image"), this);
    imageGroup->setObjectName(QStringLiteral("groupImage"));
    auto* iv = new QVBoxLayout(imageGroup);
    m_checkLoad = new QCheckBox(QStringLiteral("&Load application image"), imageGroup);
    m_checkLoad->setObjectName(QStringLiteral("check1004"));
    iv->addWidget(m_checkLoad);
    auto* irow = new QHBoxLayout;
    m_comboImage = MakeCombo(imageGroup, 1008, true);
    m_btnBrowseImage = MakeButton(imageGroup, 1031, QStringLiteral("B&rowse..."));
    irow->addWidget(m_comboImage, 1);
    irow->addWidget(m_btnBrowseImage);
    iv->addLayout(irow);
    Body()->addWidget(imageGroup);

    m_groupProgram = new QGroupBox(QStringLiteral("Interpreted Program"), this);
    m_groupProgram->setObjectName(QStringLiteral("group1017"));
    auto* prow = new QHBoxLayout(m_groupProgram);
    m_comboProgram = MakeCombo(m_groupProgram, 1033, true);
    m_btnBrowseProgram = MakeButton(m_groupProgram, 1034, QStringLiteral("Br&owse..."));
    prow->addWidget(m_comboProgram, 1);
    prow->addWidget(m_btnBrowseProgram);
    Body()->addWidget(m_groupProgram);
    Body()->addStretch(1);
}

void CPageAppImage::OnInitDialog() {
    CSysColorPropertyPage::OnInitDialog();
    // Only with "-i", and not when only the application image is loaded.
    const bool program = TheApp().m_bInterpretedProgram && Choices().mainOption != kOptionLoadApplicationOnly;
    m_groupProgram->setVisible(program);
}
