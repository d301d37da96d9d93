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
    // The text is what the user typed or picked from the list: an editable
    // box neither completes a prefix nor swaps in a list entry of its own.
    if (editable) c->setCompleter(nullptr);
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
    // Long lines (rule messages name whole paths) wrap at word boundaries
    // within the box; the log file keeps them whole.
    e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    e->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return e;
}
