#include "util/Prompter.h"

#include "ovx/errors.h"

namespace {
ScriptedPrompter& DefaultPrompter() {
    static ScriptedPrompter s;
    return s;
}
IPrompter* g_prompter = nullptr;
}  // namespace

IPrompter& Prompter() {
    return g_prompter ? *g_prompter : DefaultPrompter();
}

void SetPrompter(IPrompter* prompter) {
    g_prompter = prompter;
}

MsgResult ScriptedPrompter::Show(const MessageBoxRequest& request) {
    boxes.push_back(request);
    if (m_answers.empty()) return request.buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
    MsgResult r = m_answers.front();
    m_answers.pop_front();
    return r;
}

MsgResult MessageBox(const QString& text, const QString& caption, MsgIcon icon, MsgButtons buttons,
                     bool defaultNo) {
    MessageBoxRequest req;
    req.text = text;
    req.caption = caption;
    req.icon = icon;
    req.buttons = buttons;
    req.defaultNo = defaultNo;
    return Prompter().Show(req);
}

MsgResult AppMessageBox(const QString& text, MsgButtons buttons, MsgIcon icon) {
    // A box without a named icon still gets the exclamation mark.
    if (icon == MsgIcon::None) icon = MsgIcon::Exclamation;
    return MessageBox(text, QString::fromLatin1(kAppCaption), icon, buttons);
}

MsgResult ErrorBox(const QString& text, MsgIcon icon) {
    return MessageBox(text, QString::fromLatin1(kErrorCaption), icon);
}

void ReportOleError(const ovx::Error& error, const char* prefix) {
    QString text = QString::fromStdString(error.description());
    if (prefix) text.prepend(QString::fromUtf8(prefix));
    ErrorBox(text, MsgIcon::Stop);
}
