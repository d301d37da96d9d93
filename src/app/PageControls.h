// Small makers for page controls, named "<kind><id>" after their control ids.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

inline QComboBox* MakeCombo(QWidget* parent, int id, bool editable) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QStringLiteral("combo%1").arg(id));
    c->setEditable(editable);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return c;
}

inline QPushButton* MakeButton(QWidget* parent, int id, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QStringLiteral("btn%1").arg(id));
    b->setAutoDefault(false);
    return b;
}

inline QLabel* MakeLabel(QWidget* parent, const QString& text, QWidget* buddy = nullptr) {
    auto* l = new QLabel(text, parent);
    if (buddy) l->setBuddy(buddy);
    return l;
}

inline QPlainTextEdit* MakeProgressBox(QWidget* parent, int id) {
    auto* e = new QPlainTextEdit(parent);
    e->setObjectName(QStringLiteral("edit%1").arg(id));
    e->setReadOnly(true);
    e->setLineWrapMode(QPlainTextEdit::NoWrap);
    return e;
}
