#include "util/FileDialog.h"

#include <QDir>

#include "util/Paths.h"

namespace {
IFileDialog* g_dialog = nullptr;
}

IFileDialog& FileDialog() {
    static ScriptedFileDialog cancelling;  // headless default: every dialog is cancelled
    return g_dialog ? *g_dialog : cancelling;
}

void SetFileDialog(IFileDialog* dialog) {
    g_dialog = dialog;
}

std::optional<QString> ScriptedFileDialog::Run(const FileDialogRequest& request) {
    requests.push_back(request);
    if (m_answers.empty()) return std::nullopt;
    const bool chosen = m_answers.front().has_value();
    const QString path = chosen ? *m_answers.front() : QString();
    m_answers.pop_front();
    if (!chosen) return std::nullopt;
    return path;
}

std::optional<QString> BrowseForFile(unsigned flags, const QString& kind, const QString& ext,
                                     const QString& initialDir, const QString& shortenDir) {
    FileDialogRequest req;
    req.open = true;
    req.flags = flags;
    req.defaultExt = ext.mid(1);
    req.filter = QStringLiteral("%1 (*%2);;All files (*.*)").arg(kind, ext);
    req.initialDir = initialDir;
    const auto chosen = FileDialog().Run(req);
    if (!chosen) return std::nullopt;
    QString name = QDir::toNativeSeparators(*chosen);
    QString dir = shortenDir;
    if (!dir.isEmpty()) ResolveFileName(name, dir, ext, false);
    return name;
}
