// The ordered list of hierarchies to compress, without any widget: the
// limit (kMaxHierarchies), the duplicate and same-hierarchy refusals, and
// the row moves. The subsystem page mirrors this list in its list control;
// vqtool checks its --subsystem list with it.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "compress/CompressRules.h"

class CSubsystemList {
public:
    static constexpr int kMaxRows = kMaxHierarchies;

    enum class AddResult { Added, Full, Duplicate, SameHierarchy };

    // True when a is an ancestor of b: b starts with a and a dot follows
    // (A.B is not an ancestor of A.BC). Case-sensitive.
    static bool IsAncestor(const QString& a, const QString& b);

    // Inserts path at row pos (clamped to 0..Count) after the checks, in this
    // order: the limit, an equal row, a row of the same hierarchy.
    AddResult Insert(const QString& path, int pos);
    AddResult Append(const QString& path) { return Insert(path, Count()); }

    // Removes the given rows (any order, duplicates and out-of-range ignored).
    void RemoveRows(std::vector<int> rows);
    void RemoveRow(int row) { RemoveRows({row}); }

    // One place up or down; false (nothing moved) at the ends or out of range.
    bool MoveUp(int row);
    bool MoveDown(int row);

    // Drag within the list: row `from` dropped on row `to` (Count() means
    // below the last row). Returns the row's new index, or -1 when nothing
    // changed.
    int Move(int from, int to);

    // The message shown for a refused addition, with its caption and whether
    // it is an error box (the limit uses the application's plain box).
    static QString RefusalText(AddResult r);

    int Count() const { return int(m_paths.size()); }
    const QStringList& Paths() const { return m_paths; }
    void Clear() { m_paths.clear(); }

private:
    QStringList m_paths;
};
