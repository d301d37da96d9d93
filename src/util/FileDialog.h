// File-open and file-save dialogs go through one service: QFileDialog in the
// program, a scripted dialog in tests.
#pragma once

#include <QString>
#include <deque>
#include <optional>
#include <vector>

// Options of a file dialog, as the pages name them.
enum FileDialogFlag : unsigned {
    kFileDlgHideReadOnly = 1u << 0,     // no "open as read-only" choice
    kFileDlgOverwritePrompt = 1u << 1,  // an existing file is taken only after a Yes
    kFileDlgFileMustExist = 1u << 2,    // only an existing file can be chosen
};

struct FileDialogRequest {
    bool open = true;    // false: a save dialog
    unsigned flags = 0;  // FileDialogFlag bits
    QString title;
    QString initialDir;
    QString fileName;    // proposed name
    QString filter;      // "Compressed Files (*.q70);;All Files (*)"
    QString defaultExt;  // without the dot
};

class IFileDialog {
public:
    virtual ~IFileDialog() = default;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<QString> Run(const FileDialogRequest& request) = 0;
};

IFileDialog& FileDialog();
void SetFileDialog(IFileDialog* dialog);  // not owned; null restores the default

// The pages' Browse: an open dialog for one kind of file ("KIND (*EXT);;All
// files (*.*)", EXT with its dot) starting in initialDir. The chosen path
// comes back in native form, shortened against shortenDir as the combo boxes
// show it (a file there by its base name, one with EXT elsewhere without
// it); nothing when the user cancelled.
std::optional<QString> BrowseForFile(unsigned flags, const QString& kind, const QString& ext,
                                     const QString& initialDir, const QString& shortenDir);

// Records every request and answers from a queue (cancel when it is empty).
class ScriptedFileDialog : public IFileDialog {
public:
    std::optional<QString> Run(const FileDialogRequest& request) override;
    void Answer(std::optional<QString> path) { m_answers.push_back(std::move(path)); }
    std::vector<FileDialogRequest> requests;

private:
    std::deque<std::optional<QString>> m_answers;
};
