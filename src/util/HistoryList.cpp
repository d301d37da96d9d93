#include "util/HistoryList.h"

#include <QSettings>

#include "util/Registry.h"

namespace {

// The C library's case folding: ASCII letters only.
bool EqualsAsciiNoCase(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= u'A' && x <= u'Z') x = x - u'A' + u'a';
        if (y >= u'A' && y <= u'Z') y = y - u'A' + u'a';
        if (x != y) return false;
    }
    return true;
}

QString EntryName(int k) {
    return QStringLiteral("Entry%1").arg(k);
}

}  // namespace

void CHistoryList::Add(const QString& text) {
    qsizetype n = m_list.size();
    for (qsizetype i = 0; i < m_list.size(); ++i) {
        if (EqualsAsciiNoCase(m_list[i], text)) {
            m_list.removeAt(i);
            --n;
            break;
        }
    }
    if (n == m_nMaxSize && !m_list.isEmpty()) m_list.removeLast();
    m_list.prepend(text);
}

void CHistoryList::LoadFromRegistry(const QString& section) {
    m_list.clear();
    auto profile = OpenProfile();
    profile->beginGroup(SectionOr(section));
    for (int k = 1;; ++k) {
        const QString value = profile->value(EntryName(k), QString()).toString();
        if (value.isEmpty()) break;
        m_list.append(value);
    }
}

void CHistoryList::SaveToRegistry(const QString& section) {
    const QString& s = SectionOr(section);
    QString key;
    BuildProfileKeyPath(key);
    // A key that cannot be cleared keeps its old values; the entries are
    // written all the same.
    ClearRegistryKey(RegistryRoot::CurrentUser, key + s);
    auto profile = OpenProfile();
    profile->beginGroup(s);
    int k = 1;
    for (const QString& entry : m_list) {
        if (!entry.isEmpty()) profile->setValue(EntryName(k), entry);
        ++k;
    }
}

void CHistoryList::FillCombo(QStringList& comboItems) const {
    comboItems = m_list;
}

void CHistoryList::ReadFromCombo(const QStringList& comboItems) {
    m_list = comboItems;
}
