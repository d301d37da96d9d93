#include "compress/ui/CCompressOptionsDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

#include "util/Prompter.h"
#include "util/Registry.h"

namespace {
unsigned ReadValue(const char* name, unsigned fallback) {
    auto profile = OpenProfile();
    profile->beginGroup(QString::fromLatin1(kCompressOptionsSection));
    bool ok = false;
    const unsigned v = profile->value(QString::fromLatin1(name), fallback).toUInt(&ok);
    return ok ? v : fallback;
}

// An unsigned integer in decimal, surrounding blanks allowed, nothing else.
bool ParseUnsigned(const QString& text, unsigned& out) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) return false;
    bool ok = false;
    const qulonglong v = t.toULongLong(&ok, 10);
    if (!ok || v > 0xFFFFFFFFull) return false;
    out = static_cast<unsigned>(v);
    return true;
}
}  // namespace

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

unsigned CCompressOptionsDlg::ReadMajor() {
    return ReadValue("Major", 1);
}
unsigned CCompressOptionsDlg::ReadMinor() {
    return ReadValue("Minor", 0);
}

void CCompressOptionsDlg::OnInitDialog() {
    m_nMajor = ReadMajor();
    m_nMinor = ReadMinor();
    m_editMajor->setText(QString::number(m_nMajor));
    m_editMinor->setText(QString::number(m_nMinor));
}

int CCompressOptionsDlg::exec() {
    OnInitDialog();
    return CSysColorDialog::exec();
}

void CCompressOptionsDlg::OnOK() {
    unsigned major = 0, minor = 0;
    QLineEdit* bad = !ParseUnsigned(m_editMajor->text(), major)   ? m_editMajor
                     : !ParseUnsigned(m_editMinor->text(), minor) ? m_editMinor
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
    {
        auto profile = OpenProfile();
        profile->beginGroup(QString::fromLatin1(kCompressOptionsSection));
        profile->setValue(QStringLiteral("Major"), m_nMajor);
        profile->setValue(QStringLiteral("Minor"), m_nMinor);
    }
    accept();
}
