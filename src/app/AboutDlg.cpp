#include "app/AboutDlg.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Vaquor Loading Wizard"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(18, 18, 18, 12);
    root->setSpacing(14);
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/res/app128.png"))
                        .scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(QStringLiteral("VQ Loading Wizard Version 1.0"), this);
    text->setObjectName(QStringLiteral("aboutText"));
    QFont bold = text->font();
    bold.setBold(true);
    text->setFont(bold);
    auto* detail =
        new QLabel(QStringLiteral("Compresses network databases and loads them into VQ units."), this);
    detail->setWordWrap(true);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(text);
    texts->addWidget(detail);
    texts->addStretch(1);
    row->addLayout(texts, 1);
    root->addLayout(row);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    root->addWidget(box);
    setMinimumWidth(380);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void AddAboutAction(QWidget* window) {
    auto* about = new QAction(QStringLiteral("&About VQ Setup Utility..."), window);
    QObject::connect(about, &QAction::triggered, window, [window] {
        CAboutDlg dlg(window);
        dlg.exec();
    });
    window->addAction(about);
    window->setContextMenuPolicy(Qt::ActionsContextMenu);
}
