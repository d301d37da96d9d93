#include "load/ui/CPageAppImage.h"

#include <QDir>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/MainWizard.h"
#include "app/PageControls.h"
#include "app/SetupApp.h"
#include "context/SetupContext.h"
#include "load/AppImageRules.h"
#include "util/FileDialog.h"
#include "util/Paths.h"

CPageAppImage::CPageAppImage() : CSysColorPropertyPage(kPageAppImage) {
    m_prompt = AddPrompt(kAppImagePrompt);
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

    connect(m_checkLoad, &QCheckBox::clicked, this, &CPageAppImage::OnCheckLoad);
    connect(m_btnBrowseImage, &QPushButton::clicked, this, &CPageAppImage::OnBrowseImage);
    connect(m_btnBrowseProgram, &QPushButton::clicked, this, &CPageAppImage::OnBrowseProgram);
}

void CPageAppImage::ApplyCheckRule() {
    const bool on = m_checkLoad->isChecked();
    m_comboImage->setEnabled(on);
    m_btnBrowseImage->setEnabled(on);
}

void CPageAppImage::ShowProgramGroup(bool shown) {
    // The group holds the combo box and its Browse button.
    m_groupProgram->setVisible(shown);
    if (!shown) return;
    m_comboProgram->setFocus();
    const QStringList items = ProgramHistory();
    m_comboProgram->clear();
    m_comboProgram->addItems(items);
    if (!items.isEmpty()) m_comboProgram->setCurrentIndex(0);
}

void CPageAppImage::OnInitDialog() {
    CSysColorPropertyPage::OnInitDialog();
    m_checkLoad->setChecked(StoredLoadImage());
    ApplyCheckRule();
    const QStringList items = StartImageList();
    m_comboImage->clear();
    m_comboImage->addItems(items);
    if (!items.isEmpty()) m_comboImage->setCurrentIndex(0);
}

bool CPageAppImage::OnSetActive() {
    const int option = Choices().mainOption;
    const bool imageOnly = option == kOptionLoadApplicationOnly;
    const bool checked = imageOnly || StoredLoadImage();
    const AppImageControls c = AppImageControlsFor(option, TheApp().m_bInterpretedProgram, checked);
    m_prompt->setText(c.prompt);
    m_checkLoad->setVisible(c.checkVisible);
    m_checkLoad->setChecked(checked);
    ApplyCheckRule();
    if (imageOnly) m_comboImage->setFocus();
    ShowProgramGroup(c.programVisible);
    return CSysColorPropertyPage::OnSetActive();
}

void CPageAppImage::OnCheckLoad() {
    ApplyCheckRule();
    if (m_checkLoad->isChecked()) m_comboImage->setFocus();
}

void CPageAppImage::OnBrowseImage() {
    const QString dir = NewestImageFolder();
    const auto chosen = BrowseForFile(kFileDlgHideReadOnly | kFileDlgFileMustExist,
                                      QStringLiteral("Application Image File"), kAppImageExt, dir, dir);
    if (!chosen) return;
    m_strImage = *chosen;
    m_comboImage->setEditText(m_strImage);
}

void CPageAppImage::OnBrowseProgram() {
    QString dir;
    PrefixInstallDir(dir, IntProgRelativeDir());
    const auto chosen =
        BrowseForFile(kFileDlgHideReadOnly | kFileDlgFileMustExist,
                      QStringLiteral("Interpreted Program Source File"), kProgramSourceExt, dir, dir);
    if (!chosen) return;
    m_strProgram = *chosen;
    m_comboProgram->setEditText(m_strProgram);
}

int CPageAppImage::OnWizardNext() {
    m_strImage = m_comboImage->currentText();
    m_strProgram = m_comboProgram->currentText();
    m_bLoadImage = m_checkLoad->isChecked();

    AppImageNextRequest request;
    request.mainOption = Choices().mainOption;
    request.interpretedProgram = TheApp().m_bInterpretedProgram;
    request.loadChecked = m_bLoadImage;
    request.imageText = m_strImage;
    request.programText = m_strProgram;
    CSetupContext* context = Context();
    const AppImageNextResult r = AppImageNext(request, [context](const QString& source) {
        return context ? context->CompileInterpretedProgram(source) : CompileProgram(source);
    });

    CWizardChoices& choices = Choices();
    choices.loadImage = r.loadImage;
    if (!r.imagePath.isEmpty()) choices.imagePath = r.imagePath;
    if (!r.program.source.isEmpty()) m_program = r.program;
    if (r.compiled) {
        choices.programPath = r.program.source;
        choices.programCompiled = r.program.compiled;
    }
    if (r.focus == AppImageFocus::Image) m_comboImage->setFocus();
    if (r.focus == AppImageFocus::Program) m_comboProgram->setFocus();
    if (r.proceed && Sheet()) Sheet()->GoToPage(PageId(), true);
    return -1;
}
