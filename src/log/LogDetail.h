// Pieces of the log file that the wizard frame and the tests use directly.
#pragma once

#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <functional>

// "05 Dec 26_07 30 12": the time text of log names and of the start and end lines.
QString FormatLogTime(const QDateTime& t);

// Reads (length + 499) / 500 blocks of 500 bytes and hands each non-empty one
// to sink; returns the number of reads made.
int CopyInBlocks(QIODevice& in, qint64 length, const std::function<void(const char*, qint64)>& sink);

// Raw bytes to the open log file, nothing added.
void WriteLogBytes(const char* data, qint64 size);
