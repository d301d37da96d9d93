#include "compress/SubsystemList.h"

#include <algorithm>

bool CSubsystemList::IsAncestor(const QString& a, const QString& b) {
    return b.size() > a.size() && b.startsWith(a, Qt::CaseSensitive) && b.at(a.size()) == QLatin1Char('.');
}

CSubsystemList::AddResult CSubsystemList::Insert(const QString& path, int pos) {
    if (Count() >= kMaxRows) return AddResult::Full;
    if (m_paths.contains(path, Qt::CaseSensitive)) return AddResult::Duplicate;
    for (const QString& row : m_paths) {
        if (IsAncestor(path, row) || IsAncestor(row, path)) return AddResult::SameHierarchy;
    }
    m_paths.insert(std::clamp(pos, 0, Count()), path);
    return AddResult::Added;
}

void CSubsystemList::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the bottom, so the indexes still to remove stay valid.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (*it >= 0 && *it < Count()) m_paths.removeAt(*it);
    }
}

bool CSubsystemList::MoveUp(int row) {
    if (row <= 0 || row >= Count()) return false;
    m_paths.move(row, row - 1);
    return true;
}

bool CSubsystemList::MoveDown(int row) {
    if (row < 0 || row >= Count() - 1) return false;
    m_paths.move(row, row + 1);
    return true;
}

int CSubsystemList::Move(int from, int to) {
    if (from < 0 || from >= Count()) return -1;
    to = std::clamp(to, 0, Count());
    if (to == from) return -1;
    // Insert at the target, then delete the old row (one further down when
    // the target lies at or above it).
    const QString path = m_paths.at(from);
    m_paths.insert(to, path);
    const int old = to <= from ? from + 1 : from;
    m_paths.removeAt(old);
    return to <= from ? to : to - 1;
}

QString CSubsystemList::RefusalText(AddResult r) {
    switch (r) {
        case AddResult::Full:
            return QStringLiteral(
                       "Cannot add more subsystems.\nThe maximum number of subsystems in the VQ is %1")
                .arg(kMaxRows);
        case AddResult::Duplicate:
            return QStringLiteral("This subsystem was already added.");
        case AddResult::SameHierarchy:
            return QStringLiteral("A subsystem in the same hierarchy was already added.");
        case AddResult::Added:
            break;
    }
    return {};
}
