// A short most-recently-used list of texts behind a file-name combo box,
// kept in the profile as string values "Entry1", "Entry2", ... (Entry1 the
// most recent) in one group per list. The combo box is reached through its
// items, so the class needs no widget.
#pragma once

#include <QString>
#include <QStringList>

class CHistoryList {
public:
    CHistoryList() = default;
    virtual ~CHistoryList() = default;

    // Puts text at the head, dropping an earlier entry equal to it (ASCII
    // case folded) and, when the list is full, the oldest.
    void Add(const QString& text);
    // A null section means m_strSection. Loading stops at the first missing
    // or empty entry and applies no limit.
    void LoadFromRegistry(const QString& section = QString());
    // Replaces the section's values with the list. An empty entry is not
    // written but uses up its number.
    void SaveToRegistry(const QString& section = QString());
    // The combo box's new items, in list order (most recent first).
    void FillCombo(QStringList& comboItems) const;
    void ReadFromCombo(const QStringList& comboItems);

    const QStringList& Entries() const { return m_list; }

    int m_nMaxSize = 8;
    QStringList m_list;
    QString m_strSection = QStringLiteral("Recent File List");

private:
    const QString& SectionOr(const QString& section) const {
        return section.isNull() ? m_strSection : section;
    }
};
