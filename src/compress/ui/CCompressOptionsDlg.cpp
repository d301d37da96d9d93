#include "compress/ui/CCompressOptionsDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "compress/CompressOptions.h"
#include "util/Prompter.h"

CCompressOptionsDlg::CCompressOptionsDlg(QWidget* parent) : CSysColorDialog(parent) {
    setWindowTitle(QStringLiteral("Compression Options"));
    auto* root = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_editMajor = new QLineEdit(this);
    m_editMinor = new QLineEdit(this);
    m_editMajor->setObjectName(QStringLiteral("edit1020"));
    m_editMinor->setObjectName(QStringLiteral("edit1021"));
    form->addRow(QStringLiteral("&Major DB version number:"), m_editMajor);
    form->addRow(QStringLiteral("Mi&nor DB version number:"), m_editMinor);
    root->addLayout(form);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &CCompressOptionsDlg::OnOK);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(box);
}

void CCompressOptionsDlg::OnInitDialog() {
    const CompressVersion version = ReadCompressOptions();
    m_nMajor = version.major;
    m_nMinor = version.minor;
    m_editMajor->setText(QString::number(m_nMajor));
    m_editMinor->setText(QString::number(m_nMinor));
}

int CCompressOptionsDlg::exec() {
    OnInitDialog();
    return CSysColorDialog::exec();
}

void CCompressOptionsDlg::OnOK() {
    unsigned major = 0, minor = 0;
    QLineEdit* bad = !ParseVersionNumber(m_editMajor->text(), major)   ? m_editMajor
                     : !ParseVersionNumber(m_editMinor->text(), minor) ? m_editMinor
                                                                       : nullptr;
    if (bad) {
        AppMessageBox(QStringLiteral("Please enter an unsigned integer."), MsgButtons::Ok,
                      MsgIcon::Exclamation);
        bad->setFocus();
        bad->selectAll();
        return;
    }
    m_nMajor = major;
    m_nMinor = minor;
    WriteCompressOptions({m_nMajor, m_nMinor});
    accept();
}
