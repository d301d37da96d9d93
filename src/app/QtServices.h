// The window-system sides of the prompter, the file dialog, the wait cursor
// and the progress view.
#pragma once

#include <QElapsedTimer>

#include "log/Log.h"
#include "util/FileDialog.h"
#include "util/Prompter.h"

class QPlainTextEdit;
class QWidget;

class QtPrompter : public IPrompter {
public:
    MsgResult Show(const MessageBoxRequest& request) override;
};

class QtFileDialog : public IFileDialog {
public:
    std::optional<QString> Run(const FileDialogRequest& request) override;
};

// Sets the hooks of CWaitCursor to the application's override cursor.
void InstallWaitCursorHooks();

// The progress box of a page as a log view; CR LF becomes a line break.
class CEditLogView : public ILogView {
public:
    explicit CEditLogView(QPlainTextEdit* edit) : m_edit(edit) {}
    void Clear() override;
    void AppendAtEnd(const QString& text) override;
    void Repaint() override;

private:
    QPlainTextEdit* m_edit;
    QElapsedTimer m_sincePaint;  // a line is painted at once unless one was painted moments ago
};
