#include "app/QtServices.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include "util/WaitCursor.h"

MsgResult QtPrompter::Show(const MessageBoxRequest& r) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(r.caption);
    box.setText(r.text);
    switch (r.icon) {
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Stop:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::None:
            break;
    }
    if (r.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(r.defaultNo ? QMessageBox::No : QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgResult::Ok;
}

namespace {
// The widget dialog, so that accepting an existing file can ask first.
class CFileDialog : public QFileDialog {
public:
    explicit CFileDialog(const FileDialogRequest& r)
        : QFileDialog(QApplication::activeWindow(), r.title, r.initialDir, r.filter),
          m_overwritePrompt(r.flags & kFileDlgOverwritePrompt) {
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(r.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        // Without the must-exist flag an open dialog takes a new name as well.
        setFileMode(r.open && (r.flags & kFileDlgFileMustExist) ? QFileDialog::ExistingFile
                                                                : QFileDialog::AnyFile);
        // The save kind asks by itself; the open kind asks in accept().
        setOption(QFileDialog::DontConfirmOverwrite, !m_overwritePrompt);
    }

    void accept() override {
        if (m_overwritePrompt && acceptMode() == QFileDialog::AcceptOpen) {
            const QStringList files = selectedFiles();
            const QFileInfo chosen(files.isEmpty() ? QString() : files.first());
            if (chosen.isFile() &&
                MessageBox(QStringLiteral("%1 already exists.\nDo you want to replace it?")
                               .arg(QDir::toNativeSeparators(chosen.filePath())),
                           windowTitle(), MsgIcon::Exclamation, MsgButtons::YesNo) != MsgResult::Yes)
                return;
        }
        QFileDialog::accept();
    }

private:
    bool m_overwritePrompt;
};
}  // namespace

std::optional<QString> QtFileDialog::Run(const FileDialogRequest& r) {
    CFileDialog dlg(r);
    if (!r.defaultExt.isEmpty()) dlg.setDefaultSuffix(r.defaultExt);
    if (!r.fileName.isEmpty()) dlg.selectFile(r.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().first();
}

void InstallWaitCursorHooks() {
    SetWaitCursorHooks([] { QApplication::setOverrideCursor(Qt::WaitCursor); },
                       [] { QApplication::restoreOverrideCursor(); });
}

namespace {
constexpr qint64 kRepaintIntervalMs = 40;
}

void CEditLogView::Clear() {
    if (m_edit) m_edit->clear();
}

void CEditLogView::AppendAtEnd(const QString& text) {
    if (!m_edit) return;
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor c = m_edit->textCursor();
    c.movePosition(QTextCursor::End);
    m_edit->setTextCursor(c);
    m_edit->ensureCursorVisible();
    m_edit->insertPlainText(t);
    m_edit->ensureCursorVisible();
}

void CEditLogView::Repaint() {
    if (!m_edit || !m_edit->parentWidget()) return;
    // Lines that come faster than the eye can follow share one paint; the
    // rest are painted by the event loop, which the run pumps at every line.
    if (m_sincePaint.isValid() && m_sincePaint.elapsed() < kRepaintIntervalMs) return;
    m_edit->parentWidget()->repaint();
    m_sincePaint.start();
}
