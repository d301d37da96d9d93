#include "app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Vaquor Loading Wizard"));
    auto* root = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/res/app128.png")).scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(QStringLiteral("VQ Loading Wizard Version 1.0\n\nCompresses network databases and loads them into VQ units."), this);
    text->setObjectName(QStringLiteral("aboutText"));
    row->addWidget(text, 1);
    root->addLayout(row);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    root->addWidget(box);
}
