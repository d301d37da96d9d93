// The batch page's rules without widgets: which Sarvik IDs the list takes,
// by hand and by service pin, and the log lines of the batch. The page keeps
// the list in its list box and calls these.
#pragma once

#include <QString>
#include <QStringList>

enum class SarvikIdCheck { Ok, Empty, WrongLength, Duplicate };

// A typed ID: not empty, exactly 12 characters (any characters, kept as
// typed), not already listed (exact, case-sensitive).
SarvikIdCheck CheckTypedSarvikId(const QStringList& list, const QString& id);
// An ID received by service pin: only the duplicate rule.
SarvikIdCheck CheckReceivedSarvikId(const QStringList& list, const QString& id);
// Shows the refusal's message box; nothing for Ok.
void ShowSarvikIdRefusal(SarvikIdCheck check);

// Next with an empty list: the message. True when the list may go on.
bool CheckBatchForNext(const QStringList& list);
// The log lines of the batch that Next stores.
void LogBatch(const QStringList& list);
