// The program's log file and the progress log shown on a page.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

// File-level log (one per run). Every function does nothing while no log
// file is open.
void OpenLogFile();
void CloseLogFile();
bool BuildLogFilePath(QString& out);
void LogWrite(const QString& text);
void LogSection(const QString& title);
bool AppendFileToLog(const QString& path, const QString* title, bool quiet);
void DeleteAllLogFiles();
bool IsLogFileOpen();
QString GetLogFileName();
QString GetLogFilePath();  // full path of the open log file, empty when none

// The frame of every log file, whoever writes it (the wizard, vqtool):
// "Starting program at TIME" and "Ending program at TIME", each followed by an
// empty line, TIME in the format of the log file's own name.
void LogProgramStart(const QDateTime& when);
void LogProgramEnd(const QDateTime& when);

// Where a CLog shows its lines: the multi-line edit of a page, stdout for
// headless runs, nothing at all.
class ILogView {
public:
    virtual ~ILogView() = default;
    virtual void Clear() = 0;
    virtual void AppendAtEnd(const QString& text) = 0;  // text as it stands, no line end added
    virtual void Repaint() = 0;                         // make progress visible at once
};

// The Cancel dialog's status line; set by the wizard frame while the dialog
// has a window. Returns false when there is no such window.
void SetStatusSink(std::function<bool(const QString&)> sink);

class CLog {
public:
    explicit CLog(ILogView* view = nullptr) : m_pCtrl(view) {}
    void Clear();
    void AddLine(const QString& text);
    void ShowStatus(const QString& text, bool addToLog);

private:
    ILogView* m_pCtrl;
};
