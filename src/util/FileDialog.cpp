#include "util/FileDialog.h"

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
